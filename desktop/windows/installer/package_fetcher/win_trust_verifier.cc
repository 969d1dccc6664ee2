#include "desktop/windows/installer/package_fetcher/win_trust_verifier.h"

#include <softpub.h>
#include <wintrust.h>

namespace installer {

LONG WinTrustVerifier::Verify(const base::FilePath& path) const {
  WINTRUST_FILE_INFO file_info = {};
  file_info.cbStruct = sizeof(file_info);
  file_info.pcwszFilePath = path.value().c_str();

  WINTRUST_DATA trust_data = {};
  trust_data.cbStruct = sizeof(trust_data);
  trust_data.dwUIChoice = WTD_UI_NONE;
  trust_data.fdwRevocationChecks = WTD_REVOKE_NONE;
  trust_data.dwUnionChoice = WTD_CHOICE_FILE;
  trust_data.pFile = &file_info;
  trust_data.dwStateAction = 0;
  trust_data.dwProvFlags = 0;

  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  return ::WinVerifyTrust(nullptr, &action, &trust_data);
}

}  // namespace installer
