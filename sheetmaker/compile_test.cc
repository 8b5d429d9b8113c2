// compile_test.cc: the compiler's line rules and file rewrites, in-process, with
// stand-in index lookups and files in a temp dir of the test's own.
// The real program against the trial runtime is tests/sheetmaker_test.cc.
#include "sheetmaker/compile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

#include <gtest/gtest.h>

namespace {

struct ReplaceCase {
  const char* line;
  int n;
  const char* value;
  const char* want;
};
const ReplaceCase kReplaceCases[] = {
    {"OBJROW=Licht@Wohnzimmer Licht@1@x@7@N", 5, "12", "OBJROW=Licht@Wohnzimmer Licht@1@x@12@N"},
    {"MACRO=AllesAus@Alles aus@3", 3, "40", "MACRO=AllesAus@Alles aus@40"},
    {"MACRO=AllesAus@Alles aus", 3, "40", "MACRO=AllesAus@Alles aus"},    // too few fields
    {"MACRO=AllesAus@Alles aus@", 3, "40", "MACRO=AllesAus@Alles aus@"},  // empty last field
    {"a@@c", 2, "X", "a@X@c"},                                            // empty middle field
    {"a@b@c", 1, "X", "X@b@c"},
    {"a@b@c", 0, "X", "X@b@c"},
    {"a@b@c", 3, "X", "a@b@X"},
    {"a@b@c", 4, "X", "a@b@c"},
    {"@b", 2, "X", "@X"},
    {"", 1, "X", "X"},
    {"", 2, "X", ""},
};

TEST(ReplaceField, Fields) {
  for (const auto& c : kReplaceCases)
    EXPECT_EQ(c.want, ReplaceField(c.line, c.n, c.value, '@')) << '"' << c.line << "\" #" << c.n;
}

// A stand-in runtime: known names answer their index, "FAULT" a fault, "DOWN"
// finds no runtime, every other name -1. Each call is recorded.
struct FakeRuntime {
  std::map<std::string, int> indices;
  std::vector<std::string> calls;
  IndexLookup Lookup(const std::string& method) {
    return [this, method](const std::string& name, CallOutcome* outcome) {
      calls.push_back(method + " " + name);
      if (name == "DOWN") {
        *outcome = CallOutcome::kUnreachable;
        return -1;
      }
      if (name == "FAULT") {
        *outcome = CallOutcome::kFault;
        return -1;
      }
      *outcome = CallOutcome::kOk;
      auto it = indices.find(name);
      return it == indices.end() ? -1 : it->second;
    };
  }
};

struct LineCase {
  const char* line;
  const char* want;
  const char* call;  // the one lookup expected, or "" for none
};
const LineCase kLineCases[] = {
    {"OBJROW=Licht@Wohnzimmer Licht@1@x@7@N", "OBJROW=Licht@Wohnzimmer Licht@1@x@12@N",
     "getvaridx Licht"},
    {"MACRO=AllesAus@Alles aus@3", "MACRO=AllesAus@Alles aus@40", "getobjidx AllesAus"},
    {"MACRO=AllesAus@Alles aus", "MACRO=AllesAus@Alles aus", "getobjidx AllesAus"},
    {"MACRO=AllesAus@Alles aus@", "MACRO=AllesAus@Alles aus@", "getobjidx AllesAus"},
    // Unknown names and faults keep the line; only the index field becomes -1.
    {"OBJROW=Weg@Label@1@x@7@N", "OBJROW=Weg@Label@1@x@-1@N", "getvaridx Weg"},
    {"MACRO=FAULT@Label@3", "MACRO=FAULT@Label@-1", "getobjidx FAULT"},
    {"OBJROW=Weg@Label", "OBJROW=Weg@Label", "getvaridx Weg"},
    {"OBJROW=Null@Label@1@x@@N", "OBJROW=Null@Label@1@x@0@N", "getvaridx Null"},
    // Names go as they stand: blanks and case kept.
    {"OBJROW= Licht @L@1@x@7", "OBJROW= Licht @L@1@x@-1", "getvaridx  Licht "},
    {"OBJROWS=Licht@L@1@x@7@N", "OBJROWS=Licht@L@1@x@7@N", ""},
    {"objrow=Licht@L@1@x@7@N", "objrow=Licht@L@1@x@7@N", ""},
    {"MACROS=AllesAus@A@3", "MACROS=AllesAus@A@3", ""},
    {" OBJROW=Licht@L@1@x@7", " OBJROW=Licht@L@1@x@7", ""},
    {"#10000", "#10000", ""},
};

TEST(CompilePageLine, Records) {
  FakeRuntime runtime;
  runtime.indices = {{"Licht", 12}, {"AllesAus", 40}, {"Null", 0}};
  for (const auto& c : kLineCases) {
    runtime.calls.clear();
    bool gone = false;
    EXPECT_EQ(c.want, CompilePageLine(c.line, runtime.Lookup("getvaridx"),
                                      runtime.Lookup("getobjidx"), &gone))
        << c.line;
    EXPECT_FALSE(gone) << c.line;
    const std::vector<std::string> want_calls =
        *c.call ? std::vector<std::string>{c.call} : std::vector<std::string>{};
    EXPECT_EQ(want_calls, runtime.calls) << c.line;
  }
}

TEST(CompilePageLine, NoRuntimeIsReported) {
  FakeRuntime runtime;
  bool gone = false;
  CompilePageLine("OBJROW=DOWN@L@1@x@7", runtime.Lookup("getvaridx"), runtime.Lookup("getobjidx"),
                  &gone);
  EXPECT_TRUE(gone);
}

class CompileFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/sheetmaker_test.XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(pattern));
    dir_ = std::string(pattern) + "/";
  }
  void TearDown() override { system(("rm -rf '" + dir_ + "'").c_str()); }

  static void Write(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
  }
  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }
  static bool Exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

  std::string dir_;
};

TEST_F(CompileFiles, PageFileRewritten) {
  FakeRuntime runtime;
  runtime.indices = {{"Licht", 12}, {"AllesAus", 40}};
  const std::string page = dir_ + "S_P.SHT";
  Write(page,
        "#1000=P\r\n"
        "\r\n"
        "x\n"
        "\n"
        "OBJROW=Licht@Wohnzimmer Licht@1@x@7@N\r\n"
        "OBJROW=Weg@Label@1@x@7@N\n"
        "#11000\n"
        "MACRO=AllesAus@Alles aus@3");  // last line without LF
  EXPECT_EQ(kFileDone, UpdatePageFile(page, runtime.Lookup("getvaridx"),
                                      runtime.Lookup("getobjidx")));
  EXPECT_EQ(
      "#1000=P\n"
      "OBJROW=Licht@Wohnzimmer Licht@1@x@12@N\n"
      "OBJROW=Weg@Label@1@x@-1@N\n"
      "#11000\n"
      "MACRO=AllesAus@Alles aus@40\n",
      Read(page));
  EXPECT_FALSE(Exists(TempPathOf(page)));
  // Compiled again with the same indices: the file is not rewritten at all.
  const FileStamp compiled = StampOf(page);
  EXPECT_EQ(kFileDone, UpdatePageFile(page, runtime.Lookup("getvaridx"),
                                      runtime.Lookup("getobjidx")));
  EXPECT_TRUE(SameStamp(compiled, StampOf(page)));
  // One index moved: rewritten.
  runtime.indices["Licht"] = 13;
  EXPECT_EQ(kFileDone, UpdatePageFile(page, runtime.Lookup("getvaridx"),
                                      runtime.Lookup("getobjidx")));
  EXPECT_FALSE(SameStamp(compiled, StampOf(page)));
  EXPECT_NE(std::string::npos, Read(page).find("@1@x@13@N\n"));
}

TEST_F(CompileFiles, PageFileShortLastLineWithoutLineEndDropped) {
  FakeRuntime runtime;
  const std::string page = dir_ + "S_P.SHT";
  Write(page, "#8000\nx");
  EXPECT_EQ(kFileDone, UpdatePageFile(page, runtime.Lookup("v"), runtime.Lookup("o")));
  EXPECT_EQ("#8000\n", Read(page));
}

TEST_F(CompileFiles, MissingPageFileNotCreated) {
  FakeRuntime runtime;
  const std::string page = dir_ + "S_Q.SHT";
  EXPECT_EQ(kFileNotFound, UpdatePageFile(page, runtime.Lookup("v"), runtime.Lookup("o")));
  EXPECT_FALSE(Exists(page));
  EXPECT_FALSE(Exists(TempPathOf(page)));
}

TEST_F(CompileFiles, NoRuntimeLeavesPageAsItWas) {
  FakeRuntime runtime;
  runtime.indices = {{"Licht", 12}};
  const std::string page = dir_ + "S_P.SHT";
  const std::string before = "x\r\nOBJROW=Licht@L@1@x@7\r\nOBJROW=DOWN@L@1@x@7\r\nMACRO=M@m@1\r\n";
  Write(page, before);
  EXPECT_EQ(kFileRuntimeGone, UpdatePageFile(page, runtime.Lookup("getvaridx"),
                                             runtime.Lookup("getobjidx")));
  EXPECT_EQ(before, Read(page));
  EXPECT_FALSE(Exists(TempPathOf(page)));
  // The run stops at the first lookup without a runtime.
  EXPECT_EQ((std::vector<std::string>{"getvaridx Licht", "getvaridx DOWN"}), runtime.calls);
}

TEST_F(CompileFiles, CopyKeepsShortLinesAndNormalisesLineEnds) {
  const std::string site = dir_ + "S.TVS";
  Write(site, "BW=800\r\n\r\nx\n\n*Site=P\r\n*Site=Q");
  EXPECT_EQ(kFileDone, CopyFileLines(site, site));
  EXPECT_EQ("BW=800\n\nx\n\n*Site=P\n*Site=Q\n", Read(site));
  EXPECT_FALSE(Exists(TempPathOf(site)));
}

TEST_F(CompileFiles, CopyFailures) {
  EXPECT_EQ(kFileNoSource, CopyFileLines(dir_ + "none", dir_ + "target"));
  EXPECT_FALSE(Exists(dir_ + "target"));
  Write(dir_ + "source", "a\n");
  EXPECT_EQ(kFileNoTarget, CopyFileLines(dir_ + "source", dir_ + "no-such-dir/target"));
}

TEST_F(CompileFiles, ReplaceOverwritesLeftoverTemporaryFile) {
  const std::string path = dir_ + "S.TVS";
  Write(path, "old\n");
  Write(TempPathOf(path), "leftover of a run that was killed, much longer than the new text\n");
  ASSERT_TRUE(ReplaceFileContent(path, "new\n"));
  EXPECT_EQ("new\n", Read(path));
  EXPECT_FALSE(Exists(TempPathOf(path)));
}

TEST_F(CompileFiles, FailedReplaceLeavesFileAndNoTemporary) {
  // A directory cannot be renamed over by a file: the rename fails at the end.
  const std::string path = dir_ + "S_P.SHT";
  ASSERT_EQ(0, mkdir(path.c_str(), 0755));
  EXPECT_FALSE(ReplaceFileContent(path, "new\n"));
  EXPECT_FALSE(Exists(TempPathOf(path)));
  struct stat st;
  ASSERT_EQ(0, stat(path.c_str(), &st));
  EXPECT_TRUE(S_ISDIR(st.st_mode));
}

TEST_F(CompileFiles, ReplaceKeepsPermissionBits) {
  const std::string path = dir_ + "S.TVS";
  Write(path, "old\n");
  ASSERT_EQ(0, chmod(path.c_str(), 0640));
  ASSERT_TRUE(ReplaceFileContent(path, "new\n"));
  struct stat st;
  ASSERT_EQ(0, stat(path.c_str(), &st));
  EXPECT_EQ(0640u, st.st_mode & 07777);
}

TEST(RunSheetmaker, BadSiteNameReadsNothing) {
  EXPECT_EQ(kExitBadSiteName, RunSheetmaker({}));
  EXPECT_EQ(kExitBadSiteName, RunSheetmaker({""}));
  EXPECT_EQ(kExitBadSiteName, RunSheetmaker({"../S"}));
  EXPECT_EQ(kExitBadSiteName, RunSheetmaker({"a/b"}));
}

}  // namespace
