// Finds and classifies the payload appended to an installer executable:
// tracking data from the update server, or the whole browser package as a
// 7z archive (a full installer). Read backwards from the end of the file, or
// from the start of the certificate table of a signed file:
//   "KVX" | payload (L bytes) | L (32-bit little-endian)

#ifndef DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_PAYLOAD_READER_H_
#define DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_PAYLOAD_READER_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "base/files/file_path.h"
#include "base/files/memory_mapped_file.h"
#include "desktop/windows/installer/installer_stats_node.h"

namespace installer {

enum PayloadType {
  PAYLOAD_TYPE_NONE = 0,
  PAYLOAD_TYPE_TRACKING_DATA = 1,
  PAYLOAD_TYPE_EXTERNAL_TRACKING_DATA = 2,
  PAYLOAD_TYPE_FULL_PACKAGE = 3,
  PAYLOAD_TYPE_CORRUPTED = 4,
};

// "none", "tracking_data", "external_tracking_data", "full_package",
// "corrupted"; empty for other values.
std::string PayloadTypeToString(PayloadType type);

class PayloadReader;

// Records |reader|'s payload in the run's statistics: "payload_type" and,
// unless the payload is a full package, its data as "tracking_data" when
// there is any. Returns that tracking data (empty when none).
std::string RecordPayloadStats(const PayloadReader& reader,
                               InstallerStatsNode stats);

class PayloadReader {
 public:
  // Maps |path| and classifies its payload; never fails, a problem gives
  // the type none or corrupted.
  explicit PayloadReader(const base::FilePath& path);
  PayloadReader(const PayloadReader&) = delete;
  PayloadReader& operator=(const PayloadReader&) = delete;
  ~PayloadReader();

  PayloadType payload_type() const { return payload_type_; }
  // The examined file.
  const base::FilePath& path() const { return path_; }

  // The external tracking data when set, else the payload's bytes (the 7z
  // archive for a full package); empty for none and corrupted.
  std::string GetPayloadData() const;

  // Tracking data given from outside (the "server-tracking-blob" switch).
  void SetExternalTrackingData(const std::string& data);

  // Writes the payload to |path|, creating or truncating it.
  bool WritePayloadToFile(const base::FilePath& path) const;

  // What WritePayloadToFile writes: a full package's bytes in place, any
  // other payload copied into |storage|. Empty for none and corrupted.
  std::string_view GetPayloadBytes(std::string* storage) const;

 private:
  void ReadPayload();
  // Looks for a payload ending at |end|; sets the length and offset.
  bool FindPayloadAt(uint64_t end);

  const base::FilePath path_;
  base::MemoryMappedFile file_;
  std::string external_tracking_data_;
  uint64_t payload_length_ = 0;
  uint64_t payload_offset_ = 0;
  PayloadType payload_type_ = PAYLOAD_TYPE_NONE;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_PAYLOAD_READER_H_
