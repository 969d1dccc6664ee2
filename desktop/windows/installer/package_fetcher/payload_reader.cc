#include "desktop/windows/installer/package_fetcher/payload_reader.h"

#include <cstring>
#include <limits>

#include "base/files/file_util.h"
#include "base/logging.h"
#include "base/win/pe_image.h"

namespace installer {

namespace {

constexpr char kPayloadMagic[] = {'K', 'V', 'X'};
constexpr uint64_t kMagicSize = sizeof(kPayloadMagic);
constexpr uint64_t kLengthSize = 4;
constexpr uint8_t k7zSignature[] = {0x37, 0x7A, 0xBC, 0xAF, 0x27, 0x1C};

}  // namespace

std::string PayloadTypeToString(PayloadType type) {
  switch (type) {
    case PAYLOAD_TYPE_NONE:
      return "none";
    case PAYLOAD_TYPE_TRACKING_DATA:
      return "tracking_data";
    case PAYLOAD_TYPE_EXTERNAL_TRACKING_DATA:
      return "external_tracking_data";
    case PAYLOAD_TYPE_FULL_PACKAGE:
      return "full_package";
    case PAYLOAD_TYPE_CORRUPTED:
      return "corrupted";
  }
  return std::string();
}

std::string RecordPayloadStats(const PayloadReader& reader,
                               InstallerStatsNode stats) {
  const PayloadType type = reader.payload_type();
  stats.SetString("payload_type", PayloadTypeToString(type));
  if (type == PAYLOAD_TYPE_FULL_PACKAGE)
    return std::string();
  std::string tracking_data = reader.GetPayloadData();
  if (!tracking_data.empty())
    stats.SetString("tracking_data", tracking_data);
  return tracking_data;
}

PayloadReader::PayloadReader(const base::FilePath& path) : path_(path) {
  ReadPayload();
}

PayloadReader::~PayloadReader() = default;

void PayloadReader::ReadPayload() {
  LOG(INFO) << "Reading Payload";
  if (!file_.Initialize(path_)) {
    LOG(ERROR) << "Could not initialize memory mapped file";
    payload_type_ = PAYLOAD_TYPE_NONE;
    return;
  }
  const base::win::PeImage image(file_.data(), file_.length());
  if (!image.IsValid()) {
    payload_type_ = PAYLOAD_TYPE_CORRUPTED;
    return;
  }
  uint32_t table_offset = 0;
  uint32_t table_size = 0;
  const bool is_signed =
      image.GetSecurityDirectory(&table_offset, &table_size) && table_size != 0;
  const uint64_t signature_start = is_signed ? table_offset : 0;
  if (signature_start > file_.length()) {
    LOG(ERROR) << "Security directory is located past the image file length";
    payload_type_ = PAYLOAD_TYPE_CORRUPTED;
    return;
  }

  bool at_end = FindPayloadAt(file_.length());
  if (!at_end && !(is_signed && FindPayloadAt(signature_start))) {
    LOG(WARNING) << "No valid payload found";
    payload_type_ = PAYLOAD_TYPE_NONE;
    return;
  }
  const bool is_archive = payload_length_ >= sizeof(k7zSignature) &&
                          !std::memcmp(file_.data() + payload_offset_,
                                       k7zSignature, sizeof(k7zSignature));
  if (!is_archive) {
    payload_type_ = PAYLOAD_TYPE_TRACKING_DATA;
  } else if (is_signed && at_end) {
    // Anyone could have appended it: the signature does not cover it.
    LOG(ERROR) << "Found full package that is not covered by the signature";
    payload_type_ = PAYLOAD_TYPE_NONE;
  } else {
    payload_type_ = PAYLOAD_TYPE_FULL_PACKAGE;
  }
}

bool PayloadReader::FindPayloadAt(uint64_t end) {
  if (end < kLengthSize + kMagicSize || end > file_.length()) {
    VLOG(1) << "Could not find a valid starting position";
    return false;
  }
  uint32_t length = 0;
  std::memcpy(&length, file_.data() + end - kLengthSize, sizeof(length));
  if (length > static_cast<uint32_t>(std::numeric_limits<int32_t>::max()) ||
      length > end - kLengthSize - kMagicSize) {
    VLOG(1) << "Could not find a valid starting position";
    return false;
  }
  const uint64_t magic_at = end - kLengthSize - length - kMagicSize;
  if (std::memcmp(file_.data() + magic_at, kPayloadMagic, kMagicSize)) {
    VLOG(1) << "Payload data invalid";
    return false;
  }
  payload_length_ = length;
  payload_offset_ = end - kLengthSize - length;
  return true;
}

std::string PayloadReader::GetPayloadData() const {
  if (payload_type_ == PAYLOAD_TYPE_NONE ||
      payload_type_ == PAYLOAD_TYPE_CORRUPTED) {
    return std::string();
  }
  if (!external_tracking_data_.empty())
    return external_tracking_data_;
  return std::string(
      reinterpret_cast<const char*>(file_.data() + payload_offset_),
      payload_length_);
}

void PayloadReader::SetExternalTrackingData(const std::string& data) {
  external_tracking_data_ = data;
  payload_type_ = PAYLOAD_TYPE_EXTERNAL_TRACKING_DATA;
}

bool PayloadReader::WritePayloadToFile(const base::FilePath& path) const {
  if (payload_type_ == PAYLOAD_TYPE_NONE ||
      payload_type_ == PAYLOAD_TYPE_CORRUPTED) {
    return false;
  }
  std::string copy;
  const std::string_view data = GetPayloadBytes(&copy);
  LOG(INFO) << "Writing payload to file " << path;
  if (data.size() > static_cast<size_t>(std::numeric_limits<int>::max()))
    return false;
  const int size = static_cast<int>(data.size());
  return base::WriteFile(path, data.data(), size) == size;
}

std::string_view PayloadReader::GetPayloadBytes(std::string* storage) const {
  if (payload_type_ == PAYLOAD_TYPE_NONE ||
      payload_type_ == PAYLOAD_TYPE_CORRUPTED) {
    return std::string_view();
  }
  // A package may be large: its bytes stay in the mapping, without a copy.
  if (payload_type_ == PAYLOAD_TYPE_FULL_PACKAGE) {
    return std::string_view(
        reinterpret_cast<const char*>(file_.data() + payload_offset_),
        static_cast<size_t>(payload_length_));
  }
  *storage = GetPayloadData();
  return *storage;
}

}  // namespace installer
