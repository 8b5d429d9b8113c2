// textcheck.h: the site checker's rules for the bytes and the keyed lines that
// every site file shares: a UTF-8 byte-order mark, UTF-8 byte sequences in
// files read as ISO-8859-1, line ends of CR alone, a last line without a line
// end, and a line whose key the server does not read where it stands (a key
// unknown in its place, one in the wrong case, blanks around "=", a key of
// another section). Tested by sitecheck_test.cc.
#pragma once

#include <string>
#include <vector>

// Checks the lines of one file (as ReadCheckedLines gives them) for a
// byte-order mark, UTF-8 sequences and CR-alone line ends, each reported once
// per file; takes a byte-order mark off the first line so that the other rules
// see the line as meant. With last_line_lost (site and page files, whose reader
// drops a last line without LF) and last_unended, reports that line too.
void CheckFileText(const std::string& file, std::vector<std::string>* lines, bool last_unended,
                   bool last_line_lost);

// How a line stands to the keys its place reads.
enum class KeyFit {
  kRead,     // it begins with one of the keys and "="
  kMeant,    // one of the keys written in another case or with blanks around "=",
             // or a key of another section: surely meant, and lost
  kUnknown,  // no key the server reads there
};

// Judges line against keys (the keys read where it stands) and elsewhere (keys
// read in other places, each with the place's name, e.g. {"HTML2", "#21000"});
// for a line that is not kRead, *hint is the finding's text (the line quoted).
KeyFit JudgeKeyLine(const std::string& line, const std::vector<std::string>& keys,
                    const std::vector<std::pair<std::string, std::string>>& elsewhere,
                    const std::string& place, std::string* hint);
