// The global storage on Windows. Entries are values of the product's
// registry key under HKEY_CURRENT_USER (ANSI REG_SZ data without a
// terminator), or, when the registry cannot be used (a copy-only
// installation, or a key the user may not write), members of "GS" in the
// file "au_global_storage" of the browser's user-data folder. The named
// mutex "kvuc_registry_mutex" keeps processes out of each other's way; it is
// taken without waiting, so a busy store answers kBusy at once.
//
//   GlobalStorageWin* storage = GlobalStorageWin::GetInstance();
//   storage->InitFallback(user_data_dir);
//   std::string uuid;
//   if (storage->Get("UUID", &uuid) != GlobalStorage::kOk)
//     uuid.clear();
//
// Used on one thread (the main thread).

#ifndef DESKTOP_COMMON_AUTOUPDATE_UPDATECHECKER_GLOBALSTORAGE_WIN_H_
#define DESKTOP_COMMON_AUTOUPDATE_UPDATECHECKER_GLOBALSTORAGE_WIN_H_

#include <windows.h>

#include <string>

#include "base/callback.h"
#include "base/files/file_path.h"
#include "base/win/scoped_handle.h"
#include "desktop/common/autoupdate/updatechecker/globalstorage.h"

namespace installer {

class GlobalStorageWin : public GlobalStorage {
 public:
  static constexpr wchar_t kMutexName[] = L"kvuc_registry_mutex";
  static constexpr char kFallbackFileName[] = "au_global_storage";

  // Whether the installation this process belongs to is copy-only.
  using CopyOnlyCheck = base::RepeatingCallback<bool()>;

  // What the process's store is made with: the product's registry key
  // ("Software\<company>") and the check it asks when it decides its mode
  // (whether the installation this process runs from is copy-only). Set
  // before the first GetInstance.
  static void Configure(const std::wstring& product_key, CopyOnlyCheck check);
  // The process's store, its mode decided on the first call. Destroyed at
  // exit.
  static GlobalStorageWin* GetInstance();

  // A store of the product whose registry key is |product_key|; the process
  // uses GetInstance.
  explicit GlobalStorageWin(const std::wstring& product_key);
  GlobalStorageWin(const GlobalStorageWin&) = delete;
  GlobalStorageWin& operator=(const GlobalStorageWin&) = delete;
  ~GlobalStorageWin() override;

  // Decides, the first time only, where the entries live: the fallback file
  // for a copy-only installation (|is_copy_only| is asked then) or when the
  // user may not write the product key; the registry otherwise, also when
  // the key does not exist yet.
  void DecideMode(const CopyOnlyCheck& is_copy_only);
  bool mode_decided() const { return mode_decided_; }
  bool use_fallback() const { return use_fallback_; }
  // Empty until InitFallback.
  const base::FilePath& fallback_file() const { return fallback_file_; }

  // GlobalStorage. InitFallback copies the string entries of an existing
  // fallback file into the registry, as long as the registry is the store
  // and nothing was written to it in this process yet; the file stays as it
  // is. In registry mode, Set also updates an existing fallback file, so
  // that it never holds stale entries for a later migration.
  void InitFallback(const base::FilePath& folder) override;
  int Set(const std::string& key, const std::string& value) override;
  int Get(const std::string& key, std::string* value) override;

 private:
  enum class MutexState { kAcquired, kBusy, kNoMutex, kWaitFailed };

  // Opens the mutex when needed and takes it without waiting.
  MutexState AcquireMutex();
  void ReleaseMutex();

  int GetLocked(const std::string& key, std::string* value);
  int SetLocked(const std::string& key, const std::string& value);
  int GetFromFile(const std::string& key, std::string* value);
  int GetFromRegistry(const std::string& key, std::string* value);
  bool WriteToFile(const std::string& key, const std::string& value);
  int DeleteFromRegistry(const std::string& key);
  int WriteToRegistry(const std::string& key, const std::string& value);

  const std::wstring product_key_;
  base::win::ScopedHandle access_mutex_;
  base::FilePath fallback_file_;
  bool mode_decided_ = false;
  bool use_fallback_ = false;
  // A Set has written or deleted a registry value in this process: the
  // registry is newer than any fallback file.
  bool registry_written_ = false;
  // InitFallback is copying the fallback file into the registry.
  bool migrating_ = false;
};

}  // namespace installer

#endif  // DESKTOP_COMMON_AUTOUPDATE_UPDATECHECKER_GLOBALSTORAGE_WIN_H_
