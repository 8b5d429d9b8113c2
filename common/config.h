// config.h: the runtime's address and the file times of the site freshness check,
// read from the runtime's own configuration files (which this system only reads).
// Linked by all three programs. Tested by config_test.cc.
#pragma once

#include <optional>
#include <string>

// The runtime's XML-RPC address, "xmlrpc://" host ":" port. Empty until
// LoadCfgFile has read a control file; every runtime call of the run uses it.
extern std::string AbKeURL;

// Reads the control file ("I" line: host, "P" line: port, default "2110"; the last
// of each counts; only the line feed is removed). Returns 1 when the file was read
// and AbKeURL set, 0 when it cannot be opened. In that case AbKeURL becomes
// url_when_missing when that is given (the administration interface passes
// "xmlrpc://localhost:2110"), else it stays as it was. Without an "I" line the host
// is "localhost"; long hosts and ports are taken whole.
int LoadCfgFile(const std::string& path, const std::string& url_when_missing = "");

// A file time: the modification time in whole seconds, or empty when it is not
// known. Every value of a real file is a time, 0 and 99999999 included (unpacking
// tools leave such times); only the readers' own outcomes are "not known".
using FileTime = std::optional<long long>;

// The file's modification time; empty when the file cannot be examined.
FileTime GetFileTime(const std::string& path);

// The path on the first "AF=" line of the runtime configuration file (the
// project file); empty when that file cannot be opened or has no "AF=" line.
std::optional<std::string> GetAFFilePath(const std::string& path);

// The time of the file named on the first "AF=" line of the runtime configuration
// file; empty when that file cannot be opened, when it has no "AF=" line, and when
// the AF file itself cannot be examined.
FileTime GetAFFileTime(const std::string& path);
