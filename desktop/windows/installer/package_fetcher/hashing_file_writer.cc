#include "desktop/windows/installer/package_fetcher/hashing_file_writer.h"

#include <utility>

#include "base/bind.h"
#include "base/files/new_file.h"
#include "base/location.h"
#include "base/logging.h"
#include "crypto/secure_hash.h"
#include "desktop/windows/installer/package_fetcher/checksum_checker.h"

namespace installer {

namespace {

// A few of the downloader's reads (up to 1 MB each) in flight.
constexpr int kMaxBuffers = 16;

}  // namespace

HashingFileWriter::HashingFileWriter(std::string* sha256_hex)
    : sha256_hex_(sha256_hex),
      hash_(crypto::SecureHash::Create(crypto::SecureHash::SHA256)),
      hashing_(hash_ != nullptr),
      hasher_("SHA-256 of the download"),
      buffer_returned_(&lock_) {
  CHECK(sha256_hex_);
  sha256_hex_->clear();
}

HashingFileWriter::~HashingFileWriter() {
  hasher_.Stop();
}

bool HashingFileWriter::Open(base::NewFile* file) {
  if (!file || !file->IsValid())
    return false;
  file_ = file;
  if (hashing_ && !hasher_.IsRunning() && !hasher_.Start())
    LOG(WARNING) << "No thread for the download's hash: hashing as it comes";
  return true;
}

bool HashingFileWriter::Write(const char* data, size_t size) {
  if (!file_ || !file_->Write(data, size))
    return false;
  if (!hashing_)
    return true;
  if (!hasher_.IsRunning()) {
    AddToHash(data, size);
    return true;
  }
  std::string piece = TakeBuffer();
  piece.assign(data, size);
  hasher_.task_runner()->PostTask(
      FROM_HERE, base::BindOnce(&HashingFileWriter::HashPiece,
                                base::Unretained(this), std::move(piece)));
  return true;
}

bool HashingFileWriter::Restart() {
  if (hasher_.IsRunning()) {
    hasher_.task_runner()->PostTask(
        FROM_HERE,
        base::BindOnce(&HashingFileWriter::StartOver, base::Unretained(this)));
  } else {
    StartOver();
  }
  return file_ && file_->Truncate();
}

void HashingFileWriter::Finish() {
  // The file stays with its owner; what is still queued is hashed.
  hasher_.Stop();
  // Once: what was written is complete now.
  if (hash_) {
    *sha256_hex_ = FinishSha256Hex(hash_.get());
    hash_.reset();
  }
}

void HashingFileWriter::HashPiece(std::string piece) {
  AddToHash(piece.data(), piece.size());
  base::AutoLock hold(lock_);
  free_buffers_.push_back(std::move(piece));
  buffer_returned_.Signal();
}

void HashingFileWriter::AddToHash(const char* data, size_t size) {
  if (hash_)
    hash_->Update(data, size);
}

void HashingFileWriter::StartOver() {
  hash_ = crypto::SecureHash::Create(crypto::SecureHash::SHA256);
}

std::string HashingFileWriter::TakeBuffer() {
  base::AutoLock hold(lock_);
  while (free_buffers_.empty() && buffers_made_ == kMaxBuffers)
    buffer_returned_.Wait();
  if (free_buffers_.empty()) {
    ++buffers_made_;
    return std::string();
  }
  std::string buffer = std::move(free_buffers_.back());
  free_buffers_.pop_back();
  return buffer;
}

}  // namespace installer
