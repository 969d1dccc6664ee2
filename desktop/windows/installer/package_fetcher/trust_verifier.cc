#include "desktop/windows/installer/package_fetcher/trust_verifier.h"

#include "desktop/windows/installer/package_fetcher/win_trust_verifier.h"

namespace installer {

// static
const TrustVerifier& TrustVerifier::Get() {
  if (const TrustVerifier* overridden =
          base::InstanceOverride<const TrustVerifier>::Get()) {
    return *overridden;
  }
  // Stateless: no destructor has to run at exit.
  static const WinTrustVerifier* const verifier = new WinTrustVerifier();
  return *verifier;
}

}  // namespace installer
