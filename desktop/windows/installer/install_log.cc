#include "desktop/windows/installer/install_log.h"

namespace installer {

InstallLog::InstallLog() : last_band_check(base::Time::Now()) {}

InstallLog::InstallLog(const InstallLog& other) = default;

InstallLog::InstallLog(InstallLog&& other) noexcept = default;

InstallLog& InstallLog::operator=(const InstallLog& other) = default;

InstallLog& InstallLog::operator=(InstallLog&& other) noexcept = default;

InstallLog::~InstallLog() = default;

}  // namespace installer
