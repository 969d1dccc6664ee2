#include "desktop/windows/installer/service/security_access.h"

#include "base/lazy_instance_helpers.h"
#include "desktop/windows/installer/service/win32_security_access.h"

namespace installer {

namespace {

base::LazySingleton<Win32SecurityAccess> g_win32_access;

}  // namespace

SecurityAccess::~SecurityAccess() = default;

// static
SecurityAccess* SecurityAccess::GetInstance() {
  if (SecurityAccess* overridden =
          base::InstanceOverride<SecurityAccess>::Get())
    return overridden;
  return g_win32_access.Get();
}

}  // namespace installer
