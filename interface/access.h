// access.h: the access file and its code. Its first line holds a mode letter
// and data: mode "B" makes a daily code from the base number in the data, any
// other mode uses the data itself as the code. No file, or a first line of
// fewer than two bytes (its line feed counted) or of one byte and its line feed
// (in any mode), means no code: every request is admitted. Tested by access_test.cc and tests/interface_test.cc.
#pragma once

#include <ctime>
#include <string>

// The code that requests must present now (local time), or the empty text when none is set.
std::string ReadAuthFile();
// The same for the access file at path, with now as the local time.
std::string ReadAuthFileAt(const std::string& path, const std::tm& now);

// The daily code of mode "B": the decimal text of (day + month + base + 1) * 3,
// day 1..31, month 0..11.
std::string DailyCode(int base, int day, int month);

// Makes text (and a line feed) the access file's whole content, written in
// place (OverwriteFileInPlace; a new file gets mode 0600): 1 when written, -1
// when it could not be. A text that the reader could not read back whole (more
// than 254 bytes, or holding a line feed) is refused and the old file stays.
// An empty text switches the check off; any other text that would read back as
// no code (a mode letter alone) is refused, so the interface is never opened
// by a slip.
int SetAuth(const std::string& text);

// Failed access codes are counted per client network (ClientNetwork) in
// INTERFACEFAILS.DAT: after kInterfaceFailBudget failures within
// kFailMemorySeconds, the network's requests fail without their code being
// checked until that long after its last failure.
constexpr int kInterfaceFailBudget = 4;
// Whether presented is code, decided under the record's lock for client_addr's
// network: false without a comparison while the network is locked out; a
// failure is counted, a success clears the network's count.
bool CheckAccessCode(const std::string& client_addr, const std::string& presented,
                     const std::string& code);
