#include "desktop/windows/installer/package_fetcher/signature_checker.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "base/base_paths.h"
#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/path_service.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/string_util.h"
#include "desktop/windows/installer/package_fetcher/trust_verifier.h"
#include "desktop/windows/installer/package_fetcher/win_trust_verifier.h"
#include "desktop/windows/installer/product/branding_config.h"
#include "desktop/windows/installer/test/test_util.h"
#include "gmock/gmock.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

using testing::HasSubstr;
using testing::Not;
using testing::StartsWith;

// The files that make_signed_files.sh signs at build time.
base::FilePath TestFile(const char* name) {
  base::FilePath dir;
  base::PathService::Get(base::DIR_EXE, &dir);
  return dir.AppendASCII("signature_test_files").AppendASCII(name);
}

std::string Fingerprint(const char* name) {
  std::string text;
  base::ReadFileToString(TestFile(name), &text);
  return std::string(base::TrimWhitespaceASCII(text, base::TRIM_ALL));
}

// Checks |name| without and with a report, which must agree.
bool Verify(const char* name, std::string* report) {
  const bool quiet = VerifyFileSignature(TestFile(name), nullptr);
  report->clear();
  EXPECT_EQ(quiet, VerifyFileSignature(TestFile(name), report)) << name;
  return quiet;
}

TEST(VerifyFileSignatureTest, ExpectedSignerPassesWithItsChainReported) {
  std::string report;
  EXPECT_TRUE(Verify("expected.exe", &report));
  EXPECT_THAT(report, HasSubstr("Chain 0 element: Kelvo Software AS " +
                                Fingerprint("expected.sha1") + "\n"));
  EXPECT_THAT(report, HasSubstr("Chain 1 element: Kelvo Test Root " +
                                Fingerprint("root.sha1") + "\n"));
  EXPECT_THAT(report, Not(HasSubstr("Tried signer")));
}

TEST(VerifyFileSignatureTest, UnsignedAndTamperedFilesFail) {
  std::string report;
  EXPECT_FALSE(Verify("unsigned.exe", &report));
  // TRUST_E_NOSIGNATURE, then no signature to search.
  EXPECT_THAT(report, StartsWith("Cannot WinVerifyTrust: -2146762496, "));
  EXPECT_THAT(report, HasSubstr("\nCannot CryptQueryObject: "));

  // TRUST_E_BAD_DIGEST; the signer is still searched, and found.
  EXPECT_FALSE(Verify("tampered.exe", &report));
  EXPECT_THAT(report, StartsWith("Cannot WinVerifyTrust: -2146869232, "));
  EXPECT_THAT(report, HasSubstr("Chain 0 element: Kelvo Software AS "));
  EXPECT_THAT(report, Not(HasSubstr("Cannot find any viable signers")));
}

// A verdict that only a real Windows machine gives.
class UntrustedRootVerifier : public TrustVerifier {
 public:
  LONG Verify(const base::FilePath& path) const override {
    ++calls;
    return CERT_E_UNTRUSTEDROOT;
  }
  LONG VerifyCertificateChain(PCCERT_CONTEXT certificate,
                              HCERTSTORE store) const override {
    return CERT_E_UNTRUSTEDROOT;
  }
  mutable int calls = 0;
};

TEST(VerifyFileSignatureTest, SystemVerdictOverridesTheSigner) {
  UntrustedRootVerifier verifier;
  TrustVerifier::ScopedOverrideForTesting override_verifier(&verifier);
  std::string report;
  EXPECT_FALSE(Verify("expected.exe", &report));
  EXPECT_EQ(2, verifier.calls);
  EXPECT_THAT(report, StartsWith("Cannot WinVerifyTrust: -2146762487, "));
  EXPECT_THAT(report, HasSubstr("Chain 0 element: Kelvo Software AS "));
}

TEST(VerifyFileSignatureTest, ExpectedSignerIsTheBrandingsExactly) {
  std::string report;
  BrandingConfig::ScopedOverrideForTesting branding(
      R"({"expected_signer": "Other Company AS"})");
  EXPECT_TRUE(Verify("other.exe", &report));
  EXPECT_FALSE(Verify("expected.exe", &report));
  BrandingConfig::ScopedOverrideForTesting other_case(
      R"({"expected_signer": "kelvo software as"})");
  EXPECT_FALSE(Verify("expected.exe", &report));
}

// The machine's verdicts, except that it trusts the tests' root as well:
// Wine can trust no root but the host's. The chains are still built and
// judged by the system; only an untrusted test root passes.
class TestRootTrustVerifier : public TrustVerifier {
 public:
  LONG Verify(const base::FilePath& path) const override {
    return system_.Verify(path);
  }
  LONG VerifyCertificateChain(PCCERT_CONTEXT certificate,
                              HCERTSTORE store) const override {
    const LONG verdict = system_.VerifyCertificateChain(certificate, store);
    return verdict == CERT_E_UNTRUSTEDROOT &&
                   GetRootSha1(certificate, store) == Fingerprint("root.sha1")
               ? ERROR_SUCCESS
               : verdict;
  }

 private:
  static std::string GetRootSha1(PCCERT_CONTEXT certificate, HCERTSTORE store) {
    CERT_CHAIN_PARA parameters = {};
    parameters.cbSize = sizeof(parameters);
    PCCERT_CHAIN_CONTEXT chain = nullptr;
    if (!::CertGetCertificateChain(nullptr, certificate, nullptr, store,
                                   &parameters, 0, nullptr, &chain)) {
      return std::string();
    }
    const CERT_SIMPLE_CHAIN* simple = chain->rgpChain[0];
    PCCERT_CONTEXT root =
        simple->rgpElement[simple->cElement - 1]->pCertContext;
    uint8_t hash[20];
    DWORD size = sizeof(hash);
    std::string hex;
    if (::CertGetCertificateContextProperty(root, CERT_SHA1_HASH_PROP_ID, hash,
                                            &size)) {
      hex = base::HexEncode(hash, size);
    }
    ::CertFreeCertificateChain(chain);
    return hex;
  }

  WinTrustVerifier system_;
};

class NestedSignatureTest : public testing::Test {
 protected:
  TestRootTrustVerifier verifier_;
  TrustVerifier::ScopedOverrideForTesting trust_test_root_{&verifier_};
};

TEST_F(NestedSignatureTest, OtherSignersFailUnlessTheExpectedOneIsNested) {
  std::string report;
  EXPECT_FALSE(Verify("other.exe", &report));
  EXPECT_THAT(report, HasSubstr("Level 0: Tried signer Other Company AS\n"
                                "Level 0: Cannot find any viable signers\n"));

  EXPECT_TRUE(Verify("nested_expected.exe", &report));
  EXPECT_THAT(report, HasSubstr("Level 0: Tried signer Other Company AS\n"
                                "Level 1: Trust chain:\n"));
  EXPECT_THAT(report, Not(HasSubstr("Level 1: Tried signer")));

  EXPECT_FALSE(Verify("nested_other.exe", &report));
  EXPECT_THAT(report, HasSubstr("Level 1: Cannot find any viable signers\n"
                                "Level 0: Cannot find any viable signers\n"));
}

// The expected signer's name in a nested signature proves nothing by
// itself: the signature must be of this file and its certificate trusted.
TEST_F(NestedSignatureTest, NestedSignerMustSignThisFileWithATrustedChain) {
  std::string report;
  // Named right, on a certificate that only vouches for itself.
  EXPECT_FALSE(Verify("nested_self_signed.exe", &report));
  EXPECT_THAT(
      report,
      HasSubstr("Level 1: The signer's certificate is not trusted: " +
                base::NumberToString(static_cast<LONG>(CERT_E_UNTRUSTEDROOT)) +
                "\nLevel 1: Tried signer Kelvo Software AS\n"));
  EXPECT_THAT(report, HasSubstr("Level 0: Cannot find any viable signers\n"));

  // A genuine signature of the expected signer, made for another file.
  EXPECT_FALSE(Verify("nested_foreign.exe", &report));
  EXPECT_THAT(report, HasSubstr("Level 1: The signature is of another file\n"
                                "Level 1: Tried signer Kelvo Software AS\n"));
  EXPECT_THAT(report, HasSubstr("Level 0: Cannot find any viable signers\n"));

  // The same, with this file's digest written over the other file's: the
  // signed attributes still hold the digest of what was signed.
  EXPECT_FALSE(Verify("nested_swapped.exe", &report));
  EXPECT_THAT(report,
              HasSubstr("Level 1: The signature does not cover its content\n"
                        "Level 1: Tried signer Kelvo Software AS\n"));
}

// Without a root of its own the machine trusts no test chain: the
// system's chain engine judges nested signers, not the file's verdict,
// which Wine gives to every signed file.
TEST(VerifyFileSignatureTest, NestedSignerNeedsTheMachinesTrust) {
  std::string report;
  EXPECT_FALSE(Verify("nested_expected.exe", &report));
  EXPECT_THAT(report, Not(HasSubstr("Cannot WinVerifyTrust")));
  EXPECT_THAT(
      report,
      HasSubstr("Level 1: The signer's certificate is not trusted: " +
                base::NumberToString(static_cast<LONG>(CERT_E_UNTRUSTEDROOT)) +
                "\n"));
  // The file's own first signer is the system's to judge.
  EXPECT_TRUE(Verify("expected.exe", &report));
}

class IsPEFileTest : public testing::Test {
 protected:
  static constexpr uint32_t kPe = 0x80;

  void SetUp() override { ASSERT_TRUE(temp_dir_.CreateUniqueTempDir()); }

  // Writes |data| to a file and checks it; |*table| starts out as the
  // opposite of |expected_table|, so that a check that leaves it alone
  // shows.
  bool Check(const std::string& data, bool expected_table) {
    const base::FilePath path = temp_dir_.GetPath().AppendASCII("image");
    test::WriteTextFile(path, data);
    bool table = !expected_table;
    const bool is_pe = IsPEFile(path, &table);
    EXPECT_EQ(is_pe ? expected_table : !expected_table, table);
    return is_pe;
  }

  // Headers with "PE\0\0" at kPe, optional header |magic| and 16 data
  // directories.
  static std::string Headers(uint16_t magic) {
    std::string data(0x400, '\0');
    data.replace(0, 2, "MZ");
    Put(&data, 0x3C, kPe);
    data.replace(kPe, 4, std::string("PE\0\0", 4));
    memcpy(&data[kPe + 24], &magic, 2);
    Put(&data, kPe + (magic == 0x10b ? 24 + 92 : 24 + 108), 16);
    return data;
  }

  static void Put(std::string* data, size_t offset, uint32_t value) {
    memcpy(&(*data)[offset], &value, sizeof(value));
  }

  base::ScopedTempDir temp_dir_;
};

TEST_F(IsPEFileTest, TruncatedHeadersAreNeverReadPastTheFile) {
  EXPECT_FALSE(Check("MZ is how this text begins.\r\n", false));
  EXPECT_FALSE(Check(std::string("MZ\x90\0\x03\0\0\0\x04\0", 10), false));
  std::string beyond = Headers(0x20b);
  Put(&beyond, 0x3C, 0xFFFFFFFE);
  EXPECT_FALSE(Check(beyond, false));

  // Only the signature fits; the file ends at a page boundary, so a read
  // past it would fault.
  std::string cut(4096, '\0');
  cut.replace(0, 2, "MZ");
  Put(&cut, 0x3C, 4096 - 4);
  cut.replace(4096 - 4, 4, std::string("PE\0\0", 4));
  EXPECT_TRUE(Check(cut, false));

  // The size field ends the file: read. One byte short of it: no table.
  std::string exact = Headers(0x20b);
  Put(&exact, kPe + 0xAC, 0x1234);
  exact.resize(kPe + 0xAC + 4);
  EXPECT_TRUE(Check(exact, true));
  exact.pop_back();
  EXPECT_TRUE(Check(exact, false));
}

TEST_F(IsPEFileTest, SecurityDirectoryFollowsTheOptionalHeaderLayout) {
  std::string pe32plus = Headers(0x20b);
  Put(&pe32plus, kPe + 0xAC, 0x2000);
  EXPECT_TRUE(Check(pe32plus, true));

  // In a PE32 image the entry is 16 bytes earlier; 0xAC is the debug
  // directory's size there.
  std::string pe32 = Headers(0x10b);
  Put(&pe32, kPe + 0x9C, 0x2000);
  EXPECT_TRUE(Check(pe32, true));
  std::string pe32_debug = Headers(0x10b);
  Put(&pe32_debug, kPe + 0xAC, 0x1c);
  EXPECT_TRUE(Check(pe32_debug, false));

  // Four data directories: there is no security entry to read.
  Put(&pe32plus, kPe + 24 + 108, 4);
  EXPECT_TRUE(Check(pe32plus, false));
}

}  // namespace
}  // namespace installer
