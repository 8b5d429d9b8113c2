// signonguard.cc: failed sign-ons per network and user name, and the time
// lock's wait slots (see signonguard.h). The counts live in a failure record
// (common/failrecord); the slots are flock()ed files, so a process that ends
// for any reason gives its slot back.
#include "server/signonguard.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "common/boxfiles.h"
#include "common/failrecord.h"
#include "common/filerewrite.h"
#include "server/fixedpages.h"
#include "server/request.h"

namespace {

constexpr size_t kMaxUserNameBytes = 128;

// The wait slot this run holds (a locked file descriptor), or -1.
int held_slot = -1;

// How long entry's time lock still runs at now: with c failures the next
// attempt is c + 1, and its lock runs from the latest failure.
unsigned LockLeft(const FailEntry* entry, time_t now) {
  if (!entry) return 0;
  const time_t lock = static_cast<time_t>(LoginLockSeconds(entry->count + 1));
  const time_t since = now - entry->last;
  return since < lock ? static_cast<unsigned>(lock - since) : 0;
}

bool InsideTimeLock(const FailEntry& entry, time_t now) { return LockLeft(&entry, now) > 0; }

// The standing of the keys in record (an empty key has no entry).
SignOnStandingRec StandingOf(const FailRecordRec& record, const std::string& net,
                             const std::string& user_key) {
  SignOnStandingRec standing;
  for (const std::string* key : {&net, &user_key}) {
    const FailEntry* e = key->empty() ? nullptr : FindFailEntry(record, *key);
    if (!e) continue;
    standing.failures = std::max(standing.failures, e->count);
    standing.lock_left = std::max(standing.lock_left, LockLeft(e, record.now));
  }
  return standing;
}

// The network a slot's holder wrote into it.
std::string SlotHolder(int fd) {
  char buffer[128];
  const ssize_t n = pread(fd, buffer, sizeof buffer, 0);
  return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
}

}  // namespace

std::string UserNameKey(const std::string& site, const std::string& user) {
  if (user.empty()) return std::string();
  static const char kHex[] = "0123456789ABCDEF";
  std::string key = "u:" + site + ":";
  for (size_t i = 0; i < user.size() && i < kMaxUserNameBytes; ++i) {
    const unsigned char c = static_cast<unsigned char>(user[i]);
    if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '.' ||
        c == '_' || c == '-' || c == '+') {
      key += static_cast<char>(c);
    } else {
      key += '%';
      key += kHex[c >> 4];
      key += kHex[c & 15];
    }
  }
  return key;
}

SignOnStandingRec NetworkStanding(const std::string& addr) {
  return StandingOf(PeekFailRecord(AttemptsFilePath(Request.BaseDir)), ClientNetwork(addr), "");
}

bool GuardedSignOn(const std::string& addr, const std::string& user_key,
                   const std::function<bool()>& check, SignOnStandingRec* standing) {
  const std::string net = ClientNetwork(addr);
  FailRecordRec record;
  if (!OpenFailRecord(AttemptsFilePath(Request.BaseDir), AttemptsLockPath(Request.BaseDir),
                      &record)) {
    // No record can be kept (the site directory is not writable): the
    // password is still checked, as the box did before it counted.
    *standing = SignOnStandingRec();
    return check();
  }
  bool ok = false;
  if (StandingOf(record, net, user_key).lock_left == 0) {
    ok = check();
    for (const std::string* key : {&net, &user_key}) {
      if (ok)
        ClearFailures(&record, *key);
      else
        CountFailure(&record, *key);
    }
  }
  *standing = StandingOf(record, net, user_key);
  CloseFailRecord(&record, InsideTimeLock);
  return ok;
}

bool HoldLockWaitSlot(const std::string& addr) {
  if (held_slot >= 0) return true;
  const std::string net = ClientNetwork(addr);  // written into the slot; no line end
  if (net.empty()) return false;
  const int guard = LockFileAt(LoginWaitGuardPath(Request.BaseDir), LOCK_EX);
  if (guard < 0) return false;
  int taken = -1;
  bool net_waits = false;
  std::vector<int> held;  // slots locked by this process while it looks
  for (int i = 1; i <= kLockWaitSlots && !net_waits; ++i) {
    const std::string path = LoginWaitSlotPath(Request.BaseDir, i);
    const int fd = LockFileAt(path, LOCK_EX | LOCK_NB);
    if (fd >= 0) {
      held.push_back(fd);
      if (taken < 0) taken = fd;
      continue;
    }
    // Busy: its holder wrote its network while holding the guard.
    const int peek = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (peek >= 0) {
      net_waits = SlotHolder(peek) == net;
      close(peek);
    }
  }
  bool ok = false;
  if (!net_waits && taken >= 0 && ftruncate(taken, 0) == 0 &&
      pwrite(taken, net.data(), net.size(), 0) == static_cast<ssize_t>(net.size()))
    ok = true;
  for (int fd : held)
    if (!ok || fd != taken) close(fd);  // the taken slot stays locked
  close(guard);
  if (ok) held_slot = taken;
  return ok;
}

void ReleaseLockWaitSlot() {
  if (held_slot >= 0) close(held_slot);
  held_slot = -1;
}
