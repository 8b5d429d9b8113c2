// failrecord_test.cc: the network an address counts for, and the record's
// counting, forgetting and file mode. Eviction, future entries and the lock
// under races are tested through the real programs (tests/server_road_test.cc).
#include "common/failrecord.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "harness.h"

namespace {

TEST(ClientNetwork, IPv4AloneIPv6By64MappedAsIPv4) {
  const struct {
    const char* addr;
    const char* net;
  } cases[] = {
      {"192.168.1.5", "192.168.1.5"},
      {"::ffff:198.51.100.7", "198.51.100.7"},
      {"::FFFF:c633:6407", "198.51.100.7"},
      {"2001:db8:0:1::17", "2001:db8:0:1::/64"},
      {"2001:0db8:0000:0001:ffff:1:2:3", "2001:db8:0:1::/64"},
      {"2001:db8:0:2::17", "2001:db8:0:2::/64"},
      {"fe80::1%eth0", "fe80::/64"},
      {"::1", "::/64"},
      {"localhost", "localhost"},  // no address: its text, as the session files take it
      {"a;b", ""},
      {"1.2.3.4\n", ""},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(c.net, ClientNetwork(c.addr)) << c.addr;
}

TEST(FailRecord, CountsClearsForgetsAndStaysPrivate) {
  const std::string dir = testsupport::MakeTempDir() + "/";
  const std::string path = dir + "F.DAT";
  testsupport::WriteFile(path, "old;2;" + std::to_string(time(nullptr) - kFailMemorySeconds) +
                                   "\nkept;3;" + std::to_string(time(nullptr) - 10) + "\n");
  chmod(path.c_str(), 0644);  // as an earlier version left it
  FailRecordRec record;
  ASSERT_TRUE(OpenFailRecord(path, dir + "F.LCK", &record));
  EXPECT_EQ(nullptr, FindFailEntry(record, "old"));  // 15 minutes: forgotten
  ASSERT_NE(nullptr, FindFailEntry(record, "kept"));
  CountFailure(&record, "a");
  CountFailure(&record, "a");
  CountFailure(&record, "");
  CountFailure(&record, "kept");
  ClearFailures(&record, "a");
  CountFailure(&record, "b");
  EXPECT_TRUE(CloseFailRecord(&record, [](const FailEntry&, time_t) { return false; }));
  const std::string now = std::to_string(record.now);
  EXPECT_EQ("kept;4;" + now + "\nb;1;" + now + "\n", testsupport::ReadFile(path));
  struct stat st;
  ASSERT_EQ(0, stat(path.c_str(), &st));
  EXPECT_EQ(0600u, st.st_mode & 07777);
}

}  // namespace
