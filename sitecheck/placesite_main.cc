// placesite_main.cc: PlaceSite DIR [--force] (see placesite.h).
#include <string>
#include <vector>

#include "sitecheck/placesite.h"

int main(int argc, char** argv) {
  try {
    return PlaceSiteRun(std::vector<std::string>(argv + 1, argv + argc));
  } catch (...) {
    return kPlaceFailed;
  }
}
