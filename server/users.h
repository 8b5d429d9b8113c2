// users.h: who may use a site: the sign-on check against the site's user file,
// the trimming of the start page it answers, and the free client addresses
// that get a session without signing on. Reads only; nothing here writes a file.
// Tested by users_test.cc and tests/server_road_test.cc.
#pragma once

#include <string>

// Looks the user up in Request.BaseDir + Request.SiteName + "_WEBUSERS.USR"
// (lines "user;password;startpage;...", a final CR dropped, lines under 2 bytes
// skipped). The first line whose user field equals user decides: its start page
// when the password matches too. Failures begin with "*No":
// "*No Start site defined for user" + user (unknown user or wrong password) and
// "*No valid user file - error opening file". Names and passwords are compared
// byte for byte as the browser encoded them.
std::string CheckWebUser(const std::string& user, const std::string& password);

// While the text is at least 3 bytes long and its last byte is below '0'
// (blanks, line ends, "/", ".", "-"), drops that last byte.
std::string TrimStartPage(const std::string& page);

// Whether the client address is free by the ";"-list free_ips: "(ALL)" as the
// first entry frees every client; else each entry, with its first and last byte
// removed, is an address prefix that matches at a boundary: the address ends
// after it, or the prefix ends in a non-digit ("192.168.1." admits the network),
// or the address goes on with "." or ":" ("192.168.1.5" admits 192.168.1.5,
// not 192.168.1.50). Hex letters count as digits (IPv6 groups). A prefix with
// no text admits nobody. The search ends at the first empty entry.
bool IsFreeClient(const std::string& free_ips, const std::string& client_addr);
