#include "desktop/windows/installer/package_fetcher/checksum_checker.h"

#include <cstdint>
#include <memory>

#include "base/files/memory_mapped_file.h"
#include "base/logging.h"
#include "crypto/secure_hash.h"
#include "crypto/sha2.h"

namespace installer {

std::string ComputeSha256Hex(const void* data, size_t size) {
  std::unique_ptr<crypto::SecureHash> hash =
      crypto::SecureHash::Create(crypto::SecureHash::SHA256);
  if (!hash)
    return std::string();
  hash->Update(data, size);
  return FinishSha256Hex(hash.get());
}

std::string FinishSha256Hex(crypto::SecureHash* hash) {
  uint8_t digest[crypto::kSHA256Length];
  hash->Finish(digest, sizeof(digest));

  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(2 * sizeof(digest));
  for (uint8_t byte : digest) {
    hex.push_back(kDigits[byte >> 4]);
    hex.push_back(kDigits[byte & 0x0f]);
  }
  return hex;
}

// static
bool ChecksumChecker::Check(const base::FilePath& path,
                            const std::string& expected) {
  base::MemoryMappedFile file;
  if (!file.Initialize(path)) {
    LOG(ERROR) << "Unable to read " << path.value();
    return false;
  }
  return expected == ComputeSha256Hex(file.data(), file.length());
}

}  // namespace installer
