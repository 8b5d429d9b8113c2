// main.cc: TelvarinServer, the CGI program of the site pages. Everything is in
// the request road (request.cc); the exit status is always 0.
#include "server/request.h"

int main() {
  try {
    return HandleRequest();
  } catch (...) {
    return 0;  // nothing may escape; the page (if any) stays as written
  }
}
