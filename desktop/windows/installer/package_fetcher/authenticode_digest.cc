#include "desktop/windows/installer/package_fetcher/authenticode_digest.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "base/files/memory_mapped_file.h"
#include "base/logging.h"
#include "base/win/pe_image.h"

namespace installer {

namespace {

// The security directory entry: the table's file offset and size.
constexpr uint64_t kDirectoryEntrySize = 8;
// The optional header's CheckSum field.
constexpr uint64_t kChecksumSize = 4;

// A hash object and the provider it belongs to.
struct ScopedHash {
  ScopedHash() = default;
  ScopedHash(const ScopedHash&) = delete;
  ScopedHash& operator=(const ScopedHash&) = delete;
  ~ScopedHash() {
    if (hash)
      ::CryptDestroyHash(hash);
    if (provider)
      ::CryptReleaseContext(provider, 0);
  }

  HCRYPTPROV provider = 0;
  HCRYPTHASH hash = 0;
};

bool IsDigestAlgorithm(ALG_ID algorithm) {
  return algorithm == CALG_SHA1 || algorithm == CALG_SHA_256 ||
         algorithm == CALG_SHA_384 || algorithm == CALG_SHA_512;
}

// [begin, end) of bytes to hash.
using Range = std::pair<uint64_t, uint64_t>;

// The digest of the |ranges| of |data|, one after the other.
std::string HashRanges(const uint8_t* data,
                       const std::vector<Range>& ranges,
                       ALG_ID algorithm) {
  ScopedHash hash;
  if (!::CryptAcquireContextW(&hash.provider, nullptr, nullptr, PROV_RSA_AES,
                              CRYPT_VERIFYCONTEXT)) {
    PLOG(ERROR) << "Cannot acquire a hash provider";
    return std::string();
  }
  if (!::CryptCreateHash(hash.provider, algorithm, 0, 0, &hash.hash)) {
    PLOG(ERROR) << "Cannot create a hash of algorithm " << algorithm;
    return std::string();
  }
  for (const Range& range : ranges) {
    for (uint64_t begin = range.first; begin < range.second;) {
      // CryptHashData takes a 32-bit count.
      const DWORD chunk = static_cast<DWORD>(
          std::min<uint64_t>(range.second - begin, 1u << 30));
      if (!::CryptHashData(hash.hash, data + begin, chunk, 0)) {
        PLOG(ERROR) << "Cannot hash the data";
        return std::string();
      }
      begin += chunk;
    }
  }
  DWORD size = 0;
  DWORD size_size = sizeof(size);
  if (!::CryptGetHashParam(hash.hash, HP_HASHSIZE,
                           reinterpret_cast<BYTE*>(&size), &size_size, 0)) {
    return std::string();
  }
  std::string digest(size, '\0');
  if (!::CryptGetHashParam(hash.hash, HP_HASHVAL,
                           reinterpret_cast<BYTE*>(digest.data()), &size, 0)) {
    return std::string();
  }
  digest.resize(size);
  return digest;
}

// The ranges of |image| that the digest leaves out, in file order: the
// checksum, the security directory entry and the certificate table. False
// when the headers do not hold them or the table lies elsewhere.
bool GetExcludedRanges(const base::win::PeImage& image,
                       uint64_t length,
                       uint64_t* checksum,
                       uint64_t* directory_entry,
                       uint64_t* table,
                       uint64_t* table_size) {
  uint16_t magic = 0;
  uint32_t offset = 0;
  uint32_t size = 0;
  if (!image.GetOptionalHeaderMagic(&magic) ||
      (magic != IMAGE_NT_OPTIONAL_HDR32_MAGIC &&
       magic != IMAGE_NT_OPTIONAL_HDR64_MAGIC) ||
      !image.GetChecksumOffset(checksum) ||
      !image.GetDataDirectoryOffset(IMAGE_DIRECTORY_ENTRY_SECURITY,
                                    directory_entry) ||
      !image.GetSecurityDirectory(&offset, &size)) {
    return false;
  }
  if (size == 0) {
    *table = length;
    *table_size = 0;
    return true;
  }
  *table = offset;
  *table_size = size;
  return *table >= *directory_entry + kDirectoryEntrySize &&
         *table + *table_size <= length;
}

}  // namespace

std::string ComputeAuthenticodeDigest(const uint8_t* data,
                                      size_t length,
                                      ALG_ID algorithm) {
  if (!IsDigestAlgorithm(algorithm))
    return std::string();
  const base::win::PeImage image(data, length);
  uint64_t checksum = 0;
  uint64_t directory_entry = 0;
  uint64_t table = 0;
  uint64_t table_size = 0;
  if (!image.IsValid() ||
      !GetExcludedRanges(image, length, &checksum, &directory_entry, &table,
                         &table_size)) {
    return std::string();
  }
  // [begin, end) pairs of what is hashed, in file order.
  const std::vector<Range> ranges = {
      {0, checksum},
      {checksum + kChecksumSize, directory_entry},
      {directory_entry + kDirectoryEntrySize, table},
      {table + table_size, length},
  };
  return HashRanges(data, ranges, algorithm);
}

std::string ComputeDigest(const uint8_t* data,
                          size_t length,
                          ALG_ID algorithm) {
  if (!IsDigestAlgorithm(algorithm))
    return std::string();
  return HashRanges(data, {{0, length}}, algorithm);
}

AuthenticodeDigests::AuthenticodeDigests(const base::FilePath& path)
    : path_(path) {}

AuthenticodeDigests::~AuthenticodeDigests() = default;

const std::string& AuthenticodeDigests::Get(ALG_ID algorithm) {
  auto found = digests_.find(algorithm);
  if (found != digests_.end())
    return found->second;
  std::string& digest = digests_[algorithm];
  base::MemoryMappedFile file;
  if (!file.Initialize(path_)) {
    LOG(ERROR) << "Cannot read " << path_ << " to compute its digest";
    return digest;
  }
  digest = ComputeAuthenticodeDigest(file.data(), file.length(), algorithm);
  return digest;
}

}  // namespace installer
