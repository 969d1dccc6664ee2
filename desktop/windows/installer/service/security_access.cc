#include "desktop/windows/installer/service/security_access.h"

#include "base/lazy_instance_helpers.h"
#include "base/logging.h"
#include "desktop/windows/installer/service/win32_security_access.h"

namespace installer {

namespace {

base::LazySingleton<Win32SecurityAccess> g_win32_access;
SecurityAccess* g_access_for_testing = nullptr;

}  // namespace

SecurityAccess::~SecurityAccess() = default;

// static
SecurityAccess* SecurityAccess::GetInstance() {
  if (g_access_for_testing)
    return g_access_for_testing;
  return g_win32_access.Get();
}

SecurityAccess::ScopedOverrideForTesting::ScopedOverrideForTesting(
    SecurityAccess* access)
    : previous_(g_access_for_testing) {
  DCHECK(access);
  g_access_for_testing = access;
}

SecurityAccess::ScopedOverrideForTesting::~ScopedOverrideForTesting() {
  g_access_for_testing = previous_;
}

}  // namespace installer
