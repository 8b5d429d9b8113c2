// failrecord.h: failed attempts counted per key (a client network, a user name)
// in one record file of the site directory, for both programs: the page
// server's sign-on guard and the administration interface's access-code check.
// A decision is made with the record held under its lock file from the read of
// the time to the write, so parallel requests cannot each see the old count.
// What "inside its lock" means is the caller's (the two programs differ).
// Tested by failrecord_test.cc; the two policies by tests/server_road_test.cc
// and tests/interface_test.cc.
#pragma once

#include <ctime>
#include <string>
#include <vector>

// Entries whose latest failure is older than this are forgotten.
constexpr time_t kFailMemorySeconds = 15 * 60;
// At most this many entries are kept (entries inside their lock never go).
constexpr size_t kMaxFailEntries = 1000;

struct FailEntry {
  std::string key;  // a client network or "u:" and a user name; no ";" and no line end
  int count = 0;    // failures remembered
  time_t last = 0;  // the latest one
};

// A record file as read for one decision; lock_fd >= 0 while its lock is held.
struct FailRecordRec {
  std::string path;
  int lock_fd = -1;
  time_t now = 0;  // read once the lock is held
  std::vector<FailEntry> entries;
  bool changed = false;
};

// Whether an entry is inside its lock at now (it is then never evicted).
using FailLockedFn = bool (*)(const FailEntry& entry, time_t now);

// The network that a client address counts for: an IPv4 address as written;
// "::ffff:a.b.c.d" as a.b.c.d; an IPv6 address as its /64 ("2001:db8:0:1::/64",
// a zone after "%" left out); any other text of at most 64 letters, digits,
// ".", ":" and "%" as it stands; otherwise the empty text (nothing is counted).
std::string ClientNetwork(const std::string& addr);

// Takes the lock at lock_path (waiting for it), then reads the time and the
// entries of path still remembered. An entry dated after now is kept as one of
// now (a clock that went back loses nothing). False, holding nothing, when the
// lock file cannot be opened.
bool OpenFailRecord(const std::string& path, const std::string& lock_path, FailRecordRec* record);
// The same read without the lock, for a look that decides nothing.
FailRecordRec PeekFailRecord(const std::string& path);

// The entry of key, or nullptr.
const FailEntry* FindFailEntry(const FailRecordRec& record, const std::string& key);
// One more failure of key at the record's now; an empty key counts nothing.
void CountFailure(FailRecordRec* record, const std::string& key);
// Forgets key's failures.
void ClearFailures(FailRecordRec* record, const std::string& key);

// Writes the record when it changed (mode 0600, also over a file that an
// earlier version left readable) and gives the lock back. Beyond
// kMaxFailEntries the entries outside their lock go first, oldest first; an
// entry inside its lock is never dropped. Returns false when the write failed.
bool CloseFailRecord(FailRecordRec* record, FailLockedFn locked);
