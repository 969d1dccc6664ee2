// TrustVerifier over WinVerifyTrust and the system's chain engine.

#ifndef DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_WIN_TRUST_VERIFIER_H_
#define DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_WIN_TRUST_VERIFIER_H_

#include "desktop/windows/installer/package_fetcher/trust_verifier.h"

namespace installer {

class WinTrustVerifier : public TrustVerifier {
 public:
  WinTrustVerifier() = default;
  WinTrustVerifier(const WinTrustVerifier&) = delete;
  WinTrustVerifier& operator=(const WinTrustVerifier&) = delete;
  ~WinTrustVerifier() override = default;

  // The generic Authenticode policy, without a window or any user
  // interface and without revocation checks: the installer may run before
  // the network is usable, and a revocation server that cannot be reached
  // must not fail the install.
  LONG Verify(const base::FilePath& path) const override;
  // The current user's chain engine, also without revocation checks.
  LONG VerifyCertificateChain(PCCERT_CONTEXT certificate,
                              HCERTSTORE store) const override;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_WIN_TRUST_VERIFIER_H_
