// users_test.cc: the user file check, the start page trim and the free addresses.
#include "server/users.h"

#include <gtest/gtest.h>

#include "harness.h"
#include "server/request.h"

namespace {

class UserFile : public ::testing::Test {
 protected:
  void SetUp() override {
    Request = RequestRec();
    Request.BaseDir = testsupport::MakeTempDir() + "/";
    Request.SiteName = "HAUS";
  }
  void WriteUsers(const std::string& text) {
    testsupport::WriteFile(Request.BaseDir + "HAUS_WEBUSERS.USR", text);
  }
};

struct UserCase {
  const char* file;
  const char* user;
  const char* password;
  const char* want;
};
const UserCase kUserCases[] = {
    {"anna;geheim;Wohnzimmer\n", "anna", "geheim", "Wohnzimmer"},
    {"anna;geheim;Wohnzimmer\n", "anna", "falsch", "*No Start site defined for useranna"},
    {"anna;geheim;Wohnzimmer\n", "Anna", "geheim", "*No Start site defined for userAnna"},
    {"anna;geheim;Wohnzimmer\n", "ann", "geheim", "*No Start site defined for userann"},
    // The first line with the name decides, even when a later one would match.
    {"anna;alt;Flur\nanna;geheim;Bad\n", "anna", "geheim",
     "*No Start site defined for useranna"},
    {"bert;x;Flur\nanna;geheim;Bad;weiteres\n", "anna", "geheim", "Bad"},
    {"anna;geheim;\n", "anna", "geheim", ""},                     // empty start page
    {"anna;geheim;Bad\r\n", "anna", "geheim", "Bad"},             // Windows line end
    {"anna;geheim;Bad  \n", "anna", "geheim", "Bad  "},           // the caller trims
    {"\n;\nanna;geheim;Bad\n", "anna", "geheim", "Bad"},          // short lines skipped
    {"anna;mein+Wort;Bad\n", "anna", "mein+Wort", "Bad"},         // compared as encoded
    {"anna;mein Wort;Bad\n", "anna", "mein+Wort", "*No Start site defined for useranna"},
    {"bert;x;Flur\nanna;geheim;Bad", "anna", "geheim", "Bad"},    // last line without LF
};

TEST_F(UserFile, CheckWebUserAnswersStartPageOrFailure) {
  for (const auto& c : kUserCases) {
    WriteUsers(c.file);
    EXPECT_EQ(c.want, CheckWebUser(c.user, c.password)) << c.file << " / " << c.user;
  }
}

TEST_F(UserFile, MissingFileAndOtherSite) {
  EXPECT_EQ("*No valid user file - error opening file", CheckWebUser("anna", "geheim"));
  WriteUsers("anna;geheim;Bad\n");
  Request.SiteName = "GARTEN";
  EXPECT_EQ("*No valid user file - error opening file", CheckWebUser("anna", "geheim"));
}

TEST(TrimStartPage, DropsLowBytesWhileThreeLong) {
  struct Case { const char* in; const char* want; };
  const Case cases[] = {
      {"Bad  ", "Bad"}, {"Bad\r\n", "Bad"}, {"Flur/.-", "Flur"}, {"ab ", "ab"},
      {"a  ", "a "},    {"  ", "  "},       {"", ""},             {"K\xFC" "che ", "K\xFC" "che"},
      {"*No Start site defined for user", "*No Start site defined for user"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.want, TrimStartPage(c.in)) << '"' << c.in << '"';
}

struct FreeCase {
  const char* list;
  const char* addr;
  bool free;
};
const FreeCase kFreeCases[] = {
    {"", "192.168.1.5", false},
    {"(ALL)", "10.1.2.3", true},
    {"(ALL);", "10.1.2.3", true},
    {"(10.0.0.);(ALL)", "192.168.1.5", false},  // "(ALL)" counts only first
    {"(192.168.1.)", "192.168.1.5", true},
    {"(192.168.1.)", "192.168.1.50", true},
    {"(192.168.1.)", "192.168.10.5", false},
    {"(10.0.0.);(192.168.1.)", "192.168.1.7", true},
    {"(192.168.1.);;(10.0.0.)", "10.0.0.3", false},  // the empty entry ends the search
    {"(192.168.1.);;(10.0.0.)", "192.168.1.3", true},
    {"(", "8.8.8.8", false},   // one byte: empty prefix admits nobody
    {"()", "8.8.8.8", false},  // two bytes: the same
    {"();(8.8.)", "8.8.8.8", true},  // and the search goes on
    {"[127.0.0.1]", "127.0.0.1", true},
    {"(127.0.0.1)", "127.0.0.10", false},  // the prefix ends inside a number
    {"(192.168.1.5)", "192.168.1.5", true},
    {"(192.168.1.5)", "192.168.1.50", false},
    {"(192.168)", "192.168.7.1", true},  // whole numbers: a boundary
    {"(192.16)", "192.168.7.1", false},
    {"(fe80::1)", "fe80::1a", false},  // hex digits are digits
    {"(fe80::1)", "fe80::1:2", true},
    {"(fe80::)", "fe80::9", true},
    {"(10.0.0.1)", "10.0.0.1%eth0", false},
};

TEST(IsFreeClient, MatchesPrefixesInOrder) {
  for (const auto& c : kFreeCases)
    EXPECT_EQ(c.free, IsFreeClient(c.list, c.addr)) << c.list << " / " << c.addr;
}

}  // namespace
