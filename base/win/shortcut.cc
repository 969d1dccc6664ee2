#include "base/win/shortcut.h"

#include <windows.h>

#include <objbase.h>
#include <propkey.h>
#include <shlobj.h>
#include <wrl/client.h>

#include <cstring>
#include <cwchar>

#include "base/logging.h"

namespace base {
namespace win {

namespace {

using Microsoft::WRL::ComPtr;

// The shell's limit for a shortcut's description (its tooltip).
constexpr size_t kMaxDescriptionLength = 1023;
// Arguments may be as long as a description, with the terminating NUL.
constexpr int kArgumentsBufferLength = 1024;

// Owns a PROPVARIANT and clears it at the end.
class ScopedPropVariant {
 public:
  ScopedPropVariant() { ::PropVariantInit(&value_); }
  ScopedPropVariant(const ScopedPropVariant&) = delete;
  ScopedPropVariant& operator=(const ScopedPropVariant&) = delete;
  ~ScopedPropVariant() { ::PropVariantClear(&value_); }

  // A VT_LPWSTR copy of |text|, or VT_EMPTY for empty text (which removes
  // the property). False when memory runs out.
  bool SetString(const std::wstring& text) {
    ::PropVariantClear(&value_);
    if (text.empty())
      return true;
    size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    auto* copy = static_cast<wchar_t*>(::CoTaskMemAlloc(bytes));
    if (!copy)
      return false;
    std::memcpy(copy, text.c_str(), bytes);
    value_.vt = VT_LPWSTR;
    value_.pwszVal = copy;
    return true;
  }

  const PROPVARIANT& get() const { return value_; }

 private:
  PROPVARIANT value_;
};

// Logs |what| with the HRESULT when it failed.
bool Succeeded(HRESULT hr, const char* what) {
  if (SUCCEEDED(hr))
    return true;
  LOG(ERROR) << what << " failed: 0x" << std::hex
             << static_cast<unsigned long>(hr);
  return false;
}

// A new shell link object and its file interface; false (logged) when COM
// cannot make them.
bool CreateShellLink(ComPtr<IShellLinkW>* link, ComPtr<IPersistFile>* file) {
  return Succeeded(
             ::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(link->GetAddressOf())),
             "CoCreateInstance(ShellLink)") &&
         Succeeded(link->As(file), "IShellLink IPersistFile");
}

bool SetAppId(IShellLinkW* link, const std::wstring& app_id) {
  ComPtr<IPropertyStore> store;
  if (!Succeeded(link->QueryInterface(IID_PPV_ARGS(&store)),
                 "IShellLink IPropertyStore")) {
    return false;
  }
  ScopedPropVariant value;
  if (!value.SetString(app_id)) {
    LOG(ERROR) << "Out of memory for the app id";
    return false;
  }
  return Succeeded(store->SetValue(PKEY_AppUserModel_ID, value.get()),
                   "IPropertyStore::SetValue(AppUserModel_ID)") &&
         Succeeded(store->Commit(), "IPropertyStore::Commit");
}

bool ApplyProperties(IShellLinkW* link, const ShortcutProperties& properties) {
  const uint32_t options = properties.options;
  if ((options & ShortcutProperties::PROPERTIES_TARGET) &&
      !Succeeded(link->SetPath(properties.target.value().c_str()),
                 "IShellLink::SetPath")) {
    return false;
  }
  if ((options & ShortcutProperties::PROPERTIES_WORKING_DIR) &&
      !Succeeded(
          link->SetWorkingDirectory(properties.working_dir.value().c_str()),
          "IShellLink::SetWorkingDirectory")) {
    return false;
  }
  if ((options & ShortcutProperties::PROPERTIES_ARGUMENTS) &&
      !Succeeded(link->SetArguments(properties.arguments.c_str()),
                 "IShellLink::SetArguments")) {
    return false;
  }
  if ((options & ShortcutProperties::PROPERTIES_DESCRIPTION) &&
      !Succeeded(link->SetDescription(properties.description.c_str()),
                 "IShellLink::SetDescription")) {
    return false;
  }
  if ((options & ShortcutProperties::PROPERTIES_ICON) &&
      !Succeeded(link->SetIconLocation(properties.icon.value().c_str(),
                                       properties.icon_index),
                 "IShellLink::SetIconLocation")) {
    return false;
  }
  if ((options & ShortcutProperties::PROPERTIES_APP_ID) &&
      !SetAppId(link, properties.app_id)) {
    return false;
  }
  return true;
}

// The target of |link| into |target|. The path text that IShellLinkW
// gives can lose the letters outside the ANSI code page (Wine answers "?"
// for them), which no path can hold; the link's item id list names the
// target exactly then.
bool GetTargetPath(IShellLinkW* link, wchar_t (&target)[MAX_PATH]) {
  if (link->GetPath(target, MAX_PATH, nullptr, SLGP_UNCPRIORITY) == S_OK &&
      target[0] != L'\0' && !std::wcschr(target, L'?')) {
    return true;
  }
  PIDLIST_ABSOLUTE id_list = nullptr;
  if (FAILED(link->GetIDList(&id_list)) || !id_list)
    return false;
  wchar_t from_id_list[MAX_PATH] = {};
  const bool found =
      ::SHGetPathFromIDListW(id_list, from_id_list) && from_id_list[0];
  ::CoTaskMemFree(id_list);
  if (found)
    std::wcscpy(target, from_id_list);
  return found;
}

}  // namespace

ShortcutProperties::ShortcutProperties() = default;
ShortcutProperties::ShortcutProperties(const ShortcutProperties&) = default;
ShortcutProperties& ShortcutProperties::operator=(const ShortcutProperties&) =
    default;
ShortcutProperties::~ShortcutProperties() = default;

void ShortcutProperties::set_target(const FilePath& target_in) {
  target = target_in;
  options |= PROPERTIES_TARGET;
}

void ShortcutProperties::set_working_dir(const FilePath& working_dir_in) {
  working_dir = working_dir_in;
  options |= PROPERTIES_WORKING_DIR;
}

void ShortcutProperties::set_arguments(const std::wstring& arguments_in) {
  arguments = arguments_in;
  options |= PROPERTIES_ARGUMENTS;
}

void ShortcutProperties::set_description(const std::wstring& description_in) {
  DCHECK_LE(description_in.size(), kMaxDescriptionLength);
  description = description_in;
  options |= PROPERTIES_DESCRIPTION;
}

void ShortcutProperties::set_icon(const FilePath& icon_in, int icon_index_in) {
  icon = icon_in;
  icon_index = icon_index_in;
  options |= PROPERTIES_ICON;
}

void ShortcutProperties::set_app_id(const std::wstring& app_id_in) {
  app_id = app_id_in;
  options |= PROPERTIES_APP_ID;
}

bool CreateOrUpdateShortcutLink(const FilePath& shortcut_path,
                                const ShortcutProperties& properties,
                                ShortcutOperation operation) {
  DCHECK(operation != SHORTCUT_CREATE_ALWAYS ||
         (properties.options & ShortcutProperties::PROPERTIES_TARGET))
      << "A new shortcut needs a target";
  if (properties.description.size() > kMaxDescriptionLength) {
    LOG(ERROR) << "Shortcut description too long for " << shortcut_path;
    return false;
  }

  ComPtr<IShellLinkW> link;
  ComPtr<IPersistFile> file;
  if (!CreateShellLink(&link, &file))
    return false;
  if (operation == SHORTCUT_UPDATE_EXISTING &&
      !Succeeded(file->Load(shortcut_path.value().c_str(), STGM_READWRITE),
                 "IPersistFile::Load")) {
    LOG(ERROR) << "No shortcut to update at " << shortcut_path;
    return false;
  }
  if (!ApplyProperties(link.Get(), properties))
    return false;
  if (!Succeeded(file->Save(shortcut_path.value().c_str(), TRUE),
                 "IPersistFile::Save")) {
    LOG(ERROR) << "Cannot write the shortcut " << shortcut_path;
    return false;
  }
  return true;
}

bool ResolveShortcut(const FilePath& shortcut_path,
                     FilePath* target_path,
                     std::wstring* arguments) {
  ComPtr<IShellLinkW> link;
  ComPtr<IPersistFile> file;
  if (!CreateShellLink(&link, &file))
    return false;
  // Not a failure worth a log line: callers probe files that may be
  // anything.
  if (FAILED(file->Load(shortcut_path.value().c_str(), STGM_READ)))
    return false;

  // Resolve() is deliberately not called: it may search the disk or the
  // network for a moved target and change the link.
  wchar_t target[MAX_PATH] = {};
  if (!GetTargetPath(link.Get(), target))
    return false;
  std::wstring args;
  if (arguments) {
    wchar_t buffer[kArgumentsBufferLength] = {};
    if (FAILED(link->GetArguments(buffer, kArgumentsBufferLength)))
      return false;
    args = buffer;
  }

  if (target_path)
    *target_path = FilePath(target);
  if (arguments)
    *arguments = args;
  return true;
}

}  // namespace win
}  // namespace base
