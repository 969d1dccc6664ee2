#include "desktop/windows/installer/package_fetcher/hashing_file_writer.h"

#include "base/logging.h"
#include "crypto/secure_hash.h"
#include "desktop/windows/installer/package_fetcher/checksum_checker.h"

namespace installer {

HashingFileWriter::HashingFileWriter(std::string* sha256_hex)
    : sha256_hex_(sha256_hex),
      hash_(crypto::SecureHash::Create(crypto::SecureHash::SHA256)) {
  CHECK(sha256_hex_);
  sha256_hex_->clear();
}

HashingFileWriter::~HashingFileWriter() = default;

bool HashingFileWriter::Open(const base::FilePath& path) {
  return file_.Open(path);
}

bool HashingFileWriter::Write(const char* data, size_t size) {
  if (!file_.Write(data, size))
    return false;
  if (hash_)
    hash_->Update(data, size);
  return true;
}

bool HashingFileWriter::Restart() {
  hash_ = crypto::SecureHash::Create(crypto::SecureHash::SHA256);
  return file_.Restart();
}

void HashingFileWriter::Finish() {
  file_.Finish();
  // Once: what was written is complete now.
  if (hash_) {
    *sha256_hex_ = FinishSha256Hex(hash_.get());
    hash_.reset();
  }
}

}  // namespace installer
