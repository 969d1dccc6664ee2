#include "desktop/windows/installer/shell_integration_platform.h"

#include <windows.h>

#include <objbase.h>
#include <shlobj.h>
#include <wrl/client.h>

#include <memory>
#include <string>
#include <vector>

#include "base/bind.h"
#include "base/strings/string_number_conversions.h"
#include "base/test/scoped_log_capture.h"
#include "base/win/scoped_com_initializer.h"
#include "base/win/windows_version.h"
#include "desktop/windows/installer/test/fake_com_object.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

using Microsoft::WRL::ComPtr;
using test::FakeComObject;

// Windows' ids of the application activation manager and its interface,
// written out independently of the product's.
constexpr CLSID kClsidActivationManager = {
    0x45ba127d,
    0x10a8,
    0x46ea,
    {0x8a, 0xb7, 0x56, 0xea, 0x90, 0x78, 0x94, 0x3c}};
constexpr IID kIidActivationManager = {
    0x2e941141,
    0x7f97,
    0x4756,
    {0xba, 0x1d, 0x9d, 0xec, 0xde, 0x89, 0x4a, 0x3d}};

constexpr wchar_t kSettingsApp[] =
    L"windows.immersivecontrolpanel_cw5n1h2txyewy"
    L"!microsoft.windows.immersivecontrolpanel";

// IApplicationActivationManager as Windows declares it.
struct ActivationManagerInterface : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE ActivateApplication(LPCWSTR app_id,
                                                        LPCWSTR arguments,
                                                        int options,
                                                        DWORD* process_id) = 0;
  virtual HRESULT STDMETHODCALLTYPE ActivateForFile(LPCWSTR app_id,
                                                    IUnknown* items,
                                                    LPCWSTR verb,
                                                    DWORD* process_id) = 0;
  virtual HRESULT STDMETHODCALLTYPE ActivateForProtocol(LPCWSTR app_id,
                                                        IUnknown* items,
                                                        DWORD* process_id) = 0;
};

// Records each activation ("APP ARGUMENTS OPTIONS") and answers the one of
// index |failing| with E_FAIL.
class FakeActivationManager : public FakeComObject<ActivationManagerInterface> {
 public:
  FakeActivationManager(std::vector<std::wstring>* calls, int failing)
      : calls_(calls), failing_(failing) {}

  HRESULT STDMETHODCALLTYPE ActivateApplication(LPCWSTR app_id,
                                                LPCWSTR arguments,
                                                int options,
                                                DWORD* process_id) override {
    calls_->push_back(std::wstring(app_id) + L" " + arguments + L" " +
                      base::NumberToString16(options));
    if (static_cast<int>(calls_->size()) - 1 == failing_)
      return E_FAIL;
    *process_id = 1234;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE ActivateForFile(LPCWSTR,
                                            IUnknown*,
                                            LPCWSTR,
                                            DWORD*) override {
    calls_->push_back(L"unexpected ActivateForFile");
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE ActivateForProtocol(LPCWSTR,
                                                IUnknown*,
                                                DWORD*) override {
    calls_->push_back(L"unexpected ActivateForProtocol");
    return E_NOTIMPL;
  }

 protected:
  bool Answers(REFIID iid) override { return iid == kIidActivationManager; }

 private:
  std::vector<std::wstring>* const calls_;
  const int failing_;
};

// Makes FakeActivationManager objects.
class FakeActivationManagerFactory : public FakeComObject<IClassFactory> {
 public:
  explicit FakeActivationManagerFactory(std::vector<std::wstring>* calls)
      : calls_(calls) {}

  void set_failing(int failing) { failing_ = failing; }

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer,
                                           REFIID iid,
                                           void** object) override {
    *object = nullptr;
    if (outer)
      return CLASS_E_NOAGGREGATION;
    ComPtr<FakeActivationManager> manager(
        new FakeActivationManager(calls_, failing_));
    return manager->QueryInterface(iid, object);
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

 protected:
  bool Answers(REFIID iid) override { return iid == IID_IClassFactory; }

 private:
  std::vector<std::wstring>* const calls_;
  int failing_ = -1;
};

// The Win32 platform itself. Wine has neither the open-with dialog
// (SHOpenWithDialog answers E_NOTIMPL) nor the Settings app's activation
// manager (the class is not registered): the platform must report both as
// failures, with the reason, and go on. What a user answers in them is
// the fake platform's to play.
TEST(ShellIntegrationPlatformTest, DialogAndSettingsAppThatCannotRunFail) {
  base::win::ScopedCOMInitializer com;
  ASSERT_TRUE(com.Succeeded());
  ShellIntegrationPlatform* platform = ShellIntegrationPlatform::GetInstance();
  EXPECT_EQ(base::win::GetVersion(), platform->GetWindowsVersion());

  base::ScopedLogCapture log;
  EXPECT_FALSE(platform->ShowOpenWithDialog(L"kelvotestproto"));
  EXPECT_TRUE(
      log.Contains("Open-with dialog for kelvotestproto failed: 0x80004001"));
  EXPECT_FALSE(
      platform->OpenDefaultAppsSettings(L"SystemSettings_DefaultApps_Browser"));
  EXPECT_TRUE(log.Contains("No application activation manager: 0x80040154"));
}

// The dialog is asked to register the association's handler, protocols
// included, and only a dialog that did so tells the shell that the
// associations changed.
TEST(ShellIntegrationPlatformTest, OpenWithDialogRegistersTheHandler) {
  std::vector<std::wstring> calls;
  HRESULT dialog_result = S_OK;
  std::unique_ptr<ShellIntegrationPlatform> platform =
      ShellIntegrationPlatform::CreateWin32ForTesting(
          base::BindRepeating(
              [](std::vector<std::wstring>* calls, const HRESULT* result,
                 HWND owner, const OPENASINFO* info) {
                calls->push_back(
                    L"dialog " + std::wstring(info->pcszFile) + L" class " +
                    (info->pcszClass ? info->pcszClass : L"none") +
                    L" flags " +
                    base::NumberToString16(static_cast<int>(info->oaifInFlags)) +
                    (owner ? L" owned" : L""));
                return *result;
              },
              &calls, &dialog_result),
          base::BindRepeating(
              [](std::vector<std::wstring>* calls, LONG event, UINT flags,
                 const void* item1, const void* item2) {
                calls->push_back(
                    L"notify " + base::NumberToString16(event) + L" " +
                    base::NumberToString16(flags) +
                    (item1 || item2 ? L" with items" : L""));
              },
              &calls));

  EXPECT_TRUE(platform->ShowOpenWithDialog(L"http"));
  dialog_result = HRESULT_FROM_WIN32(ERROR_CANCELLED);
  EXPECT_FALSE(platform->ShowOpenWithDialog(L".htm"));

  // OAIF_REGISTER_EXT | OAIF_FORCE_REGISTRATION | OAIF_URL_PROTOCOL is 74;
  // SHCNE_ASSOCCHANGED with SHCNF_IDLIST.
  EXPECT_EQ((std::vector<std::wstring>{L"dialog http class none flags 74",
                                       L"notify 134217728 0",
                                       L"dialog .htm class none flags 74"}),
            calls);
}

// The Settings app opens at its default apps page, then at the target on
// it, each without activation options; a page that cannot be opened ends
// the attempt.
TEST(ShellIntegrationPlatformTest, SettingsAppOpensAtTheDefaultAppsTarget) {
  base::win::ScopedCOMInitializer com;
  ASSERT_TRUE(com.Succeeded());
  std::vector<std::wstring> calls;
  ComPtr<FakeActivationManagerFactory> factory(
      new FakeActivationManagerFactory(&calls));
  DWORD registration = 0;
  ASSERT_HRESULT_SUCCEEDED(::CoRegisterClassObject(
      kClsidActivationManager, factory.Get(), CLSCTX_INPROC_SERVER,
      REGCLS_MULTIPLEUSE, &registration));
  std::unique_ptr<ShellIntegrationPlatform> platform =
      ShellIntegrationPlatform::CreateWin32ForTesting(
          base::BindRepeating([](HWND, const OPENASINFO*) { return E_FAIL; }),
          base::BindRepeating([](LONG, UINT, const void*, const void*) {}));
  const std::wstring app = kSettingsApp;
  const std::wstring page = app + L" page=SettingsPageAppsDefaults";

  EXPECT_TRUE(
      platform->OpenDefaultAppsSettings(L"SystemSettings_DefaultApps_Browser"));
  EXPECT_EQ(
      (std::vector<std::wstring>{
          page + L" 0",
          page + L"&target=SystemSettings_DefaultApps_Browser 0"}),
      calls);

  for (int failing : {0, 1}) {
    SCOPED_TRACE(failing);
    calls.clear();
    factory->set_failing(failing);
    base::ScopedLogCapture log;
    EXPECT_FALSE(platform->OpenDefaultAppsSettings(L"Target"));
    EXPECT_EQ(static_cast<size_t>(failing + 1), calls.size());
    EXPECT_TRUE(
        log.Contains("Cannot open the default apps settings: 0x80004005"));
  }
  EXPECT_HRESULT_SUCCEEDED(::CoRevokeClassObject(registration));
}

}  // namespace
}  // namespace installer
