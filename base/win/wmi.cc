#include "base/win/wmi.h"

#include <windows.h>

#include <objbase.h>
#include <wbemcli.h>
#include <wrl/client.h>

#include "base/logging.h"
#include "base/win/scoped_bstr.h"
#include "base/win/scoped_variant.h"

namespace base {
namespace win {

namespace {

using Microsoft::WRL::ComPtr;

// Logs |what| with |result| when it failed.
bool Succeeded(HRESULT result, const char* what) {
  if (FAILED(result))
    LOG(ERROR) << "WMI: " << what << " failed: 0x" << std::hex << result;
  return SUCCEEDED(result);
}

bool ConnectToCimv2(ComPtr<IWbemServices>* services) {
  ComPtr<IWbemLocator> locator;
  if (!Succeeded(
          ::CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER,
                             IID_PPV_ARGS(&locator)),
          "creating the locator")) {
    return false;
  }
  ScopedBstr name(L"ROOT\\CIMV2");
  if (!Succeeded(locator->ConnectServer(name.Get(), nullptr, nullptr, nullptr,
                                        0, nullptr, nullptr, &*services),
                 "connecting to ROOT\\CIMV2")) {
    return false;
  }
  // The calls go out of process; they act as this user.
  return Succeeded(
      ::CoSetProxyBlanket(services->Get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE,
                          nullptr, RPC_C_AUTHN_LEVEL_CALL,
                          RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE),
      "setting the proxy blanket");
}

// The input of Win32_Process.Create with its CommandLine set.
bool MakeCreateParameters(IWbemServices* services,
                          const std::wstring& command_line,
                          ComPtr<IWbemClassObject>* parameters) {
  ComPtr<IWbemClassObject> process_class;
  ComPtr<IWbemClassObject> definition;
  ScopedBstr class_name(L"Win32_Process");
  if (!Succeeded(services->GetObject(class_name.Get(), 0, nullptr,
                                     &process_class, nullptr),
                 "getting Win32_Process") ||
      !Succeeded(process_class->GetMethod(L"Create", 0, &definition, nullptr),
                 "getting Create") ||
      !Succeeded(definition->SpawnInstance(0, &*parameters),
                 "making the parameters")) {
    return false;
  }
  ScopedVariant value(command_line.c_str());
  return Succeeded((*parameters)->Put(L"CommandLine", 0, value.AsInput(), 0),
                   "setting the command line");
}

// An integer property of |object|; false when it has none.
bool GetInt(IWbemClassObject* object, const wchar_t* name, int* value) {
  ScopedVariant variant;
  ScopedVariant number;
  if (FAILED(object->Get(name, 0, variant.Receive(), nullptr, nullptr)) ||
      FAILED(
          ::VariantChangeType(number.Receive(), variant.AsInput(), 0, VT_I4))) {
    return false;
  }
  *value = V_I4(number.ptr());
  return true;
}

}  // namespace

bool WmiLaunchProcess(const std::wstring& command_line, int* process_id) {
  ComPtr<IWbemServices> services;
  ComPtr<IWbemClassObject> parameters;
  if (!ConnectToCimv2(&services) ||
      !MakeCreateParameters(services.Get(), command_line, &parameters)) {
    return false;
  }
  ComPtr<IWbemClassObject> output;
  ScopedBstr class_name(L"Win32_Process");
  ScopedBstr method(L"Create");
  if (!Succeeded(
          services->ExecMethod(class_name.Get(), method.Get(), 0, nullptr,
                               parameters.Get(), &output, nullptr),
          "Win32_Process.Create")) {
    return false;
  }
  int return_value = -1;
  if (!output || !GetInt(output.Get(), L"ReturnValue", &return_value) ||
      return_value != 0) {
    LOG(ERROR) << "WMI: Win32_Process.Create returned " << return_value
               << " for " << command_line;
    return false;
  }
  int pid = 0;
  if (process_id && GetInt(output.Get(), L"ProcessId", &pid))
    *process_id = pid;
  return true;
}

}  // namespace win
}  // namespace base
