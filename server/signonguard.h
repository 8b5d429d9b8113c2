// signonguard.h: what the box keeps against guessing passwords: failed sign-ons
// counted per client address in one file of the site directory (the login
// page's own counter is the client's to change), and the few slots in which a
// login page may sit out its time lock, so that requests cannot park processes.
// Tested by signonguard_test.cc, tests/server_road_test.cc (the slots, through
// the real program) and server/fixedpages_test.cc.
#pragma once

#include <ctime>
#include <string>

// Entries older than this are forgotten; at most kMaxAttemptAddresses kept.
constexpr time_t kAttemptMemorySeconds = 15 * 60;
constexpr size_t kMaxAttemptAddresses = 1000;
// At most this many requests wait in a time lock at once, one per address.
constexpr int kLockWaitSlots = 4;

// The files live in Request.BaseDir (common/boxfiles.h names them).
// The failed sign-ons recorded for addr that are not older than
// kAttemptMemorySeconds at now; *last (when given) gets the latest one's time.
int RecordedFailures(const std::string& addr, time_t now, time_t* last = nullptr);

// Counts one more failed sign-on of addr at now (under the file's lock,
// forgetting old entries, dropping the oldest address beyond the limit) and
// returns the count now recorded; 0 when the file could not be written.
int RecordFailedSignOn(const std::string& addr, time_t now);

// Forgets addr's failed sign-ons (a successful sign-on).
void ClearFailedSignOns(const std::string& addr);

// Whether addr is inside the time lock of its recorded attempts: with c failures
// recorded, its next attempt is c + 1, and its lock (LoginLockSeconds(c + 1))
// runs from the latest failure.
bool InsideTimeLock(const std::string& addr, time_t now);

// Holds one of the kLockWaitSlots wait slots for addr (flock()ed files in the
// site directory; a process that ends gives its slot back): true when this run
// holds one already or takes one now; false when all are taken or another run
// of addr holds one, and then the caller must neither wait nor check a password.
bool HoldLockWaitSlot(const std::string& addr);
// Gives this run's slot back (after the wait).
void ReleaseLockWaitSlot();
