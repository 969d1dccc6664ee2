#include "desktop/windows/installer/package_fetcher/package_folder_security.h"

#include <sddl.h>

#include "base/logging.h"

namespace installer {

namespace {

// Protected, so that nothing is inherited from the user's temporary
// folder: administrators and the system have full control, users read
// and run; each inherited by every folder and file below.
constexpr wchar_t kAdminsOnlySddl[] =
    L"D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)";

}  // namespace

ScopedSecurityDescriptor MakePackageFolderSecurity() {
  if (!SecurityAccess::GetInstance()->IsUserAdmin(false))
    return ScopedSecurityDescriptor();
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(
          kAdminsOnlySddl, SDDL_REVISION_1, &descriptor, nullptr)) {
    PLOG(ERROR) << "Cannot build the security of the package folder";
    return ScopedSecurityDescriptor();
  }
  return ScopedSecurityDescriptor(descriptor);
}

}  // namespace installer
