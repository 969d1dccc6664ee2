#include "desktop/windows/installer/package_fetcher/package_fetcher_observer.h"

namespace installer {

std::string FetcherStatusToString(int status) {
  switch (status) {
    case FETCHER_STATUS_PACKAGE_READY:
      return "package_ready";
    case FETCHER_STATUS_INITIALIZATION_FAILED:
      return "initialization_failed";
    case FETCHER_STATUS_DOWNLOAD_FAILED:
      return "download_failed";
    case FETCHER_STATUS_UNPACKING_FAILED:
      return "unpacking_failed";
    default:
      return "invalid";
  }
}

}  // namespace installer
