#include "desktop/windows/installer/package_fetcher/signature_log.h"

namespace installer {

void SignatureLog::Write(std::string_view text) {
  if (collects_)
    text_.append(text);
}

}  // namespace installer
