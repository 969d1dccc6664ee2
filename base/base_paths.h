// Keys of the paths that base itself knows, for PathService::Get. Keys from
// 1000 up belong to providers that other layers register.

#ifndef BASE_BASE_PATHS_H_
#define BASE_BASE_PATHS_H_

namespace base {

class FilePath;

enum BasePathKey {
  PATH_START = 0,

  DIR_CURRENT,       // The current folder: never cached, never overridden.
  DIR_EXE,           // The folder of FILE_EXE.
  DIR_MODULE,        // The folder of FILE_MODULE.
  DIR_TEMP,          // The user's temporary folder.
  DIR_HOME,          // The user's profile folder, "C:\Users\<user>".
  FILE_EXE,          // The executable of this process.
  FILE_MODULE,       // The module holding this code (a DLL may differ from
                     // FILE_EXE).
  DIR_USER_DESKTOP,  // The user's desktop.

  PATH_END,

  PATH_WIN_START = 100,

  DIR_WINDOWS,            // "C:\Windows".
  DIR_SYSTEM,             // "C:\Windows\System32".
  DIR_PROGRAM_FILES,      // Program files of this process's bitness.
  DIR_PROGRAM_FILESX86,   // 32-bit program files, "C:\Program Files (x86)".
  DIR_PROGRAM_FILES6432,  // 64-bit program files, "C:\Program Files".
  DIR_COMMON_START_MENU,  // The Start menu programs folder of all users.
  DIR_START_MENU,         // The user's Start menu programs folder.
  DIR_APP_DATA,           // The user's roaming application data.
  DIR_LOCAL_APP_DATA,     // The user's local application data.
  DIR_COMMON_APP_DATA,    // Application data of all users, "C:\ProgramData".
  DIR_COMMON_DESKTOP,     // The desktop of all users.
  DIR_USER_QUICK_LAUNCH,  // The user's Quick Launch folder.
  DIR_TASKBAR_PINS,       // The user's taskbar pins (under Quick Launch).

  PATH_WIN_END
};

// Answers the keys above; registered with PathService from the start.
bool PathProvider(int key, FilePath* result);

}  // namespace base

#endif  // BASE_BASE_PATHS_H_
