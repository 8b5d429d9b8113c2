// formoffer_test.cc: what a page file offers to its form, from page texts.
#include "server/formoffer.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "harness.h"

namespace {

struct OfferCase {
  const char* page;
  std::map<std::string, std::string> values;
  std::set<std::string> macros;
  std::map<std::string, std::vector<std::string>> choices;
};

TEST(ReadFormOffer, EditableRowsWithAnInputAndMacros) {
  const OfferCase cases[] = {
      {"#6000\nOBJCOLS=0x;1x;2x;\n#10000\n"
       "OBJROW=A@Licht@1@@4@U@@2&Aus&Ein@@\n"
       "OBJROW=B@Soll@1x@@5@N@@@@###\n"       // "1" first is editable
       "OBJROW=C@Modus@1@@6@S@@@@###\n"
       "OBJROW=D@Ist@0@@7@N@@@@\n"            // read-only
       "OBJROW=E@Fehlt@1@@-1@N@@@@\n"         // not found by the compiler
       "OBJROW=F@Art@1@@8@Nx@@@@\n"           // no kind of the three
       "OBJROW=G@Zweimal@1@@5@N@@@@\n"        // the first label stays
       "OBJROW=H@Text@1@@5@S@@@@\n"
       "OBJROW=I@Wahl@1@@9@U@@3&a&&b&c@@\n"  // the count's choices, the empty one too
       "OBJROW=J@Mehr@1@@10@U@@5&a&b@@\n"    // no more than the list holds
       "OBJROW=K@Keine@1@@11@U@@x&a@@\n"     // a count without digits lists none
       "OBJROW=L@Nochmal@1@@4@U@@1&Auto@@\n" // the first row's choices stay
       "#11000\nMACRO=M@Alles aus@15\nMACRO=N@Leer@\n",
       {{"U4", "Licht"}, {"N5", "Soll"}, {"S6", "Modus"}, {"S5", "Text"}, {"U9", "Wahl"},
        {"U10", "Mehr"}, {"U11", "Keine"}},
       {"15"},
       {{"U4", {"Aus", "Ein"}}, {"U9", {"a", "", "b"}}, {"U10", {"a", "b"}}, {"U11", {}}}},
      // Rows count only while the column list in force has an input column.
      {"#10000\nOBJROW=A@Vorher@1@@4@N@@@@\n#6000\nOBJCOLS=0x;2x\n#10000\n"
       "OBJROW=B@Nachher@1@@5@N@@@@\n",
       {{"N5", "Nachher"}},
       {},
       {}},
      {"#6000\nOBJCOLS=0x;1x;\n#10000\nOBJROW=A@L@1@@4@N@@@@\n", {}, {}, {}},
      {"#6000\nOBJCOLS=0x;;2x;\n#10000\nOBJROW=A@L@1@@4@N@@@@\n", {}, {}, {}},  // ends at ";;"
      // Lines outside their section offer nothing.
      {"#6000\nOBJCOLS=2x;\nOBJROW=A@L@1@@4@N@@@@\n#20000\nMACRO=M@L@15\n", {}, {}, {}},
      {"", {}, {}, {}},
  };
  const std::string dir = testsupport::MakeTempDir();
  const std::string path = dir + "/S_P.SHT";
  for (const auto& c : cases) {
    testsupport::WriteFile(path, c.page);
    const FormOfferRec offer = ReadFormOffer(path);
    EXPECT_EQ(c.values, offer.values) << c.page;
    EXPECT_EQ(c.macros, offer.macros) << c.page;
    EXPECT_EQ(c.choices, offer.choices) << c.page;
  }
  unlink(path.c_str());
  const FormOfferRec none = ReadFormOffer(path);
  EXPECT_TRUE(none.values.empty() && none.macros.empty());
  rmdir(dir.c_str());
}

}  // namespace
