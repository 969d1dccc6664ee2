#include "base/base_paths.h"

#include <windows.h>

#include <knownfolders.h>
#include <shlobj.h>

#include <string>

#include "base/files/file_path.h"
#include "base/files/file_util.h"
#include "base/logging.h"
#include "base/path_service.h"
#include "base/win/known_folder.h"

// Only a 64-bit build is made: DIR_PROGRAM_FILES6432 below relies on it.
static_assert(sizeof(void*) == 8, "64-bit builds only");

namespace base {

namespace {

bool GetKnownFolder(REFKNOWNFOLDERID folder_id, FilePath* result) {
  // Without verification a folder that is not there yet still has a path;
  // callers create what they need.
  if (!win::GetKnownFolderPath(folder_id, win::KnownFolderAccess::kUnverified,
                               result)) {
    LOG(WARNING) << "SHGetKnownFolderPath failed";
    return false;
  }
  return true;
}

bool GetModulePath(HMODULE module, FilePath* result) {
  std::wstring buffer(MAX_PATH, L'\0');
  for (int attempt = 0; attempt < 6; ++attempt) {
    DWORD length = ::GetModuleFileNameW(module, buffer.data(),
                                        static_cast<DWORD>(buffer.size()));
    if (length == 0) {
      PLOG(ERROR) << "GetModuleFileName failed";
      return false;
    }
    if (length < buffer.size()) {
      buffer.resize(length);
      *result = FilePath(buffer);
      return true;
    }
    buffer.resize(buffer.size() * 2);
  }
  return false;
}

// The module that this function was linked into.
HMODULE GetThisModule() {
  HMODULE module = nullptr;
  ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&GetThisModule), &module);
  return module;
}

bool GetSystemFolder(UINT (*getter)(LPWSTR, UINT), FilePath* result) {
  wchar_t buffer[MAX_PATH + 1];
  UINT length = getter(buffer, MAX_PATH + 1);
  if (length == 0 || length > MAX_PATH)
    return false;
  *result = FilePath(std::wstring_view(buffer, length));
  return true;
}

bool GetDirName(int file_key, FilePath* result) {
  FilePath file;
  if (!PathService::Get(file_key, &file))
    return false;
  *result = file.DirName();
  return true;
}

}  // namespace

bool PathProvider(int key, FilePath* result) {
  FilePath path;
  switch (key) {
    case FILE_EXE:
      if (!GetModulePath(nullptr, &path))
        return false;
      break;
    case FILE_MODULE:
      if (!GetModulePath(GetThisModule(), &path))
        return false;
      break;
    case DIR_EXE:
      if (!GetDirName(FILE_EXE, &path))
        return false;
      break;
    case DIR_MODULE:
      if (!GetDirName(FILE_MODULE, &path))
        return false;
      break;
    case DIR_TEMP:
      if (!GetTempDir(&path))
        return false;
      break;
    case DIR_HOME:
      if (!GetKnownFolder(FOLDERID_Profile, &path))
        return false;
      break;
    case DIR_USER_DESKTOP:
      if (!GetKnownFolder(FOLDERID_Desktop, &path))
        return false;
      break;
    case DIR_WINDOWS:
      if (!GetSystemFolder(&::GetWindowsDirectoryW, &path))
        return false;
      break;
    case DIR_SYSTEM:
      if (!GetSystemFolder(&::GetSystemDirectoryW, &path))
        return false;
      break;
    case DIR_PROGRAM_FILES:
    case DIR_PROGRAM_FILES6432:
      // A 64-bit process sees the 64-bit folder as its own.
      if (!GetKnownFolder(FOLDERID_ProgramFiles, &path))
        return false;
      break;
    case DIR_PROGRAM_FILESX86:
      if (!GetKnownFolder(FOLDERID_ProgramFilesX86, &path))
        return false;
      break;
    case DIR_COMMON_START_MENU:
      if (!GetKnownFolder(FOLDERID_CommonPrograms, &path))
        return false;
      break;
    case DIR_START_MENU:
      if (!GetKnownFolder(FOLDERID_Programs, &path))
        return false;
      break;
    case DIR_APP_DATA:
      if (!GetKnownFolder(FOLDERID_RoamingAppData, &path))
        return false;
      break;
    case DIR_LOCAL_APP_DATA:
      if (!GetKnownFolder(FOLDERID_LocalAppData, &path))
        return false;
      break;
    case DIR_COMMON_APP_DATA:
      if (!GetKnownFolder(FOLDERID_ProgramData, &path))
        return false;
      break;
    case DIR_COMMON_DESKTOP:
      if (!GetKnownFolder(FOLDERID_PublicDesktop, &path))
        return false;
      break;
    case DIR_USER_QUICK_LAUNCH:
      // Not a known folder of its own: it lives in the roaming data.
      if (!PathService::Get(DIR_APP_DATA, &path))
        return false;
      path = path.Append(L"Microsoft")
                 .Append(L"Internet Explorer")
                 .Append(L"Quick Launch");
      break;
    case DIR_TASKBAR_PINS:
      if (!PathService::Get(DIR_USER_QUICK_LAUNCH, &path))
        return false;
      path = path.Append(L"User Pinned").Append(L"TaskBar");
      break;
    default:
      return false;
  }
  *result = path;
  return true;
}

}  // namespace base
