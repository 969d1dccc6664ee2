#include "desktop/common/autoupdate/updatechecker/globalstorage_win.h"

#include <limits>
#include <memory>
#include <utility>
#include <vector>

#include "base/bind.h"
#include "base/files/file_util.h"
#include "base/logging.h"
#include "base/strings/string_util.h"
#include "base/values.h"
#include "base/win/registry.h"
#include "desktop/common/autoupdate/updatechecker/gs_file_store.h"

namespace installer {

namespace {

struct ProcessStoreConfiguration {
  std::wstring product_key;
  GlobalStorageWin::CopyOnlyCheck is_copy_only;
};

ProcessStoreConfiguration& GetProcessStoreConfiguration() {
  static ProcessStoreConfiguration* const configuration =
      new ProcessStoreConfiguration();
  return *configuration;
}

}  // namespace

// static
void GlobalStorageWin::Configure(const std::wstring& product_key,
                                 CopyOnlyCheck check) {
  ProcessStoreConfiguration& configuration = GetProcessStoreConfiguration();
  configuration.product_key = product_key;
  configuration.is_copy_only = std::move(check);
}

// static
GlobalStorageWin* GlobalStorageWin::GetInstance() {
  const ProcessStoreConfiguration& configuration =
      GetProcessStoreConfiguration();
  DCHECK(!configuration.product_key.empty()) << "Configure comes first";
  static GlobalStorageWin instance(configuration.product_key);
  instance.DecideMode(configuration.is_copy_only);
  return &instance;
}

GlobalStorageWin::GlobalStorageWin(const std::wstring& product_key)
    : product_key_(product_key) {}

GlobalStorageWin::~GlobalStorageWin() = default;

void GlobalStorageWin::DecideMode(const CopyOnlyCheck& is_copy_only) {
  if (mode_decided_)
    return;
  mode_decided_ = true;
  if (is_copy_only && is_copy_only.Run()) {
    use_fallback_ = true;
    return;
  }
  base::win::RegKey key;
  use_fallback_ = key.Open(HKEY_CURRENT_USER, product_key_.c_str(),
                           KEY_READ | KEY_WRITE) == ERROR_ACCESS_DENIED;
}

void GlobalStorageWin::InitFallback(const base::FilePath& folder) {
  DCHECK(mode_decided_);
  fallback_file_ = folder.AppendASCII(kFallbackFileName);
  if (use_fallback_ || registry_written_ || !base::PathExists(fallback_file_))
    return;

  GsFileStore file;
  std::unique_ptr<base::DictionaryValue> entries;
  if (!file.Open(fallback_file_) || !file.ReadAll(&entries)) {
    LOG(ERROR) << "[AU] GS: Couldn't read a fallback storage to migrate";
    return;
  }
  migrating_ = true;
  for (base::DictionaryValue::Iterator it(*entries); !it.IsAtEnd();
       it.Advance()) {
    std::string text;
    if (it.value().GetAsString(&text))
      Set(it.key(), text);
  }
  migrating_ = false;
}

int GlobalStorageWin::Set(const std::string& key, const std::string& value) {
  if (key.empty())
    return kInvalidArgument;
  switch (AcquireMutex()) {
    case MutexState::kAcquired:
      break;
    case MutexState::kNoMutex:
      LOG(ERROR) << "[AU] GS: Couldn't create an access mutex";
      return kFailed;
    case MutexState::kBusy:
      LOG(ERROR) << "[AU] GS: Couldn't get hold on an access mutex";
      return kBusy;
    case MutexState::kWaitFailed:
      LOG(ERROR) << "[AU] GS: Couldn't get hold on an access mutex";
      return kFailed;
  }
  const int result = SetLocked(key, value);
  ReleaseMutex();
  return result;
}

int GlobalStorageWin::Get(const std::string& key, std::string* value) {
  if (!value)
    return kInvalidArgument;
  value->clear();
  if (key.empty())
    return kInvalidArgument;
  switch (AcquireMutex()) {
    case MutexState::kAcquired:
      break;
    case MutexState::kBusy:
      return kBusy;
    case MutexState::kNoMutex:
    case MutexState::kWaitFailed:
      return kFailed;
  }
  const int result = GetLocked(key, value);
  ReleaseMutex();
  return result;
}

GlobalStorageWin::MutexState GlobalStorageWin::AcquireMutex() {
  if (!access_mutex_.IsValid()) {
    access_mutex_.Set(::CreateMutexW(nullptr, FALSE, kMutexName));
    // A mutex made by a process of another integrity level may refuse full
    // access; waiting and releasing are all this store needs.
    if (!access_mutex_.IsValid() && ::GetLastError() == ERROR_ACCESS_DENIED) {
      access_mutex_.Set(
          ::OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, kMutexName));
    }
    if (!access_mutex_.IsValid())
      return MutexState::kNoMutex;
  }
  switch (::WaitForSingleObject(access_mutex_.Get(), 0)) {
    case WAIT_OBJECT_0:
    // The last owner ended without releasing it; the entries are single
    // registry values or an atomically replaced file, so nothing is half
    // written.
    case WAIT_ABANDONED:
      return MutexState::kAcquired;
    case WAIT_TIMEOUT:
      return MutexState::kBusy;
    default:
      PLOG(ERROR) << "[AU] GS: Waiting for the access mutex failed";
      return MutexState::kWaitFailed;
  }
}

void GlobalStorageWin::ReleaseMutex() {
  if (!::ReleaseMutex(access_mutex_.Get()))
    PLOG(ERROR) << "[AU] GS: Releasing the access mutex failed";
}

int GlobalStorageWin::GetLocked(const std::string& key, std::string* value) {
  return use_fallback_ ? GetFromFile(key, value) : GetFromRegistry(key, value);
}

int GlobalStorageWin::SetLocked(const std::string& key,
                                const std::string& value) {
  if (use_fallback_ || (!migrating_ && base::PathExists(fallback_file_))) {
    const bool written = WriteToFile(key, value);
    if (use_fallback_)
      return written ? kOk : kFailed;
  }
  const int result =
      value.empty() ? DeleteFromRegistry(key) : WriteToRegistry(key, value);
  if (result == kOk)
    registry_written_ = true;
  return result;
}

int GlobalStorageWin::GetFromFile(const std::string& key, std::string* value) {
  GsFileStore file;
  std::unique_ptr<base::DictionaryValue> entries;
  if (!file.Open(fallback_file_) || !file.ReadAll(&entries))
    return kFailed;
  // The key is taken literally, as Set writes it; text that is not ASCII
  // cannot have come from this store.
  if (!entries->GetStringWithoutPathExpansion(key, value) ||
      !base::IsStringASCII(*value)) {
    value->clear();
  }
  return kOk;
}

int GlobalStorageWin::GetFromRegistry(const std::string& key,
                                      std::string* value) {
  base::win::RegKey product_key;
  if (product_key.Open(HKEY_CURRENT_USER, product_key_.c_str(),
                       KEY_QUERY_VALUE) != ERROR_SUCCESS) {
    return kOk;
  }
  DWORD size = 0;
  if (::RegQueryValueExA(product_key.Handle(), key.c_str(), nullptr, nullptr,
                         nullptr, &size) != ERROR_SUCCESS ||
      size == 0) {
    return kOk;
  }
  // Writers store the text without a terminator: add one.
  std::vector<char> buffer(size + 1, '\0');
  const LONG result =
      ::RegQueryValueExA(product_key.Handle(), key.c_str(), nullptr, nullptr,
                         reinterpret_cast<BYTE*>(buffer.data()), &size);
  if (result != ERROR_SUCCESS) {
    LOG(ERROR) << "[AU] GS: Reading reg value failed with: " << result;
    return kFailed;
  }
  value->assign(buffer.data());
  return kOk;
}

bool GlobalStorageWin::WriteToFile(const std::string& key,
                                   const std::string& value) {
  GsFileStore file;
  if (file.Open(fallback_file_) && file.Write(key, value))
    return true;
  LOG(ERROR) << "[AU] GS: Writing to a fallback storage failed";
  return false;
}

int GlobalStorageWin::DeleteFromRegistry(const std::string& key) {
  base::win::RegKey product_key;
  const LONG result =
      product_key.Open(HKEY_CURRENT_USER, product_key_.c_str(), KEY_WRITE);
  if (result == ERROR_SUCCESS) {
    // A value that is not there is as good as deleted.
    ::RegDeleteValueA(product_key.Handle(), key.c_str());
    return kOk;
  }
  if (result == ERROR_FILE_NOT_FOUND || result == ERROR_PATH_NOT_FOUND)
    return kOk;
  LOG(ERROR) << "[AU] GS: Deleting reg value failed with: " << result;
  return kFailed;
}

int GlobalStorageWin::WriteToRegistry(const std::string& key,
                                      const std::string& value) {
  base::win::RegKey product_key;
  LONG result =
      product_key.Create(HKEY_CURRENT_USER, product_key_.c_str(), KEY_WRITE);
  if (result != ERROR_SUCCESS) {
    LOG(ERROR) << "[AU] GS: Creating reg key failed with: " << result;
    return kFailed;
  }
  // Registry data sizes are 32-bit.
  if (value.size() > std::numeric_limits<DWORD>::max()) {
    result = ERROR_INVALID_PARAMETER;
  } else {
    result = ::RegSetValueExA(product_key.Handle(), key.c_str(), 0, REG_SZ,
                              reinterpret_cast<const BYTE*>(value.data()),
                              static_cast<DWORD>(value.size()));
  }
  if (result != ERROR_SUCCESS) {
    LOG(ERROR) << "[AU] GS: Setting reg value failed with: " << result;
    return kFailed;
  }
  return kOk;
}

}  // namespace installer
