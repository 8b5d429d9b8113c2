// boxfiles.cc: the paths of a box's files (see boxfiles.h).
#include "common/boxfiles.h"

#include "common/paths.h"
#include "toolkit/strobj.h"

std::string SiteDefinitionPath(const std::string& site_dir, const std::string& site) {
  return site_dir + site + kSiteFileSuffix;
}

std::string PageFilePath(const std::string& site_dir, const std::string& site,
                         const std::string& page) {
  return site_dir + site + "_" + page + kPageFileSuffix;
}

std::string UserFilePath(const std::string& site_dir, const std::string& site) {
  return site_dir + site + kUserFileSuffix;
}

std::string SessionFilePath(const std::string& site_dir, const std::string& site,
                            const std::string& id, const std::string& client_addr) {
  return site_dir + site + id + StrReplaceChar(client_addr, '.', 'p') + kSessionFileSuffix;
}

std::string LockFilePath(const std::string& site_dir, const std::string& site) {
  return site_dir + site + kLockFileSuffix;
}

std::string NoRuntimeRecordPath(const std::string& site_dir, const std::string& site) {
  return site_dir + site + kNoRuntimeFileSuffix;
}

std::string CompileRecordPath(const std::string& site_dir, const std::string& site) {
  return site_dir + site + kCompileRecordSuffix;
}

std::string AttemptsFilePath(const std::string& site_dir) { return site_dir + kAttemptsFileName; }
std::string AttemptsLockPath(const std::string& site_dir) { return site_dir + kAttemptsLockName; }
std::string LoginWaitGuardPath(const std::string& site_dir) {
  return site_dir + kLoginWaitGuardName;
}
std::string LoginWaitSlotPath(const std::string& site_dir, int slot) {
  return site_dir + kLoginWaitSlotPrefix + IntToStrS(slot) + kLockFileSuffix;
}

std::string InterfaceFailsPath() { return std::string(kSiteDir) + kInterfaceFailsFileName; }
std::string InterfaceFailsLockPath() { return std::string(kSiteDir) + kInterfaceFailsLockName; }

std::string CompilerPath() { return std::string(kSiteDir) + kCompilerName; }
std::string ControlFilePath() { return std::string(kRuntimeDir) + kControlFileName; }
std::string NoMulticallPath() { return std::string(kSiteDir) + kNoMulticallFileName; }
std::string HostNamesPath() { return std::string(kSiteDir) + kHostNamesFileName; }
std::string RuntimeConfigPath() { return std::string(kRuntimeDir) + kRuntimeConfigFileName; }
std::string AccessFilePath() { return std::string(kRuntimeDir) + kAccessFileName; }
