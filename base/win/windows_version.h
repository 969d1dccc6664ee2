// Which Windows this process runs on. The numbers come from RtlGetVersion,
// which tells the truth even to a process whose manifest does not declare
// support for the newer releases (GetVersionEx would report 6.2 there).

#ifndef BASE_WIN_WINDOWS_VERSION_H_
#define BASE_WIN_WINDOWS_VERSION_H_

#include <windows.h>

namespace base {
namespace win {

// Ordered so that releases compare with < and >=; the numbers are stored in
// tables and must not change.
enum Version {
  VERSION_PRE_XP = 0,  // Not supported.
  VERSION_XP = 1,
  VERSION_SERVER_2003 = 2,  // Also XP Professional x64.
  VERSION_VISTA = 3,        // Also Server 2008.
  VERSION_WIN7 = 4,         // Also Server 2008 R2.
  VERSION_WIN8 = 5,         // Also Server 2012.
  VERSION_WIN8_1 = 6,       // Also Server 2012 R2.
  VERSION_WIN10 = 7,        // Builds before 10586.
  VERSION_WIN10_TH2 = 8,    // Build 10586 and later.
  VERSION_WIN_LAST,         // Keep last.
};

// The Version of a release number; what comes after the last known release
// maps to the last known one.
Version MajorMinorBuildToVersion(int major, int minor, int build);

// Facts about the machine and the operating system, read once per process.
class OSInfo {
 public:
  struct VersionNumber {
    int major;
    int minor;
    int build;
  };

  struct ServicePack {
    int major;
    int minor;
  };

  enum WindowsArchitecture {
    X86_ARCHITECTURE,
    X64_ARCHITECTURE,
    IA64_ARCHITECTURE,
    OTHER_ARCHITECTURE,
  };

  enum WOW64Status {
    WOW64_DISABLED,  // A native process.
    WOW64_ENABLED,   // A 32-bit process on 64-bit Windows.
    WOW64_UNKNOWN,
  };

  static OSInfo* GetInstance();

  OSInfo(const OSInfo&) = delete;
  OSInfo& operator=(const OSInfo&) = delete;

  Version version() const { return version_; }
  VersionNumber version_number() const { return version_number_; }
  ServicePack service_pack() const { return service_pack_; }
  // The architecture of the operating system, not of this process.
  WindowsArchitecture architecture() const { return architecture_; }
  int processors() const { return processors_; }
  WOW64Status wow64_status() const { return wow64_status_; }

  static WOW64Status GetWOW64StatusForProcess(HANDLE process_handle);

 private:
  OSInfo();
  ~OSInfo();

  Version version_ = VERSION_PRE_XP;
  VersionNumber version_number_ = {};
  ServicePack service_pack_ = {};
  WindowsArchitecture architecture_ = OTHER_ARCHITECTURE;
  int processors_ = 0;
  WOW64Status wow64_status_ = WOW64_UNKNOWN;
};

// OSInfo::GetInstance()->version().
Version GetVersion();

}  // namespace win
}  // namespace base

#endif  // BASE_WIN_WINDOWS_VERSION_H_
