// Helpers for the installer's calls on the COM objects of Windows'
// services (Task Scheduler, firewall) and of MSXML.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_COM_UTIL_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_COM_UTIL_H_

#include <windows.h>

#include <wrl/client.h>

#include <string>

namespace installer {

// The system's text for |hr|, for log lines.
std::string HResultText(HRESULT hr);

// Queries |object| for the interface |iid| into |result|, which lets go of
// what it held first. For interfaces whose ids the headers leave out, so
// that IID_PPV_ARGS cannot name them.
template <typename Interface>
HRESULT QueryFor(IUnknown* object,
                 REFIID iid,
                 Microsoft::WRL::ComPtr<Interface>& result) {
  return object->QueryInterface(
      iid, reinterpret_cast<void**>(result.ReleaseAndGetAddressOf()));
}

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_COM_UTIL_H_
