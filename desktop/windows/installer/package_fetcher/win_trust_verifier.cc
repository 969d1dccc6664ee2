#include "desktop/windows/installer/package_fetcher/win_trust_verifier.h"

#include <softpub.h>
#include <wintrust.h>

#include <memory>

namespace installer {

namespace {

struct CertChainFreer {
  void operator()(PCCERT_CHAIN_CONTEXT chain) const {
    ::CertFreeCertificateChain(chain);
  }
};

}  // namespace

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

LONG WinTrustVerifier::VerifyCertificateChain(PCCERT_CONTEXT certificate,
                                              HCERTSTORE store) const {
  LPSTR code_signing[] = {const_cast<LPSTR>(szOID_PKIX_KP_CODE_SIGNING)};
  CERT_CHAIN_PARA parameters = {};
  parameters.cbSize = sizeof(parameters);
  parameters.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
  parameters.RequestedUsage.Usage.cUsageIdentifier = 1;
  parameters.RequestedUsage.Usage.rgpszUsageIdentifier = code_signing;
  PCCERT_CHAIN_CONTEXT chain_context = nullptr;
  if (!::CertGetCertificateChain(nullptr, certificate, nullptr, store,
                                 &parameters, 0, nullptr, &chain_context)) {
    return static_cast<LONG>(HRESULT_FROM_WIN32(::GetLastError()));
  }
  std::unique_ptr<const CERT_CHAIN_CONTEXT, CertChainFreer> chain(
      chain_context);
  CERT_CHAIN_POLICY_PARA policy = {};
  policy.cbSize = sizeof(policy);
  CERT_CHAIN_POLICY_STATUS status = {};
  status.cbSize = sizeof(status);
  if (!::CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_AUTHENTICODE,
                                          chain.get(), &policy, &status)) {
    return static_cast<LONG>(HRESULT_FROM_WIN32(::GetLastError()));
  }
  return static_cast<LONG>(status.dwError);
}

}  // namespace installer
