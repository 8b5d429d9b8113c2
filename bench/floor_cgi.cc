// floor_cgi.cc: the floor of the design, for the benchmark only: a CGI program
// that makes a given list of runtime calls and then writes a given page in one
// write. The calls go each on its own new connection (as the release before
// multicall reads did), or, with "multicall" on the plan's first line, in one
// "system.multicall" per 500 calls on one connection (as TelvarinServer reads
// a page's values now). What TelvarinServer costs beyond this is the cost of
// our own code.
//
//   floor_cgi [NAME]     (NAME defaults to QUERY_STRING)
//
// It reads two files beside its own program file (argv[0]):
//   bench-NAME.plan  line 1 "host port" or "host port multicall"; then one
//                    call per line: the method,
//                    then each parameter after a TAB, as "i:<int>" or "s:<text>"
//   bench-NAME.page  the bytes to write to standard output (may be missing:
//                    then nothing is written, which makes it the bare lookups
//                    of the compiler benchmark)
// Any failure ends it with status 1 and a word on standard error: it is a
// measuring tool, not a deliverable. Not built unless TELVARIN_BENCH is on.
#include <flxmlrpc/XmlRpc.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct PlannedCall {
  std::string method;
  XmlRpc::XmlRpcValue params;
};

bool ReadFile(const std::string& path, std::string* text) {
  FILE* file = fopen(path.c_str(), "rb");
  if (!file) return false;
  char buffer[65536];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, file)) > 0) text->append(buffer, n);
  fclose(file);
  return true;
}

std::vector<std::string> Split(const std::string& text, char sep) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    size_t end = text.find(sep, start);
    parts.push_back(text.substr(start, end == std::string::npos ? end : end - start));
    if (end == std::string::npos) return parts;
    start = end + 1;
  }
}

bool ParsePlan(const std::string& text, std::string* host, int* port, bool* multicall,
               std::vector<PlannedCall>* calls) {
  std::vector<std::string> lines = Split(text, '\n');
  if (lines.empty()) return false;
  const std::vector<std::string> head = Split(lines[0], ' ');
  if (head.size() < 2) return false;
  *host = head[0];
  *port = atoi(head[1].c_str());
  *multicall = head.size() > 2 && head[2] == "multicall";
  for (size_t i = 1; i < lines.size(); ++i) {
    if (lines[i].empty()) continue;
    std::vector<std::string> fields = Split(lines[i], '\t');
    PlannedCall call;
    call.method = fields[0];
    call.params.setSize(static_cast<int>(fields.size() - 1));
    for (size_t k = 1; k < fields.size(); ++k) {
      const std::string& f = fields[k];
      if (f.compare(0, 2, "i:") == 0)
        call.params[static_cast<int>(k - 1)] = atoi(f.c_str() + 2);
      else if (f.compare(0, 2, "s:") == 0)
        call.params[static_cast<int>(k - 1)] = f.substr(2);
      else
        return false;
    }
    calls->push_back(call);
  }
  return true;
}

bool Fail(const char* word) {
  fputs(word, stderr);
  return false;
}

bool CallEachAlone(const std::string& host, int port, const std::vector<PlannedCall>& calls) {
  for (const PlannedCall& call : calls) {
    // With keep-open off the library reports an answered call as failed (it
    // closes itself first); keep it open and close it after the answer.
    XmlRpc::XmlRpcClient client(host.c_str(), port);
    client.setKeepOpen(true);
    XmlRpc::XmlRpcValue result;
    if (!client.execute(call.method.c_str(), call.params, result, 10.0) || client.isFault())
      return Fail("floor_cgi: call failed\n");
    client.close();
  }
  return true;
}

// Up to 500 calls in each "system.multicall", every answer element checked to
// be the one-element array of an answered call. (The benchmark's runtime closes
// each connection after its answer, so each batch opens its own.)
bool CallInMulticalls(const std::string& host, int port, const std::vector<PlannedCall>& calls) {
  constexpr size_t kBatch = 500;
  for (size_t first = 0; first < calls.size(); first += kBatch) {
    const size_t count = std::min(kBatch, calls.size() - first);
    XmlRpc::XmlRpcValue list;
    list.setSize(static_cast<int>(count));
    for (size_t i = 0; i < count; ++i) {
      XmlRpc::XmlRpcValue one;
      one["methodName"] = calls[first + i].method;
      one["params"] = calls[first + i].params;
      list[static_cast<int>(i)] = one;
    }
    XmlRpc::XmlRpcClient client(host.c_str(), port);
    client.setKeepOpen(true);
    XmlRpc::XmlRpcValue params, result;
    params.setSize(1);
    params[0] = list;
    if (!client.execute("system.multicall", params, result, 10.0) || client.isFault() ||
        result.getType() != XmlRpc::XmlRpcValue::TypeArray ||
        result.size() != static_cast<int>(count))
      return Fail("floor_cgi: multicall failed\n");
    for (size_t i = 0; i < count; ++i)
      if (result[static_cast<int>(i)].getType() != XmlRpc::XmlRpcValue::TypeArray)
        return Fail("floor_cgi: multicall element failed\n");
    client.close();
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const char* query = getenv("QUERY_STRING");
  const std::string name = argc > 1 ? argv[1] : query ? query : "";
  std::string dir = argv[0];
  const size_t slash = dir.rfind('/');
  dir = slash == std::string::npos ? "." : dir.substr(0, slash);

  std::string plan_text, page;
  std::string host;
  int port = 0;
  bool multicall = false;
  std::vector<PlannedCall> calls;
  if (!ReadFile(dir + "/bench-" + name + ".plan", &plan_text) ||
      !ParsePlan(plan_text, &host, &port, &multicall, &calls)) {
    fputs("floor_cgi: no plan\n", stderr);
    return 1;
  }
  const bool has_page = ReadFile(dir + "/bench-" + name + ".page", &page);

  XmlRpc::setVerbosity(0);
  if (!calls.empty() && !(multicall ? CallInMulticalls(host, port, calls)
                                    : CallEachAlone(host, port, calls)))
    return 1;
  if (has_page && write(STDOUT_FILENO, page.data(), page.size()) !=
                      static_cast<ssize_t>(page.size()))
    return 1;
  return 0;
}
