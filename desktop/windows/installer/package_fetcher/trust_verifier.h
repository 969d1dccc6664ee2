// The system's verdicts on a file's Authenticode signature and on a signer's
// certificate chain, behind an interface: the verdicts that only a real
// Windows machine gives (an untrusted root, a revoked certificate) can
// then be tested too. Wine trusts every file signature and has no way to
// trust a test's own root.

#ifndef DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_TRUST_VERIFIER_H_
#define DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_TRUST_VERIFIER_H_

#include <windows.h>

#include <wincrypt.h>

#include "base/files/file_path.h"
#include "base/instance_override.h"

namespace installer {

class TrustVerifier {
 public:
  TrustVerifier(const TrustVerifier&) = delete;
  TrustVerifier& operator=(const TrustVerifier&) = delete;
  virtual ~TrustVerifier() = default;

  // The process's verifier: WinTrustVerifier, unless a test replaced it.
  static const TrustVerifier& Get();

  // ERROR_SUCCESS when the system trusts the signature of the file at
  // |path|; otherwise the status that says why not (TRUST_E_NOSIGNATURE,
  // TRUST_E_BAD_DIGEST, CERT_E_UNTRUSTEDROOT, ...), with the thread's last
  // error set as the system left it.
  virtual LONG Verify(const base::FilePath& path) const = 0;

  // ERROR_SUCCESS when |certificate| chains, through the certificates of
  // |store|, to a root that the machine trusts, and the chain passes the
  // Authenticode policy for code signing; otherwise the status that says
  // why not (CERT_E_UNTRUSTEDROOT, CERT_E_EXPIRED, CERT_E_WRONG_USAGE,
  // ...). It judges the certificates, not a file: signatures that the
  // system's file verdict does not cover (nested ones) need it.
  virtual LONG VerifyCertificateChain(PCCERT_CONTEXT certificate,
                                      HCERTSTORE store) const = 0;

  // Makes |verifier| the process's verifier until the object goes away.
  using ScopedOverrideForTesting =
      base::InstanceOverride<const TrustVerifier>::Scoped;

 protected:
  TrustVerifier() = default;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_TRUST_VERIFIER_H_
