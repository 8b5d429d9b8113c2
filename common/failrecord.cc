// failrecord.cc: the record of failed attempts (see failrecord.h). One line
// per key, "key;count;time of the latest failure", rewritten whole through
// ReplaceFileContent while the lock file is flock()ed.
#include "common/failrecord.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/filerewrite.h"
#include "common/linereader.h"
#include "common/names.h"
#include "toolkit/strobj.h"

namespace {

void ReadEntries(FailRecordRec* record) {
  FILE* file = fopen(record->path.c_str(), "r");
  if (!file) return;
  std::string line;
  bool ended_lf = false;
  while (ReadLine(file, &line, &ended_lf)) {
    FailEntry e;
    e.key = StrGetIndex(line, 1, ';');
    e.count = C_StrToInt(StrGetIndex(line, 2, ';'));
    e.last = static_cast<time_t>(std::strtoll(StrGetIndex(line, 3, ';').c_str(), nullptr, 10));
    if (e.key.empty() || e.count <= 0) continue;
    // A clock read that went back (or a time set ahead) loses no failure.
    if (e.last > record->now) e.last = record->now;
    if (record->now - e.last >= kFailMemorySeconds) continue;
    record->entries.push_back(e);
  }
  fclose(file);
}

// Drops entries outside their lock, oldest first, until at most kMaxFailEntries are left.
void Evict(FailRecordRec* record, FailLockedFn locked) {
  std::vector<FailEntry>& entries = record->entries;
  if (entries.size() <= kMaxFailEntries) return;
  std::vector<size_t> free_order;
  for (size_t i = 0; i < entries.size(); ++i)
    if (!locked(entries[i], record->now)) free_order.push_back(i);
  // Oldest first; among equal times the one that came first in the record.
  std::stable_sort(free_order.begin(), free_order.end(),
                   [&](size_t a, size_t b) { return entries[a].last < entries[b].last; });
  std::vector<bool> drop(entries.size(), false);
  size_t left = entries.size();
  for (size_t i : free_order) {
    if (left <= kMaxFailEntries) break;
    drop[i] = true;
    --left;
  }
  std::vector<FailEntry> kept;
  for (size_t i = 0; i < entries.size(); ++i)
    if (!drop[i]) kept.push_back(entries[i]);
  entries.swap(kept);
}

}  // namespace

std::string ClientNetwork(const std::string& addr) {
  std::string host = addr.substr(0, addr.find('%'));
  unsigned char bytes[16];
  char text[INET6_ADDRSTRLEN];
  if (inet_pton(AF_INET, host.c_str(), bytes) == 1 && inet_ntop(AF_INET, bytes, text, sizeof text))
    return text;
  if (inet_pton(AF_INET6, host.c_str(), bytes) == 1) {
    static const unsigned char kMapped[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
    if (memcmp(bytes, kMapped, sizeof kMapped) == 0)
      return inet_ntop(AF_INET, bytes + 12, text, sizeof text) ? text : "";
    memset(bytes + 8, 0, 8);  // a host may take any address of its /64
    return inet_ntop(AF_INET6, bytes, text, sizeof text) ? std::string(text) + "/64" : "";
  }
  return IsClientAddressText(addr) ? addr : std::string();
}

bool OpenFailRecord(const std::string& path, const std::string& lock_path, FailRecordRec* record) {
  *record = FailRecordRec();
  record->path = path;
  const int fd = LockFileAt(lock_path, LOCK_EX);
  if (fd < 0) return false;
  record->lock_fd = fd;
  record->now = time(nullptr);  // under the lock: no older clock read can write after a newer one
  ReadEntries(record);
  return true;
}

FailRecordRec PeekFailRecord(const std::string& path) {
  FailRecordRec record;
  record.path = path;
  record.now = time(nullptr);
  ReadEntries(&record);
  return record;
}

const FailEntry* FindFailEntry(const FailRecordRec& record, const std::string& key) {
  for (const auto& e : record.entries)
    if (e.key == key) return &e;
  return nullptr;
}

void CountFailure(FailRecordRec* record, const std::string& key) {
  if (key.empty()) return;
  record->changed = true;
  for (auto& e : record->entries) {
    if (e.key != key) continue;
    ++e.count;
    e.last = record->now;
    return;
  }
  FailEntry e;
  e.key = key;
  e.count = 1;
  e.last = record->now;
  record->entries.push_back(e);
}

void ClearFailures(FailRecordRec* record, const std::string& key) {
  auto& entries = record->entries;
  const auto end = std::remove_if(entries.begin(), entries.end(),
                                  [&](const FailEntry& e) { return e.key == key; });
  if (end == entries.end()) return;
  entries.erase(end, entries.end());
  record->changed = true;
}

bool CloseFailRecord(FailRecordRec* record, FailLockedFn locked) {
  bool ok = true;
  if (record->changed) {
    Evict(record, locked);
    std::string content;
    for (const auto& e : record->entries)
      content += e.key + ";" + IntToStrS(e.count) + ";" + std::to_string(e.last) + "\n";
    // Only the web server's user may read who failed when. The rewrite keeps
    // the file's mode, so a file left readable by an earlier version is made
    // 0600 first and the new content is never readable by others; a new file
    // is made 0600 by the rewrite itself.
    const int fd = open(record->path.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd >= 0) {
      ok = fchmod(fd, kCreatedFileMode) == 0;
      close(fd);
    }
    ok = ok && ReplaceFileContent(record->path, content);
  }
  if (record->lock_fd >= 0) close(record->lock_fd);
  record->lock_fd = -1;
  return ok;
}
