// config_fuzz.cc: the readers of the runtime's configuration files over any
// file content: the control file (LoadCfgFile) and the runtime configuration
// file's "AF=" line (GetAFFileTime), both through a scratch file.
// Promises checked: a read control file always gives an "xmlrpc://" address,
// and any runtime configuration file is read without a crash.
#include <string>

#include "fuzz/fuzz_support.h"
#include "common/config.h"

using fuzzsupport::Require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const std::string path = fuzzsupport::WriteScratchFile(bytes);

  AbKeURL.clear();
  Require(LoadCfgFile(path) == 1, "a control file that exists is read");
  Require(AbKeURL.compare(0, 9, "xmlrpc://") == 0, "the address starts with xmlrpc://");
  Require(AbKeURL.find(':', 9) != std::string::npos, "the address has a port");

  GetAFFileTime(path);  // any content: a time or none, never a crash
  return 0;
}
