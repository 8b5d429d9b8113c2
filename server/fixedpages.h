// fixedpages.h: the three pages of the web page server that come from no site
// file: the login page (attempt counter and time lock), the error page and the
// sign-off page. Each writes one whole CGI response through WriteLine, laid out
// by the site-wide settings (width, viewport). Tested by fixedpages_test.cc and
// tests/server_fixedpages_test.cc.
#pragma once

enum class RequestErrorKind {
  kInvalidSignon,     // the posted attempt counter reached 9
  kInvalidParameters  // a posted form field was refused
};

// The login page for attempt counter + 1, with that number in the hidden field
// "signoncounter". From attempt 4 on the page is written up to "Zeitsperre",
// then the run waits wait_seconds (what is left of the time lock in the box's
// record; the number shown never sets a wait) before it writes the rest.
void CreateHTMLLoginPage(int counter, unsigned wait_seconds);
void CreateHTMLRequestErrorPage(RequestErrorKind kind);
// Written after the session file has been deleted.
void CreateHTMLSignoffPage();

// The time lock of a login attempt in seconds: 0 for attempts up to 3, else 2
// to the power of the attempt (16 s for attempt 4), at most 512 s.
unsigned LoginLockSeconds(int attempt);

