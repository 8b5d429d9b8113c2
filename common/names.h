// names.h: the one check that every request value reaching a file name passes
// (site names, session ids, page names, work-file names), and the check of a
// client address that names a session file or a failure record's entry.
// Tested by names_test.cc.
#pragma once

#include <string>

// At most 64 bytes of A-Z, a-z, 0-9, "_", "-", ".", "*" and the Latin-1 letters
// 0xC0..0xFF, not empty, and never containing "..".
bool IsValidName(const std::string& name);
// The name when it passes IsValidName, else the empty text.
std::string ValidNameOrEmpty(const std::string& name);

// Whether REMOTE_ADDR looks like an IPv4 or IPv6 address (a zone after "%"):
// 1 to 64 letters, digits, ".", ":" and "%". No other text names a file.
bool IsClientAddressText(const std::string& addr);
