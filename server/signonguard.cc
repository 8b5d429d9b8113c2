// signonguard.cc: failed sign-ons per address and the time lock's wait slots
// (see signonguard.h). The attempts file has one line per address,
// "address;count;time of the latest failure", and is rewritten whole under
// its lock file; the slots are flock()ed files, so a process that ends for any
// reason gives its slot back.
#include "server/signonguard.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstdio>
#include <vector>

#include "common/boxfiles.h"
#include "common/filerewrite.h"
#include "common/linereader.h"
#include "server/fixedpages.h"
#include "server/request.h"
#include "server/sessions.h"
#include "toolkit/strobj.h"

namespace {

// A first login page without any wait comes before this many failures.
constexpr int kFailuresBeforeLock = 3;

// The wait slot this run holds (a locked file descriptor), or -1.
int held_slot = -1;

struct AttemptEntry {
  std::string addr;
  int count = 0;
  time_t last = 0;
};

// The entries of the attempts file that are still remembered at now.
std::vector<AttemptEntry> ReadEntries(time_t now) {
  std::vector<AttemptEntry> entries;
  FILE* file = fopen(AttemptsFilePath(Request.BaseDir).c_str(), "r");
  if (!file) return entries;
  std::string line;
  bool ended_lf = false;
  while (ReadLine(file, &line, &ended_lf)) {
    AttemptEntry e;
    e.addr = StrGetIndex(line, 1, ';');
    e.count = C_StrToInt(StrGetIndex(line, 2, ';'));
    e.last = static_cast<time_t>(std::strtoll(StrGetIndex(line, 3, ';').c_str(), nullptr, 10));
    if (e.addr.empty() || e.count <= 0) continue;
    if (e.last > now || now - e.last >= kAttemptMemorySeconds) continue;
    entries.push_back(e);
  }
  fclose(file);
  return entries;
}

bool WriteEntries(const std::vector<AttemptEntry>& entries) {
  std::string content;
  for (const auto& e : entries)
    content += e.addr + ";" + IntToStrS(e.count) + ";" + std::to_string(e.last) + "\n";
  return ReplaceFileContent(AttemptsFilePath(Request.BaseDir), content);
}

// Changes addr's entry under the attempts lock: change gets the entry (count 0
// when new) and returns false to drop it. Returns the entry's count afterwards.
template <typename Change>
int UpdateEntry(const std::string& addr, time_t now, Change change) {
  const int lock = LockFileAt(AttemptsLockPath(Request.BaseDir), LOCK_EX);
  if (lock < 0) return 0;
  std::vector<AttemptEntry> entries = ReadEntries(now);
  auto it = std::find_if(entries.begin(), entries.end(),
                         [&](const AttemptEntry& e) { return e.addr == addr; });
  AttemptEntry entry;
  if (it != entries.end()) {
    entry = *it;
    entries.erase(it);
  }
  entry.addr = addr;
  int count = 0;
  if (change(entry)) {
    if (entries.size() >= kMaxAttemptAddresses) {
      std::sort(entries.begin(), entries.end(),
                [](const AttemptEntry& a, const AttemptEntry& b) { return a.last > b.last; });
      entries.resize(kMaxAttemptAddresses - 1);
    }
    entries.push_back(entry);
    count = entry.count;
  }
  if (!WriteEntries(entries)) count = 0;
  close(lock);
  return count;
}

// The address a slot's holder wrote into it.
std::string SlotHolder(int fd) {
  char buffer[128];
  const ssize_t n = pread(fd, buffer, sizeof buffer, 0);
  return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
}

}  // namespace

int RecordedFailures(const std::string& addr, time_t now, time_t* last) {
  for (const auto& e : ReadEntries(now)) {
    if (e.addr != addr) continue;
    if (last) *last = e.last;
    return e.count;
  }
  return 0;
}

int RecordFailedSignOn(const std::string& addr, time_t now) {
  if (!IsClientAddressText(addr)) return 0;  // never a line break or ";" in the file
  return UpdateEntry(addr, now, [now](AttemptEntry& e) {
    ++e.count;
    e.last = now;
    return true;
  });
}

void ClearFailedSignOns(const std::string& addr) {
  if (RecordedFailures(addr, time(nullptr)) == 0) return;  // the usual case: no write
  UpdateEntry(addr, time(nullptr), [](AttemptEntry&) { return false; });
}

bool InsideTimeLock(const std::string& addr, time_t now) {
  time_t last = 0;
  const int count = RecordedFailures(addr, now, &last);
  if (count < kFailuresBeforeLock) return false;
  return now - last < static_cast<time_t>(LoginLockSeconds(count + 1));
}

bool HoldLockWaitSlot(const std::string& addr) {
  if (held_slot >= 0) return true;
  if (!IsClientAddressText(addr)) return false;
  const int guard = LockFileAt(LoginWaitGuardPath(Request.BaseDir), LOCK_EX);
  if (guard < 0) return false;
  int taken = -1;
  bool addr_waits = false;
  std::vector<int> held;  // slots locked by this process while it looks
  for (int i = 1; i <= kLockWaitSlots && !addr_waits; ++i) {
    const std::string path = LoginWaitSlotPath(Request.BaseDir, i);
    const int fd = LockFileAt(path, LOCK_EX | LOCK_NB);
    if (fd >= 0) {
      held.push_back(fd);
      if (taken < 0) taken = fd;
      continue;
    }
    // Busy: its holder wrote its address while holding the guard.
    const int peek = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (peek >= 0) {
      addr_waits = SlotHolder(peek) == addr;
      close(peek);
    }
  }
  bool ok = false;
  if (!addr_waits && taken >= 0 && ftruncate(taken, 0) == 0 &&
      pwrite(taken, addr.data(), addr.size(), 0) == static_cast<ssize_t>(addr.size()))
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
