#include "desktop/windows/installer/package_fetcher/trust_verifier.h"

#include "base/logging.h"
#include "desktop/windows/installer/package_fetcher/win_trust_verifier.h"

namespace installer {

namespace {

// Set only by tests, on the main thread, around the calls they make.
const TrustVerifier* g_override = nullptr;

}  // namespace

// static
const TrustVerifier& TrustVerifier::Get() {
  if (g_override)
    return *g_override;
  // Stateless: no destructor has to run at exit.
  static const WinTrustVerifier* const verifier = new WinTrustVerifier();
  return *verifier;
}

TrustVerifier::ScopedOverrideForTesting::ScopedOverrideForTesting(
    const TrustVerifier* verifier)
    : previous_(g_override) {
  DCHECK(verifier);
  g_override = verifier;
}

TrustVerifier::ScopedOverrideForTesting::~ScopedOverrideForTesting() {
  g_override = previous_;
}

}  // namespace installer
