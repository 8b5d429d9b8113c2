// sessions.h: session files, one per signed-on browser: created at sign-on (or
// for a free address), found by id and client address, deleted at sign-off.
// No state in memory; the files are the state, and they never expire.
// Tested by sessions_test.cc and tests/server_road_test.cc.
#pragma once

#include <ctime>
#include <string>

// Whether id has the form of a session id: 18 decimal digits (the ids made
// now) or 9 (the time counts of earlier ids, valid until signed off). The file
// name joins site and id without a separator, so this keeps "_GAST42..." or
// "5..." from reaching the session of site "HAUS_GAST" or "A5" from site
// "HAUS" or "A". The id is never read as a number.
bool IsSessionIdText(const std::string& id);

// The file Request.BaseDir + Request.SiteName + id + address + ".SID", every
// "." of the address written as "p". The empty text when the id fails
// IsSessionIdText or the address holds a byte other than a letter, digit, ".",
// ":" or "%" (such a request value must never reach a file name).
std::string SessionFilePath(const std::string& id, const std::string& client_addr);

// Creates the session file (mode 0600) under a new id of 18 random decimal
// digits from the kernel's random source, the first not 0, and returns the id.
// The file holds FormatTimeStamp(now, '/') + ";" + user, without a line end.
// "*ERROR" when no random id can be had or the file cannot be created.
std::string CreateSessionFile(const std::string& client_addr, const std::string& user);

// Whether the session file of this id and address exists and can be read.
bool CheckSessionFile(const std::string& id, const std::string& client_addr);

// The id of a session file of Request.SiteName and this address whose user is
// user (the first one found), or the empty text: a free address keeps one
// session instead of a new one per request.
std::string FindSessionFile(const std::string& client_addr, const std::string& user);

// Deletes the session file of this id and address; the outcome is not reported.
void RemoveSessionFile(const std::string& id, const std::string& client_addr);

// "DD.MM.YYYY" sep "hh:mm:ss" of the time in UTC.
std::string FormatTimeStamp(time_t when, char sep);

// Tests fix the clock of CreateSessionFile's time stamp; nullptr restores time().
using SessionClockFn = time_t (*)();
void SetSessionClockForTest(SessionClockFn clock);
