// hostcheck.h: only the box's own names. A page on another domain whose name
// is made to point at the box (DNS rebinding) would otherwise be "the box" to
// the browser; both CGI programs check the request's Host first, before they
// read or write anything, and answer another name with a short error page.
// The box's names: an IPv4 or IPv6 address literal, "localhost", the machine's
// host name with or without ".local", and the names listed in HOSTNAMES.DAT in
// the site directory. Tested by tests/server_road_test.cc and
// tests/interface_test.cc (the real programs).
#pragma once

#include <string>

// Whether http_host (the Host header: name, or name ":" port, or "[" IPv6 "]"
// with an optional ":" port) names the box: machine_name is the machine's host
// name, listed_names_path the file of further names (one a line; blank lines
// and lines beginning with "#" are ignored, a CR before the LF too). Names
// compare without regard to case and one trailing dot; a port that is not
// decimal digits names nothing.
bool IsOwnHostName(const std::string& http_host, const std::string& machine_name,
                   const std::string& listed_names_path);

// The request's first step in both programs: true when the request may go on
// (no Host, an empty one, or one of the box's names by gethostname and
// HOSTNAMES.DAT); otherwise writes the error page, "Fehler - unbekannter
// Servername" and the name without its port, escaped, and returns false: the
// run must then end with nothing else read or written.
bool AdmitRequestHost(const std::string& http_host);
