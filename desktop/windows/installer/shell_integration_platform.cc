#include "desktop/windows/installer/shell_integration_platform.h"

#include <windows.h>

#include <objbase.h>
#include <shlobj.h>
#include <wrl/client.h>

#include <utility>

#include "base/bind.h"
#include "base/logging.h"

namespace installer {

// IApplicationActivationManager exists from Windows 8 on; the SDK headers
// of a Windows 7 build do not declare it. Its methods follow Windows' own
// declaration. Declared outside the anonymous namespace: a type that no
// other file can see is one that, as the compiler may conclude, no object
// implements, and it then turns every call through it into a pure virtual
// call.
struct ApplicationActivationManager : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE
  ActivateApplication(LPCWSTR app_user_model_id,
                      LPCWSTR arguments,
                      int options,
                      DWORD* process_id) = 0;
  virtual HRESULT STDMETHODCALLTYPE ActivateForFile(LPCWSTR app_user_model_id,
                                                    IUnknown* items,
                                                    LPCWSTR verb,
                                                    DWORD* process_id) = 0;
  virtual HRESULT STDMETHODCALLTYPE
  ActivateForProtocol(LPCWSTR app_user_model_id,
                      IUnknown* items,
                      DWORD* process_id) = 0;
};

namespace {

constexpr CLSID kClsidApplicationActivationManager = {
    0x45ba127d,
    0x10a8,
    0x46ea,
    {0x8a, 0xb7, 0x56, 0xea, 0x90, 0x78, 0x94, 0x3c}};
constexpr IID kIidApplicationActivationManager = {
    0x2e941141,
    0x7f97,
    0x4756,
    {0xba, 0x1d, 0x9d, 0xec, 0xde, 0x89, 0x4a, 0x3d}};
constexpr int kActivateOptionsNone = 0;

constexpr wchar_t kSettingsAppId[] =
    L"windows.immersivecontrolpanel_cw5n1h2txyewy"
    L"!microsoft.windows.immersivecontrolpanel";
constexpr wchar_t kDefaultAppsPage[] = L"page=SettingsPageAppsDefaults";

// OAIF_REGISTER_EXT | OAIF_FORCE_REGISTRATION | OAIF_URL_PROTOCOL.
constexpr int kOpenWithFlags = 0x4a;

HRESULT CallOpenWithDialog(HWND owner, const OPENASINFO* info) {
  return ::SHOpenWithDialog(owner, info);
}

void CallChangeNotify(LONG event,
                      UINT flags,
                      const void* item1,
                      const void* item2) {
  ::SHChangeNotify(event, flags, item1, item2);
}

class Win32ShellIntegrationPlatform : public ShellIntegrationPlatform {
 public:
  Win32ShellIntegrationPlatform(OpenWithDialog open_with_dialog,
                                ChangeNotify change_notify)
      : open_with_dialog_(std::move(open_with_dialog)),
        change_notify_(std::move(change_notify)) {}

  base::win::Version GetWindowsVersion() override {
    return base::win::GetVersion();
  }

  bool ShowOpenWithDialog(const std::wstring& association) override {
    OPENASINFO info = {};
    info.pcszFile = association.c_str();
    info.pcszClass = nullptr;
    info.oaifInFlags = kOpenWithFlags;
    HRESULT result = open_with_dialog_.Run(nullptr, &info);
    if (FAILED(result)) {
      VLOG(1) << "Open-with dialog for " << association << " failed: 0x"
              << std::hex << result;
      return false;
    }
    change_notify_.Run(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
    return true;
  }

  bool OpenDefaultAppsSettings(const std::wstring& target) override {
    Microsoft::WRL::ComPtr<ApplicationActivationManager> manager;
    HRESULT result =
        ::CoCreateInstance(kClsidApplicationActivationManager, nullptr,
                           CLSCTX_ALL, kIidApplicationActivationManager,
                           reinterpret_cast<void**>(manager.GetAddressOf()));
    if (FAILED(result)) {
      VLOG(1) << "No application activation manager: 0x" << std::hex << result;
      return false;
    }
    ::CoAllowSetForegroundWindow(manager.Get(), nullptr);
    DWORD process_id = 0;
    result = manager->ActivateApplication(kSettingsAppId, kDefaultAppsPage,
                                          kActivateOptionsNone, &process_id);
    if (SUCCEEDED(result)) {
      std::wstring arguments =
          std::wstring(kDefaultAppsPage) + L"&target=" + target;
      result = manager->ActivateApplication(kSettingsAppId, arguments.c_str(),
                                            kActivateOptionsNone, &process_id);
    }
    if (FAILED(result)) {
      VLOG(1) << "Cannot open the default apps settings: 0x" << std::hex
              << result;
    }
    return SUCCEEDED(result);
  }

 private:
  const OpenWithDialog open_with_dialog_;
  const ChangeNotify change_notify_;
};

}  // namespace

ShellIntegrationPlatform::~ShellIntegrationPlatform() = default;

// static
ShellIntegrationPlatform* ShellIntegrationPlatform::GetInstance() {
  if (ShellIntegrationPlatform* overridden =
          base::InstanceOverride<ShellIntegrationPlatform>::Get())
    return overridden;
  // Stateless and used from worker threads: never destroyed, so that no
  // at-exit order can pull it from under a running task.
  static ShellIntegrationPlatform* const instance =
      new Win32ShellIntegrationPlatform(
          base::BindRepeating(&CallOpenWithDialog),
          base::BindRepeating(&CallChangeNotify));
  return instance;
}

// static
std::unique_ptr<ShellIntegrationPlatform>
ShellIntegrationPlatform::CreateWin32ForTesting(OpenWithDialog open_with_dialog,
                                                ChangeNotify change_notify) {
  return std::make_unique<Win32ShellIntegrationPlatform>(
      std::move(open_with_dialog), std::move(change_notify));
}

}  // namespace installer
