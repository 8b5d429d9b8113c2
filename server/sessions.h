// sessions.h: session files, one per signed-on browser: created at sign-on (or
// for a free address), found by id and client address, deleted at sign-off.
// No state in memory; the files are the state, and they never expire.
// Tested by sessions_test.cc and tests/server_road_test.cc.
#pragma once

#include <ctime>
#include <string>

// The file Request.BaseDir + Request.SiteName + id + address + ".SID", every
// "." of the address written as "p". The empty text when the id fails
// IsValidName or the address holds a byte other than a letter, digit, ".",
// ":" or "%" (such a request value must never reach a file name).
std::string SessionFilePath(const std::string& id, const std::string& client_addr);

// Creates (or replaces) the session file for now and returns the id: the
// decimal text of the current time in seconds minus 1268000000. The file holds
// FormatTimeStamp(now, '/') + ";" + user, without a line end. "*ERROR" when
// the file cannot be created.
std::string CreateSessionFile(const std::string& client_addr, const std::string& user);

// Whether the session file of this id and address exists and can be read.
bool CheckSessionFile(const std::string& id, const std::string& client_addr);

// Deletes the session file of this id and address; the outcome is not reported.
void RemoveSessionFile(const std::string& id, const std::string& client_addr);

// "DD.MM.YYYY" sep "hh:mm:ss" of the time in UTC.
std::string FormatTimeStamp(time_t when, char sep);

// Tests fix the clock of CreateSessionFile; nullptr restores time().
using SessionClockFn = time_t (*)();
void SetSessionClockForTest(SessionClockFn clock);
