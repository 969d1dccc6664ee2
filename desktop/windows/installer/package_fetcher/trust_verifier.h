// The system's verdict on a file's Authenticode signature, behind an
// interface: the verdicts that only a real Windows machine gives (an
// untrusted root, a revoked certificate) can then be tested too.

#ifndef DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_TRUST_VERIFIER_H_
#define DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_TRUST_VERIFIER_H_

#include <windows.h>

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

  // Makes |verifier| the process's verifier until the object goes away.
  using ScopedOverrideForTesting =
      base::InstanceOverride<const TrustVerifier>::Scoped;

 protected:
  TrustVerifier() = default;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_TRUST_VERIFIER_H_
