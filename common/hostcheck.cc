// hostcheck.cc: the Host check and its error page (see hostcheck.h).
#include "common/hostcheck.h"

#include <arpa/inet.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>

#include "common/boxfiles.h"
#include "common/htmlescape.h"
#include "common/linereader.h"
#include "common/output.h"

namespace {

constexpr char kUnknownHostText[] = "Fehler - unbekannter Servername";

// The name of a Host value without its port; *port_ok tells whether what
// follows the name is nothing or ":" and digits. A bracketed IPv6 literal
// keeps its brackets; a value with more than one ":" and no brackets is taken
// whole (a bare IPv6 literal).
std::string NameWithoutPort(const std::string& host, bool* port_ok) {
  size_t end = host.size();
  if (!host.empty() && host[0] == '[') {
    const size_t close = host.find(']');
    if (close != std::string::npos) end = close + 1;
  } else {
    const size_t colon = host.find(':');
    if (colon != std::string::npos && host.find(':', colon + 1) == std::string::npos) end = colon;
  }
  *port_ok = end == host.size() || host[end] == ':';
  for (size_t i = end + 1; *port_ok && i < host.size(); ++i)
    *port_ok = host[i] >= '0' && host[i] <= '9';
  return host.substr(0, end);
}

// Lower case, without one trailing dot.
std::string Normal(std::string name) {
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (!name.empty() && name.back() == '.') name.pop_back();
  return name;
}

bool IsAddressLiteral(const std::string& name) {
  unsigned char address[16];
  if (name.size() > 2 && name.front() == '[' && name.back() == ']')
    return inet_pton(AF_INET6, name.substr(1, name.size() - 2).c_str(), address) == 1;
  return inet_pton(AF_INET, name.c_str(), address) == 1 ||
         inet_pton(AF_INET6, name.c_str(), address) == 1;
}

// Whether the file at path lists name (already Normal); false without the file.
bool IsListed(const std::string& name, const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "r");
  if (file == nullptr) return false;
  bool found = false;
  std::string line;
  bool ended_lf;
  while (!found && ReadLine(file, &line, &ended_lf)) {
    const size_t begin = line.find_first_not_of(" \t");
    if (begin == std::string::npos || line[begin] == '#') continue;
    const size_t end = line.find_last_not_of(" \t\r");
    found = Normal(line.substr(begin, end - begin + 1)) == name;
  }
  std::fclose(file);
  return found;
}

std::string MachineName() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0) return std::string();
  return name;
}

}  // namespace

bool IsOwnHostName(const std::string& http_host, const std::string& machine_name,
                   const std::string& listed_names_path) {
  bool port_ok = false;
  const std::string name = Normal(NameWithoutPort(http_host, &port_ok));
  if (!port_ok || name.empty()) return false;
  if (IsAddressLiteral(name) || name == "localhost") return true;
  const std::string machine = Normal(machine_name);
  if (!machine.empty() && (name == machine || name == machine + ".local")) return true;
  return IsListed(name, listed_names_path);
}

bool AdmitRequestHost(const std::string& http_host) {
  if (http_host.empty() || IsOwnHostName(http_host, MachineName(), HostNamesPath())) return true;
  bool port_ok = false;
  const std::string name = NameWithoutPort(http_host, &port_ok);
  WriteLine("Content-type: text/html");
  WriteLine("Content-Security-Policy: default-src 'none'");
  WriteLine("");
  WriteLine("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2//EN\">");
  WriteLine("<html><head><title>Telvarin Error</title></head><body>");
  WriteLine(std::string(kUnknownHostText) + ": " + HtmlValue(name));
  WriteLine("</body></html>");
  return false;
}
