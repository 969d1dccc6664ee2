// The file writer of a download whose SHA-256 is checked afterwards: the
// digest is computed as the body arrives, so that checking a package of
// hundreds of megabytes costs no second read of the whole file once it is
// complete. The hashing runs on a thread of its own, on copies of what was
// written, while the downloader's thread reads on: the network and the
// hash take turns on no single thread.

#ifndef DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_HASHING_FILE_WRITER_H_
#define DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_HASHING_FILE_WRITER_H_

#include <memory>
#include <string>
#include <vector>

#include "base/synchronization/condition_variable.h"
#include "base/synchronization/lock.h"
#include "base/threading/thread.h"
#include "desktop/windows/installer/wininet/wininet_response_writer.h"

namespace base {
class NewFile;
}

namespace crypto {
class SecureHash;
}

namespace installer {

class HashingFileWriter : public ResponseWriter {
 public:
  // When the body is finished, |sha256_hex| (which must outlive the
  // writer) receives the SHA-256 of what the file holds, as
  // ComputeSha256Hex writes it; it stays empty when no hash can be made.
  explicit HashingFileWriter(std::string* sha256_hex);
  ~HashingFileWriter() override;

  // Writes into |file|, which the caller made new and holds (it must
  // outlive the writer); false when it is not valid. Without a file every
  // write fails.
  bool Open(base::NewFile* file);

  bool Write(const char* data, size_t size) override;
  bool Restart() override;
  void Finish() override;

 private:
  // On the hashing thread, in the order the pieces were written.
  void HashPiece(std::string piece);
  void AddToHash(const char* data, size_t size);
  void StartOver();

  // A buffer for the next piece; waits while every one is queued, so that
  // memory stays bounded when the network outruns the hash.
  std::string TakeBuffer();

  base::NewFile* file_ = nullptr;
  std::string* const sha256_hex_;
  // Used on |hasher_| while it runs; inline when it could not start.
  std::unique_ptr<crypto::SecureHash> hash_;
  // Whether a hash is made at all; on the writer's thread.
  const bool hashing_;
  base::Thread hasher_;

  base::Lock lock_;
  base::ConditionVariable buffer_returned_;
  std::vector<std::string> free_buffers_;
  int buffers_made_ = 0;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_HASHING_FILE_WRITER_H_
