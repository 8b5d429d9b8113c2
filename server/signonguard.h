// signonguard.h: what the box keeps against guessing passwords: failed sign-ons
// counted per client network and per user name as typed, in one record of the
// site directory (the login page's own counter is the client's to change), and
// the few slots in which a login page may sit out its time lock, so that
// requests cannot park processes. Tested by signonguard_test.cc and
// tests/server_road_test.cc (budgets, races and slots through the real program).
#pragma once

#include <ctime>
#include <functional>
#include <string>

// At most this many requests wait in a time lock at once, one per network.
constexpr int kLockWaitSlots = 4;

// Where one client stands: the larger failure count of its network and (for a
// sign-on) of the user name, and how long the time lock of either still runs.
struct SignOnStandingRec {
  int failures = 0;
  unsigned lock_left = 0;  // seconds; 0 outside every lock
};

// The record's key of a user name as typed on site: "u:", the site, ":" and
// the name with every byte other than a letter, digit, ".", "_", "-" or "+"
// written as "%" and two hex digits (at most 128 bytes of the name are taken);
// empty for an empty name, which is not counted.
std::string UserNameKey(const std::string& site, const std::string& user);

// The standing of addr's network now; reads the record without deciding.
SignOnStandingRec NetworkStanding(const std::string& addr);

// One sign-on attempt, decided under the record's lock with the time read
// under it: when neither addr's network nor user_key is inside its time lock
// (with c failures the next attempt c + 1 has LoginLockSeconds(c + 1) from the
// latest failure), check is called and says whether the password matched; a
// failure is counted for both, a success clears both. Returns check's answer
// (false when it was not called); *standing gets the standing afterwards.
bool GuardedSignOn(const std::string& addr, const std::string& user_key,
                   const std::function<bool()>& check, SignOnStandingRec* standing);

// Holds one of the kLockWaitSlots wait slots for addr's network (flock()ed
// files in the site directory; a process that ends gives its slot back): true
// when this run holds one already or takes one now; false when all are taken
// or another run of the network holds one, and then the caller does not wait.
bool HoldLockWaitSlot(const std::string& addr);
// Gives this run's slot back (after the wait).
void ReleaseLockWaitSlot();
