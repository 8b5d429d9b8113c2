// boxfiles.h: the file layout of a box: every path the programs use, built
// from the two fixed directories (paths.h) and the names and suffixes defined
// here once. Site, page, user, session and lock files live in the site
// directory; the control file, the runtime configuration and the access file
// in the runtime's directory. Callers check request values with IsValidName
// before they reach these functions.
#pragma once

#include <string>

// Site directory (a test may point the server's at another folder).
constexpr char kSiteFileSuffix[] = ".TVS";         // site definition file: site + suffix
constexpr char kPageFileSuffix[] = ".SHT";         // page file: site + "_" + page + suffix
constexpr char kUserFileSuffix[] = "_WEBUSERS.USR";  // user file: site + suffix
constexpr char kSessionFileSuffix[] = ".SID";      // session file: site + id + address + suffix
constexpr char kLockFileSuffix[] = ".LCK";         // the compiler's lock: site + suffix
constexpr char kNoRuntimeFileSuffix[] = ".NRT";    // when a compile last found no runtime
constexpr char kCompilerName[] = "Sheetmaker";     // the compiler, in the site directory
// The project file a site was last compiled against: site + suffix.
constexpr char kCompileRecordSuffix[] = ".CMP";
// The box's own host names besides its address literals, localhost and the
// machine's name: one a line, written by the administrator.
constexpr char kHostNamesFileName[] = "HOSTNAMES.DAT";
// Holds the AF file's stamp when the runtime refused "system.multicall".
constexpr char kNoMulticallFileName[] = "NOMULTICALL.DAT";
// Sign-on guard files, one set for all sites (no site file name can be one of them).
constexpr char kAttemptsFileName[] = "SIGNONFAILS.DAT";  // failed sign-ons per address
constexpr char kAttemptsLockName[] = "SIGNONFAILS.LCK";  // held while it is rewritten
constexpr char kLoginWaitGuardName[] = "LOGINWAIT.LCK";  // held while a wait slot is taken
constexpr char kLoginWaitSlotPrefix[] = "LOGINWAIT";     // slot n: prefix + n + ".LCK"
// The administration interface's failed access codes per client network (the
// web server's user may write here, never in the runtime's folder).
constexpr char kInterfaceFailsFileName[] = "INTERFACEFAILS.DAT";
constexpr char kInterfaceFailsLockName[] = "INTERFACEFAILS.LCK";
// Runtime directory.
constexpr char kControlFileName[] = "CTLKRN.CFG";          // the runtime's address
constexpr char kRuntimeConfigFileName[] = "ABLKRN.CFG";    // names the AF file ("AF=" line)
constexpr char kAccessFileName[] = "TELVARINSAUTH.DAT";    // the interface's access code

std::string SiteDefinitionPath(const std::string& site_dir, const std::string& site);
std::string PageFilePath(const std::string& site_dir, const std::string& site,
                         const std::string& page);
std::string UserFilePath(const std::string& site_dir, const std::string& site);
// The client address is written with each "." as "p" (192p168p1p5).
std::string SessionFilePath(const std::string& site_dir, const std::string& site,
                            const std::string& id, const std::string& client_addr);
std::string LockFilePath(const std::string& site_dir, const std::string& site);
std::string NoRuntimeRecordPath(const std::string& site_dir, const std::string& site);
std::string CompileRecordPath(const std::string& site_dir, const std::string& site);
std::string AttemptsFilePath(const std::string& site_dir);
std::string AttemptsLockPath(const std::string& site_dir);
std::string LoginWaitGuardPath(const std::string& site_dir);
std::string LoginWaitSlotPath(const std::string& site_dir, int slot);  // slot 1, 2, ...
std::string InterfaceFailsPath();      // kSiteDir + "INTERFACEFAILS.DAT"
std::string InterfaceFailsLockPath();  // kSiteDir + "INTERFACEFAILS.LCK"
std::string CompilerPath();       // kSiteDir + "Sheetmaker"
std::string NoMulticallPath();    // kSiteDir + "NOMULTICALL.DAT"
std::string HostNamesPath();      // kSiteDir + "HOSTNAMES.DAT"
std::string ControlFilePath();    // kRuntimeDir + "CTLKRN.CFG"
std::string RuntimeConfigPath();  // kRuntimeDir + "ABLKRN.CFG"
std::string AccessFilePath();     // kRuntimeDir + "TELVARINSAUTH.DAT"
