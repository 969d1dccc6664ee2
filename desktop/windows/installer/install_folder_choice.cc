#include "desktop/windows/installer/install_folder_choice.h"

#include <algorithm>

#include "base/files/file_util.h"
#include "base/logging.h"
#include "base/strings/string_util.h"
#include "base/strings/utf_string_conversions.h"
#include "base/win/registry.h"
#include "base/win/windows_version.h"
#include "desktop/windows/installer/drive_access.h"
#include "desktop/windows/installer/product/branding_config.h"
#include "desktop/windows/installer/product/version_info.h"
#include "desktop/windows/installer/service/utils.h"

namespace installer {

namespace {

constexpr int kFirstPoorDriveRank = 5;

// Reads the string value |name| of |key| into |value|.
bool ReadString(const base::win::RegKey& key,
                const std::wstring& name,
                std::wstring* value) {
  return key.ReadValue(name.c_str(), value) == ERROR_SUCCESS;
}

// Whether the uninstall entry |name| under |uninstall_key| is the
// product's, of |channel|.
bool IsUninstallEntryOfChannel(HKEY root,
                               REGSAM view,
                               const std::wstring& uninstall_key,
                               const std::wstring& name,
                               int channel) {
  const std::wstring product = base::UTF8ToWide(GetProductName());
  if (!base::StartsWith(name, product, base::CompareCase::SENSITIVE))
    return false;
  base::win::RegKey entry;
  if (entry.Open(root, (uninstall_key + L"\\" + name).c_str(),
                 KEY_READ | view) != ERROR_SUCCESS) {
    return false;
  }
  std::wstring publisher;
  if (!ReadString(entry, L"Publisher", &publisher)) {
    LOG(INFO) << "Cannot read Publisher in an uninstall key";
    return false;
  }
  if (!base::StartsWith(publisher, base::UTF8ToWide(GetCompanyName()),
                        base::CompareCase::SENSITIVE)) {
    return false;
  }
  std::wstring display_name;
  if (!ReadString(entry, L"DisplayName", &display_name)) {
    LOG(INFO) << "Cannot read Display Name in an uninstall key";
    return false;
  }
  const std::wstring prefix = product + L" ";
  if (!base::StartsWith(display_name, prefix, base::CompareCase::SENSITIVE)) {
    LOG(INFO) << "DisplayName does not start with " << product;
    return false;
  }
  // "Kelvo Developer 45.0.2531.0": the word before the version.
  const size_t blank = display_name.find(L' ', prefix.size());
  if (blank == std::wstring::npos)
    return false;
  return IsStreamWordOfChannel(
      display_name.substr(prefix.size(), blank - prefix.size()), channel);
}

}  // namespace

int GetStandaloneDriveRank(UINT drive_type) {
  switch (drive_type) {
    case DRIVE_REMOVABLE:
      return 0;
    case DRIVE_REMOTE:
      return 1;
    case DRIVE_FIXED:
      return 3;
    case DRIVE_RAMDISK:
      return 4;
    case DRIVE_CDROM:
      return 5;
    case DRIVE_UNKNOWN:
      return 6;
    default:
      return 7;
  }
}

std::vector<base::FilePath> RankStandaloneCandidates(
    std::vector<StandaloneCandidate> candidates) {
  std::stable_sort(
      candidates.begin(), candidates.end(),
      [](const StandaloneCandidate& a, const StandaloneCandidate& b) {
        return a.rank < b.rank;
      });
  std::vector<base::FilePath> paths;
  for (const StandaloneCandidate& candidate : candidates) {
    if (!paths.empty() && candidate.rank >= kFirstPoorDriveRank)
      break;
    paths.push_back(candidate.path);
  }
  return paths;
}

std::vector<base::FilePath> FindStandaloneInstallPaths() {
  DriveAccess* drives = DriveAccess::GetInstance();
  const DWORD mask = drives->GetLogicalDriveMask();
  const std::wstring folder_name = base::UTF8ToWide(GetDefaultFolderName());
  std::vector<StandaloneCandidate> candidates;
  for (int index = 0; index < 26; ++index) {
    if (!(mask & (1u << index)))
      continue;
    const wchar_t letter = static_cast<wchar_t>(L'A' + index);
    if (!drives->HasMedium(letter))
      continue;
    const std::wstring root = std::wstring(1, letter) + L":\\";
    candidates.push_back(
        {base::FilePath(root).Append(folder_name),
         GetStandaloneDriveRank(drives->GetDriveTypeOf(root))});
  }
  LOG(INFO) << "Found " << candidates.size()
            << " paths for standalone install mode.";
  return RankStandaloneCandidates(std::move(candidates));
}

base::FilePath ReadLastInstallPath(int32_t x64_download, int channel) {
  base::win::RegKey key;
  if (key.Open(HKEY_CURRENT_USER, GetProductRegistryKey().c_str(), KEY_READ) !=
      ERROR_SUCCESS) {
    LOG(INFO) << "No product key to read the last install folder from";
    return base::FilePath();
  }
  const std::wstring stream = base::UTF8ToWide(GetStream());
  const std::wstring channel_stream = base::UTF8ToWide(GetStreamName(channel));
  std::wstring value;
  if (x64_download == 1 &&
      ReadString(key, L"Last " + stream + L" Install Path x64", &value)) {
    LOG(INFO) << "Install folder reg value [legacy x64]: " << value;
  } else if (ReadString(key, L"Last " + stream + L" Install Path", &value)) {
    LOG(INFO) << "Install folder reg value [standard]: " << value;
  } else if (ReadString(key, L"Last " + channel_stream + L" Install Path",
                        &value)) {
    LOG(INFO) << "Install folder reg value [beta=next]: " << value;
  } else if (channel == CHANNEL_STABLE &&
             ReadString(key, L"Last install path", &value)) {
    LOG(INFO) << "Install folder reg value [primordial]: " << value;
  } else {
    value.clear();
  }
  base::FilePath path(value);
  if (!path.IsAbsolute() || !base::DirectoryExists(path))
    path.clear();
  path = path.StripTrailingSeparators();
  LOG(INFO) << "Install folder from reg value " << path;
  return path;
}

bool IsStreamWordOfChannel(const std::wstring& stream_word, int channel) {
  switch (channel) {
    case CHANNEL_STABLE:
      return stream_word == L"Stable";
    case CHANNEL_NEXT:
      return stream_word == L"beta" || stream_word == L"Next";
    case CHANNEL_DEVELOPER:
      return stream_word == L"developer" || stream_word == L"Developer";
    case CHANNEL_NIGHTLY:
      return stream_word == L"nightly";
    default:
      return false;
  }
}

int CountUninstallEntriesOfChannel(int channel, int limit) {
  struct Place {
    HKEY root;
    REGSAM view;
  };
  const Place kPlaces[] = {{HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY},
                           {HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY},
                           {HKEY_CURRENT_USER, 0}};
  const bool windows_64 = base::win::OSInfo::GetInstance()->architecture() !=
                          base::win::OSInfo::X86_ARCHITECTURE;
  const std::wstring uninstall_key = GetUninstallRegistryKey();
  int count = 0;
  for (const Place& place : kPlaces) {
    if (place.view == KEY_WOW64_64KEY && !windows_64)
      continue;
    for (base::win::RegistryKeyIterator it(place.root, uninstall_key.c_str(),
                                           place.view);
         it.Valid(); ++it) {
      if (IsUninstallEntryOfChannel(place.root, place.view, uninstall_key,
                                    it.Name(), channel) &&
          ++count >= limit) {
        return count;
      }
    }
  }
  return count;
}

}  // namespace installer
