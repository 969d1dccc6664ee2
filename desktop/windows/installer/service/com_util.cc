#include "desktop/windows/installer/service/com_util.h"

#include "base/logging.h"

namespace installer {

std::string HResultText(HRESULT hr) {
  return logging::SystemErrorCodeToString(static_cast<DWORD>(hr));
}

}  // namespace installer
