#include "desktop/windows/installer/package_fetcher/signature_checker.h"

#include <wintrust.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "base/files/memory_mapped_file.h"
#include "base/logging.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/stringprintf.h"
#include "base/strings/utf_string_conversions.h"
#include "base/win/pe_image.h"
#include "desktop/windows/installer/package_fetcher/authenticode_digest.h"
#include "desktop/windows/installer/package_fetcher/signature_log.h"
#include "desktop/windows/installer/package_fetcher/trust_verifier.h"
#include "desktop/windows/installer/product/branding_config.h"

namespace installer {

namespace {

constexpr char kNestedSignatureOid[] = "1.3.6.1.4.1.311.2.4.1";
constexpr DWORD kMessageEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;

struct CertStoreCloser {
  void operator()(HCERTSTORE store) const { ::CertCloseStore(store, 0); }
};
using ScopedCertStore = std::unique_ptr<void, CertStoreCloser>;

struct CryptMsgCloser {
  void operator()(HCRYPTMSG message) const { ::CryptMsgClose(message); }
};
using ScopedCryptMsg = std::unique_ptr<void, CryptMsgCloser>;

struct CertContextFreer {
  void operator()(PCCERT_CONTEXT context) const {
    ::CertFreeCertificateContext(context);
  }
};
using ScopedCertContext = std::unique_ptr<const CERT_CONTEXT, CertContextFreer>;

struct CertChainFreer {
  void operator()(PCCERT_CHAIN_CONTEXT chain) const {
    ::CertFreeCertificateChain(chain);
  }
};
using ScopedCertChain =
    std::unique_ptr<const CERT_CHAIN_CONTEXT, CertChainFreer>;

// A PKCS#7 signed message and the store of the certificates it carries.
struct SignedMessage {
  DWORD encoding = 0;
  ScopedCertStore store;
  ScopedCryptMsg message;
};

// Opens |object| (a file name or a CERT_BLOB, after |object_type|) as a
// signed message of the |content_flags| kinds.
bool QuerySignedMessage(DWORD object_type,
                        const void* object,
                        DWORD content_flags,
                        SignedMessage* signed_message) {
  HCERTSTORE store = nullptr;
  HCRYPTMSG message = nullptr;
  if (!::CryptQueryObject(object_type, object, content_flags,
                          CERT_QUERY_FORMAT_FLAG_BINARY, 0,
                          &signed_message->encoding, nullptr, nullptr, &store,
                          &message, nullptr)) {
    return false;
  }
  signed_message->store.reset(store);
  signed_message->message.reset(message);
  return true;
}

std::string LastErrorText() {
  return logging::SystemErrorCodeToString(logging::GetLastSystemErrorCode());
}

// The certificate's simple display name; empty when it has none.
std::wstring GetDisplayName(PCCERT_CONTEXT certificate) {
  DWORD length = ::CertGetNameStringW(
      certificate, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, nullptr, 0);
  if (length <= 1)
    return std::wstring();
  std::wstring name(length, L'\0');
  length = ::CertGetNameStringW(certificate, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0,
                                nullptr, name.data(), length);
  name.resize(length ? length - 1 : 0);
  return name;
}

std::string GetSha1Hex(PCCERT_CONTEXT certificate) {
  uint8_t hash[20];
  DWORD size = sizeof(hash);
  if (!::CryptHashCertificate(0, CALG_SHA1, 0, certificate->pbCertEncoded,
                              certificate->cbCertEncoded, hash, &size)) {
    return std::string();
  }
  return base::HexEncode(hash, size);
}

// Reads the signer information at |index|; logs and gives null on failure.
std::unique_ptr<std::vector<uint8_t>> GetSignerInfo(HCRYPTMSG message,
                                                    DWORD index,
                                                    SignatureLog* log,
                                                    const std::string& prefix) {
  DWORD size = 0;
  if (!::CryptMsgGetParam(message, CMSG_SIGNER_INFO_PARAM, index, nullptr,
                          &size)) {
    log->Write(prefix + "Cannot get signer size\n");
    return nullptr;
  }
  auto buffer = std::make_unique<std::vector<uint8_t>>(size);
  if (!::CryptMsgGetParam(message, CMSG_SIGNER_INFO_PARAM, index,
                          buffer->data(), &size)) {
    log->Write(prefix + "Cannot get signer info\n");
    return nullptr;
  }
  return buffer;
}

// The signer's simple display name into |*name|; logs and gives false when
// it cannot be read.
bool GetSignerName(PCCERT_CONTEXT certificate,
                   SignatureLog* log,
                   const std::string& prefix,
                   std::wstring* name) {
  DWORD length = ::CertGetNameStringW(
      certificate, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, nullptr, 0);
  if (length == 0) {
    log->Write(prefix + "Cert signer name has 0 size\n");
    return false;
  }
  name->assign(length, L'\0');
  if (::CertGetNameStringW(certificate, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0,
                           nullptr, name->data(), length) != length) {
    log->Write(prefix + "Cannot get signer name\n");
    return false;
  }
  name->resize(length - 1);
  return true;
}

// Searches the signatures nested in |signer|'s unauthenticated attributes.
bool FindViableNestedSigner(const CMSG_SIGNER_INFO& signer,
                            AuthenticodeDigests* digests,
                            SignatureLog* log,
                            int level) {
  for (DWORD i = 0; i < signer.UnauthAttrs.cAttr; ++i) {
    const CRYPT_ATTRIBUTE& attribute = signer.UnauthAttrs.rgAttr[i];
    if (!attribute.pszObjId || attribute.cValue == 0 ||
        strcmp(attribute.pszObjId, kNestedSignatureOid) != 0) {
      continue;
    }
    if (level >= kMaxNestedSignatureLevel) {
      log->Write(base::StringPrintf(
          "Level %d: Nested signatures too deep to follow\n", level));
      return false;
    }
    SignedMessage nested;
    if (QuerySignedMessage(CERT_QUERY_OBJECT_BLOB, &attribute.rgValue[0],
                           CERT_QUERY_CONTENT_FLAG_PKCS7_SIGNED, &nested) &&
        FindViableSigner(nested.store.get(), nested.message.get(),
                         nested.encoding, digests, log, level + 1)) {
      return true;
    }
  }
  return false;
}

// The content of |message|: what its signers sign.
bool GetContent(HCRYPTMSG message, std::vector<uint8_t>* content) {
  DWORD size = 0;
  if (!::CryptMsgGetParam(message, CMSG_CONTENT_PARAM, 0, nullptr, &size))
    return false;
  content->resize(size);
  if (!::CryptMsgGetParam(message, CMSG_CONTENT_PARAM, 0, content->data(),
                          &size)) {
    return false;
  }
  content->resize(size);
  return true;
}

// The length of the DER tag and length that start |content|; 0 when they
// do not fit in it.
size_t GetDerHeaderSize(const std::vector<uint8_t>& content) {
  if (content.size() < 2)
    return 0;
  if (content[1] < 0x80)
    return 2;
  const size_t length_bytes = content[1] & 0x7f;
  return length_bytes >= 1 && length_bytes <= 4 &&
                 content.size() >= 2 + length_bytes
             ? 2 + length_bytes
             : 0;
}

// Whether the message digest among |signer|'s signed attributes is the
// digest of |content|: what the signature verifies are the attributes,
// and only they tie it to the content. The digest covers the content's
// value, without its own DER header.
bool SignedAttributesCoverContent(const CMSG_SIGNER_INFO& signer,
                                  const std::vector<uint8_t>& content) {
  const CRYPT_ATTRIBUTE* digest_attribute = nullptr;
  for (DWORD i = 0; i < signer.AuthAttrs.cAttr; ++i) {
    const CRYPT_ATTRIBUTE& attribute = signer.AuthAttrs.rgAttr[i];
    if (attribute.pszObjId && attribute.cValue == 1 &&
        strcmp(attribute.pszObjId, szOID_PKCS_9_MESSAGE_DIGEST) == 0) {
      digest_attribute = &attribute;
    }
  }
  const char* oid = signer.HashAlgorithm.pszObjId;
  const size_t header = GetDerHeaderSize(content);
  if (!digest_attribute || !oid || header == 0)
    return false;
  const CRYPT_ATTR_BLOB& value = digest_attribute->rgValue[0];
  DWORD size = 0;
  if (!::CryptDecodeObject(kMessageEncoding, X509_OCTET_STRING, value.pbData,
                           value.cbData, 0, nullptr, &size)) {
    return false;
  }
  std::vector<uint8_t> buffer(size);
  if (!::CryptDecodeObject(kMessageEncoding, X509_OCTET_STRING, value.pbData,
                           value.cbData, 0, buffer.data(), &size)) {
    return false;
  }
  const auto* signed_digest =
      reinterpret_cast<const CRYPT_DATA_BLOB*>(buffer.data());
  const std::string digest = ComputeDigest(
      content.data() + header, content.size() - header, ::CertOIDToAlgId(oid));
  return !digest.empty() && digest.size() == signed_digest->cbData &&
         memcmp(digest.data(), signed_digest->pbData, digest.size()) == 0;
}

// |content| decoded as Authenticode's indirect data: the file digest that
// the signature signs. Null when it is something else.
std::unique_ptr<std::vector<uint8_t>> DecodeIndirectData(
    const std::vector<uint8_t>& content) {
  DWORD size = 0;
  if (!::CryptDecodeObject(kMessageEncoding, SPC_INDIRECT_DATA_CONTENT_STRUCT,
                           content.data(), static_cast<DWORD>(content.size()),
                           0, nullptr, &size)) {
    return nullptr;
  }
  auto decoded = std::make_unique<std::vector<uint8_t>>(size);
  if (!::CryptDecodeObject(kMessageEncoding, SPC_INDIRECT_DATA_CONTENT_STRUCT,
                           content.data(), static_cast<DWORD>(content.size()),
                           0, decoded->data(), &size)) {
    return nullptr;
  }
  return decoded;
}

// Whether the signer |signer| of |message| signs the file's own digest.
bool SignsThisFile(HCRYPTMSG message,
                   const CMSG_SIGNER_INFO& signer,
                   AuthenticodeDigests* digests,
                   SignatureLog* log,
                   const std::string& prefix) {
  char type[64] = {};
  DWORD type_size = sizeof(type) - 1;
  std::vector<uint8_t> content;
  if (!::CryptMsgGetParam(message, CMSG_INNER_CONTENT_TYPE_PARAM, 0, type,
                          &type_size) ||
      strcmp(type, SPC_INDIRECT_DATA_OBJID) != 0 ||
      !GetContent(message, &content)) {
    log->Write(prefix + "The signature holds no file digest\n");
    return false;
  }
  if (!SignedAttributesCoverContent(signer, content)) {
    log->Write(prefix + "The signature does not cover its content\n");
    return false;
  }
  std::unique_ptr<std::vector<uint8_t>> buffer = DecodeIndirectData(content);
  if (!buffer) {
    log->Write(prefix + "Cannot decode the signed content\n");
    return false;
  }
  const auto* indirect =
      reinterpret_cast<const SPC_INDIRECT_DATA_CONTENT*>(buffer->data());
  const char* oid = indirect->DigestAlgorithm.pszObjId;
  const std::string& file_digest =
      digests->Get(oid ? ::CertOIDToAlgId(oid) : 0);
  if (file_digest.empty()) {
    log->Write(prefix + "Cannot compute the file's digest with " +
               (oid ? oid : "no algorithm") + "\n");
    return false;
  }
  const CRYPT_HASH_BLOB& signed_digest = indirect->Digest;
  if (file_digest.size() != signed_digest.cbData ||
      memcmp(file_digest.data(), signed_digest.pbData, signed_digest.cbData) !=
          0) {
    log->Write(prefix + "The signature is of another file\n");
    return false;
  }
  return true;
}

// Whether the signer at |index| of |message|, whose certificate is
// |certificate|, signs this very file: the signed digest is the file's and
// covered by the signed attributes, the signature verifies with the
// certificate's key, and the certificate chains to a root the machine
// trusts. The system's verdict on the file covers its first signer only;
// every other one has to show this itself.
bool IsSignatureOfFile(HCERTSTORE store,
                       HCRYPTMSG message,
                       DWORD index,
                       const CMSG_SIGNER_INFO& signer,
                       PCCERT_CONTEXT certificate,
                       AuthenticodeDigests* digests,
                       SignatureLog* log,
                       const std::string& prefix) {
  if (!SignsThisFile(message, signer, digests, log, prefix))
    return false;
  CMSG_CTRL_VERIFY_SIGNATURE_EX_PARA verify = {};
  verify.cbSize = sizeof(verify);
  verify.dwSignerIndex = index;
  verify.dwSignerType = CMSG_VERIFY_SIGNER_CERT;
  verify.pvSigner = const_cast<CERT_CONTEXT*>(certificate);
  if (!::CryptMsgControl(message, 0, CMSG_CTRL_VERIFY_SIGNATURE_EX, &verify)) {
    log->Write(prefix + "The signature does not verify: " + LastErrorText() +
               "\n");
    return false;
  }
  const LONG chain =
      TrustVerifier::Get().VerifyCertificateChain(certificate, store);
  if (chain != ERROR_SUCCESS) {
    log->Write(prefix +
               base::StringPrintf("The signer's certificate is not trusted: "
                                  "%ld\n",
                                  chain));
    return false;
  }
  return true;
}

// Whether the signer at |index| of |message|, or one nested in its
// signature, is |expected|.
bool IsViableSigner(HCERTSTORE store,
                    HCRYPTMSG message,
                    DWORD encoding,
                    DWORD index,
                    const std::wstring& expected,
                    AuthenticodeDigests* digests,
                    SignatureLog* log,
                    int level) {
  const std::string prefix = base::StringPrintf("Level %d: ", level);
  std::unique_ptr<std::vector<uint8_t>> buffer =
      GetSignerInfo(message, index, log, prefix);
  if (!buffer)
    return false;
  const auto* signer =
      reinterpret_cast<const CMSG_SIGNER_INFO*>(buffer->data());

  CERT_INFO subject = {};
  subject.Issuer = signer->Issuer;
  subject.SerialNumber = signer->SerialNumber;
  ScopedCertContext certificate(::CertFindCertificateInStore(
      store, encoding, 0, CERT_FIND_SUBJECT_CERT, &subject, nullptr));
  if (!certificate) {
    log->Write(prefix + "Cannot find certificate info in store\n");
    return false;
  }
  if (log->collects()) {
    log->Write(prefix + "Trust chain:\n");
    LogCertificateChain(certificate.get(), store, log);
  }

  std::wstring name;
  if (!GetSignerName(certificate.get(), log, prefix, &name))
    return false;
  // A name alone is no proof: only the file's own first signer is judged
  // by the system already.
  if (name == expected &&
      ((level == 0 && index == 0) ||
       IsSignatureOfFile(store, message, index, *signer, certificate.get(),
                         digests, log, prefix))) {
    return true;
  }
  log->Write(prefix + "Tried signer " + base::WideToUTF8(name) + "\n");
  return FindViableNestedSigner(*signer, digests, log, level);
}

// Runs the signer search on the file's signature, with a collecting log
// when the caller keeps the report.
bool VerifySigners(const base::FilePath& path,
                   const SignedMessage& signed_message,
                   std::string* error) {
  SignatureLog log(error != nullptr);
  AuthenticodeDigests digests(path);
  bool found =
      FindViableSigner(signed_message.store.get(), signed_message.message.get(),
                       signed_message.encoding, &digests, &log, 0);
  if (error)
    error->append(log.text());
  return found;
}

}  // namespace

bool IsPEFile(const base::FilePath& path, bool* has_certificate_table) {
  DCHECK(has_certificate_table);
  base::MemoryMappedFile file;
  if (!file.Initialize(path))
    return false;
  const base::win::PeImage image(file.data(), file.length());
  if (!image.IsValid())
    return false;
  uint32_t offset = 0;
  uint32_t size = 0;
  *has_certificate_table =
      image.GetSecurityDirectory(&offset, &size) && size != 0;
  return true;
}

bool VerifyFileSignature(const base::FilePath& path, std::string* error) {
  const LONG trust = TrustVerifier::Get().Verify(path);
  if (trust != ERROR_SUCCESS) {
    if (!error)
      return false;
    base::StringAppendF(error, "Cannot WinVerifyTrust: %ld, %s\n", trust,
                        LastErrorText().c_str());
  }

  SignedMessage signed_message;
  if (!QuerySignedMessage(CERT_QUERY_OBJECT_FILE, path.value().c_str(),
                          CERT_QUERY_CONTENT_FLAG_PKCS7_SIGNED_EMBED,
                          &signed_message)) {
    if (error)
      error->append("Cannot CryptQueryObject: " + LastErrorText() + "\n");
    return false;
  }
  const bool viable_signer = VerifySigners(path, signed_message, error);
  return trust == ERROR_SUCCESS && viable_signer;
}

bool FindViableSigner(HCERTSTORE store,
                      HCRYPTMSG message,
                      DWORD encoding,
                      AuthenticodeDigests* digests,
                      SignatureLog* log,
                      int level) {
  DCHECK(log);
  DWORD count = 0;
  DWORD size = sizeof(count);
  if (!::CryptMsgGetParam(message, CMSG_SIGNER_COUNT_PARAM, 0, &count, &size)) {
    log->Write(
        base::StringPrintf("Level %d: Cannot get signer count\n", level));
    return false;
  }
  const std::wstring expected = base::UTF8ToWide(GetExpectedSigner());
  for (DWORD index = 0; index < count; ++index) {
    if (IsViableSigner(store, message, encoding, index, expected, digests, log,
                       level)) {
      return true;
    }
  }
  log->Write(
      base::StringPrintf("Level %d: Cannot find any viable signers\n", level));
  return false;
}

void LogCertificateChain(PCCERT_CONTEXT certificate,
                         HCERTSTORE store,
                         SignatureLog* log) {
  CERT_CHAIN_PARA parameters = {};
  parameters.cbSize = sizeof(parameters);
  PCCERT_CHAIN_CONTEXT chain_context = nullptr;
  if (!::CertGetCertificateChain(nullptr, certificate, nullptr, store,
                                 &parameters, 0, nullptr, &chain_context)) {
    log->Write("Cannot get trust chain\n");
    return;
  }
  ScopedCertChain chain(chain_context);
  log->Write(base::StringPrintf("Chain trust status: %lu\n",
                                chain->TrustStatus.dwErrorStatus));
  for (DWORD i = 0; i < chain->cChain; ++i) {
    const CERT_SIMPLE_CHAIN* simple_chain = chain->rgpChain[i];
    for (DWORD j = 0; j < simple_chain->cElement; ++j) {
      PCCERT_CONTEXT element = simple_chain->rgpElement[j]->pCertContext;
      log->Write(base::StringPrintf("Chain %lu element: ", j) +
                 base::WideToUTF8(GetDisplayName(element)) + " " +
                 GetSha1Hex(element) + "\n");
    }
  }
}

}  // namespace installer
