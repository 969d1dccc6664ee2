// What the installer checks before it runs a file it did not build itself:
// whether the file is a PE image carrying a certificate table, and whether
// its Authenticode signature is trusted and made by the branding's
// expected signer.
//
//   bool signed_itself = false;
//   if (IsPEFile(own_exe, &signed_itself) && signed_itself) {
//     std::string error;
//     if (!VerifyFileSignature(package, &error))
//       ReportFailure(error);
//   }

#ifndef DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_SIGNATURE_CHECKER_H_
#define DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_SIGNATURE_CHECKER_H_

#include <windows.h>

#include <wincrypt.h>

#include <string>

#include "base/files/file_path.h"

namespace installer {

class AuthenticodeDigests;
class SignatureLog;

// Signatures nested deeper than this are not searched: real files nest
// once, and a crafted file must not exhaust the stack.
constexpr int kMaxNestedSignatureLevel = 8;

// Whether the file at |path| starts with "MZ" and the 32-bit offset at 0x3C
// leads to the signature "PE\0\0". Then |*has_certificate_table| (required)
// tells whether the image's security directory entry has a non-zero size,
// read at the place the optional header's magic gives (PE32 or PE32+); a
// header cut short by the end of the file counts as no table. A missing,
// empty or unmappable file gives false with |*has_certificate_table| left
// alone. Nothing outside the file is ever read.
bool IsPEFile(const base::FilePath& path, bool* has_certificate_table);

// Whether the system trusts the Authenticode signature of the file at |path|
// (through TrustVerifier) and one of its signers, or of the signatures
// nested in theirs, has the branding's "expected_signer" as its simple
// display name, compared exactly. Any signer but the file's own first one,
// which the system's verdict covers, counts only when it signs this very
// file: its signed digest is the file's Authenticode digest, its signature
// verifies and its certificate chains to a trusted root. With |error|, every
// reason for a failure is appended to it, together with the signers tried and
// their trust chains; the signers are searched even when the system's verdict
// already failed, so that the report is complete. Without |error|, a failed
// verdict ends the check at once.
bool VerifyFileSignature(const base::FilePath& path, std::string* error);

// The search of VerifyFileSignature over the signers of |message|, whose
// certificates are in |store|, at nesting |level| (0 for the file's own
// signature); |digests| are those of the file. Every line written to |log|
// starts with "Level <level>: ".
bool FindViableSigner(HCERTSTORE store,
                      HCRYPTMSG message,
                      DWORD encoding,
                      AuthenticodeDigests* digests,
                      SignatureLog* log,
                      int level);

// Writes to |log| the chain that the system builds for |certificate| with
// |store| as additional store: "Chain trust status: <status>", then for
// every element "Chain <index> element: <name> <SHA-1 in upper-case hex>".
void LogCertificateChain(PCCERT_CONTEXT certificate,
                         HCERTSTORE store,
                         SignatureLog* log);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_SIGNATURE_CHECKER_H_
