// Command-line switches of the installer processes and of the programs they
// start. Switch names are lower case: the command line lower-cases them.

#ifndef DESKTOP_WINDOWS_INSTALLER_PRODUCT_INSTALLER_SWITCHES_H_
#define DESKTOP_WINDOWS_INSTALLER_PRODUCT_INSTALLER_SWITCHES_H_

namespace installer {

// The verbose level (switch `v`) of the engine's line for every further call
// of a step that runs once per file: above a run's default level (1), so
// that it stays out of an ordinary run's log. A step that ends the run
// still logs which call it was.
constexpr int kPerFileLogLevel = 2;

namespace switches {

// Documented user switches.
extern const char kSilent[];
extern const char kRunimmediately[];
extern const char kLanguage[];
extern const char kInstallfolder[];
extern const char kAllusers[];
extern const char kCopyonly[];
extern const char kSingleprofile[];
extern const char kSetdefaultbrowser[];
extern const char kDesktopshortcut[];
extern const char kStartmenushortcut[];
extern const char kQuicklaunchshortcut[];
extern const char kPintotaskbar[];
extern const char kImportBrowserData[];
extern const char kEnableStats[];
extern const char kEnableInstallerStats[];
extern const char kLaunchbrowser[];

// Info switches.
extern const char kVersion[];
extern const char kInternalVersion[];
extern const char kStream[];
extern const char kHelp[];
extern const char kQuestionMark[];

// Between installer processes.
extern const char kBackend[];
extern const char kUninstall[];
extern const char kAutoupdate[];
extern const char kInstall[];
extern const char kLaunchkelvo[];
extern const char kInstallAssistant[];
extern const char kDeleteuserprofile[];
extern const char kProfileFolder[];
extern const char kTempFolder[];
extern const char kReplacetavrelinstallation[];
extern const char kInitialPid[];
extern const char kInitialProcHandle[];
extern const char kParentPid[];
extern const char kRunElevated[];
extern const char kPostElevatedInstallTasks[];
extern const char kWaitForPackage[];
extern const char kHandOverEvent[];
extern const char kComponents[];
extern const char kServerTrackingData[];
extern const char kServerTrackingBlob[];
extern const char kSetFolderPermission[];
extern const char kPermissionsForUser[];
extern const char kPermanentPermissions[];
extern const char kRunUninstallBat[];
extern const char kRegisterKelvoAsProtocolHandler[];

// Crash reporter.
extern const char kCrashReporterParentId[];
extern const char kCrashReporterPid[];
extern const char kCrashReporterExceptionInfo[];
extern const char kCrashReporterMinidump[];
extern const char kUserDataDir[];

// Test servers.
extern const char kInternalPackageServer[];
extern const char kLocalPrefDefaultOverridesServer[];
extern const char kLocalStatsServer[];

// Passed on to the browser or the backend when present.
extern const char kImportBookmarks[];
extern const char kImportSession[];
extern const char kImportTopsitesToSpeeddial[];
extern const char kV[];
extern const char kStartMaximized[];
extern const char kScheduledautoupdate[];

}  // namespace switches
}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_PRODUCT_INSTALLER_SWITCHES_H_
