// The file writer of a download whose SHA-256 is checked afterwards: the
// digest is computed as the body arrives, while the network delivers the
// rest, so that checking a package of hundreds of megabytes costs no second
// read of the whole file once it is complete.

#ifndef DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_HASHING_FILE_WRITER_H_
#define DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_HASHING_FILE_WRITER_H_

#include <memory>
#include <string>

#include "desktop/windows/installer/wininet/wininet_response_writer.h"

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

  // As FileResponseWriter::Open.
  bool Open(const base::FilePath& path);

  bool Write(const char* data, size_t size) override;
  bool Restart() override;
  void Finish() override;

 private:
  FileResponseWriter file_;
  std::string* const sha256_hex_;
  std::unique_ptr<crypto::SecureHash> hash_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_HASHING_FILE_WRITER_H_
