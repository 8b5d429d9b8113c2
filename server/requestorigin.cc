// requestorigin.cc: whether a request comes from the box's own pages, and
// what is done with its form fields (see requestorigin.h).
#include "server/requestorigin.h"

#include <cctype>

namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// host[:port] without the scheme's default port, lower case.
std::string WithoutDefaultPort(const std::string& host_port, const std::string& scheme) {
  const std::string lower = Lower(host_port);
  const std::string default_port = scheme == "https" ? ":443" : scheme == "http" ? ":80" : "";
  if (!default_port.empty() && lower.size() > default_port.size() &&
      lower.compare(lower.size() - default_port.size(), default_port.size(), default_port) == 0)
    return lower.substr(0, lower.size() - default_port.size());
  return lower;
}

}  // namespace

bool IsSameSiteRequest(const std::string& sec_fetch_site, const std::string& origin,
                       const std::string& host) {
  if (!sec_fetch_site.empty()) return sec_fetch_site == "same-origin" || sec_fetch_site == "none";
  if (origin.empty()) return true;
  const size_t sep = origin.find("://");
  if (sep == std::string::npos || sep == 0 || host.empty()) return false;
  const std::string scheme = Lower(origin.substr(0, sep));
  const std::string origin_host = origin.substr(sep + 3);
  // An origin is scheme, host and port only: a path, user or query is not one.
  if (origin_host.empty() || origin_host.find_first_of("/?#@ ") != std::string::npos) return false;
  return WithoutDefaultPort(origin_host, scheme) == WithoutDefaultPort(host, scheme);
}

FormVerdict JudgeFormRequest(const FormRequestRec& request) {
  const std::string& fetch_site = request.sec_fetch_site;
  const bool current = request.has_stamp && request.stamp == request.site_stamp;
  if (!fetch_site.empty()) {
    if (fetch_site != "same-origin" && fetch_site != "none") return FormVerdict::kForeign;
    if (request.method != "POST" || fetch_site != "same-origin")
      return FormVerdict::kAsWithoutFields;
    return current ? FormVerdict::kApply : FormVerdict::kStale;
  }
  if (!IsSameSiteRequest("", request.origin, request.host)) return FormVerdict::kForeign;
  return request.has_stamp && !current ? FormVerdict::kStale : FormVerdict::kApply;
}
