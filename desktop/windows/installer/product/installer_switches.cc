#include "desktop/windows/installer/product/installer_switches.h"

namespace installer {
namespace switches {

// Documented user switches.
const char kSilent[] = "silent";
const char kRunimmediately[] = "runimmediately";
const char kLanguage[] = "language";
const char kInstallfolder[] = "installfolder";
const char kAllusers[] = "allusers";
const char kCopyonly[] = "copyonly";
const char kSingleprofile[] = "singleprofile";
const char kSetdefaultbrowser[] = "setdefaultbrowser";
const char kDesktopshortcut[] = "desktopshortcut";
const char kStartmenushortcut[] = "startmenushortcut";
const char kQuicklaunchshortcut[] = "quicklaunchshortcut";
const char kPintotaskbar[] = "pintotaskbar";
const char kImportBrowserData[] = "import-browser-data";
const char kEnableStats[] = "enable-stats";
const char kEnableInstallerStats[] = "enable-installer-stats";
const char kLaunchbrowser[] = "launchbrowser";

// Info switches.
const char kVersion[] = "version";
const char kInternalVersion[] = "internal-version";
const char kStream[] = "stream";
const char kHelp[] = "help";
const char kQuestionMark[] = "?";

// Between installer processes.
const char kBackend[] = "backend";
const char kUninstall[] = "uninstall";
const char kAutoupdate[] = "autoupdate";
const char kInstall[] = "install";
const char kLaunchkelvo[] = "launchkelvo";
const char kInstallAssistant[] = "install-assistant";
const char kDeleteuserprofile[] = "deleteuserprofile";
const char kProfileFolder[] = "profile-folder";
const char kTempFolder[] = "temp-folder";
const char kReplacetavrelinstallation[] = "replacetavrelinstallation";
const char kInitialPid[] = "initial-pid";
const char kInitialProcHandle[] = "initial-proc-handle";
const char kParentPid[] = "parent-pid";
const char kRunElevated[] = "run-elevated";
const char kPostElevatedInstallTasks[] = "post-elevated-install-tasks";
const char kWaitForPackage[] = "wait-for-package";
const char kHandOverEvent[] = "hand-over-event";
const char kComponents[] = "components";
const char kServerTrackingData[] = "server-tracking-data";
const char kServerTrackingBlob[] = "server-tracking-blob";
const char kSetFolderPermission[] = "set-folder-permission";
const char kPermissionsForUser[] = "permissions-for-user";
const char kPermanentPermissions[] = "permanent-permissions";
const char kRunUninstallBat[] = "run-uninstall-bat";
const char kRegisterKelvoAsProtocolHandler[] =
    "register-kelvo-as-protocol-handler";

// Crash reporter.
const char kCrashReporterParentId[] = "crash-reporter-parent-id";
const char kCrashReporterPid[] = "crash-reporter-pid";
const char kCrashReporterExceptionInfo[] = "crash-reporter-exception-info";
const char kCrashReporterMinidump[] = "crash-reporter-minidump";
const char kUserDataDir[] = "user-data-dir";

// Test servers.
const char kInternalPackageServer[] = "internal-package-server";
const char kLocalPrefDefaultOverridesServer[] =
    "local-pref-default-overrides-server";
const char kLocalStatsServer[] = "local-stats-server";

// Passed on to the browser or the backend when present.
const char kImportBookmarks[] = "import-bookmarks";
const char kImportSession[] = "import-session";
const char kImportTopsitesToSpeeddial[] = "import-topsites-to-speeddial";
const char kV[] = "v";
const char kStartMaximized[] = "start-maximized";
const char kScheduledautoupdate[] = "scheduledautoupdate";

}  // namespace switches
}  // namespace installer
