#include "desktop/windows/crash_reporter/test/crash_upload_test_util.h"

#include <stdint.h>
#include <string.h>
#include <zlib.h>

namespace crash_reporter {

namespace {

constexpr uint32_t kLocalHeaderSignature = 0x04034b50;
constexpr size_t kLocalHeaderSize = 30;
constexpr uint32_t kCentralHeaderSignature = 0x02014b50;

uint32_t Read32(const std::string& data, size_t offset) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i)
    value = value << 8 | static_cast<uint8_t>(data[offset + i]);
  return value;
}

uint16_t Read16(const std::string& data, size_t offset) {
  return static_cast<uint16_t>(static_cast<uint8_t>(data[offset]) |
                               static_cast<uint8_t>(data[offset + 1]) << 8);
}

bool InflateRaw(const std::string& input, size_t size, std::string* output) {
  z_stream stream = {};
  if (inflateInit2(&stream, -MAX_WBITS) != Z_OK)
    return false;
  output->assign(size, '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input.data()));
  stream.avail_in = static_cast<uInt>(input.size());
  stream.next_out = reinterpret_cast<Bytef*>(output->data());
  stream.avail_out = static_cast<uInt>(size);
  int result = inflate(&stream, Z_FINISH);
  inflateEnd(&stream);
  return result == Z_STREAM_END && stream.avail_out == 0 &&
         stream.avail_in == 0;
}

}  // namespace

bool ReadSingleEntryZip(const std::string& zip,
                        std::string* name,
                        std::string* content) {
  if (zip.size() < kLocalHeaderSize ||
      Read32(zip, 0) != kLocalHeaderSignature || Read16(zip, 8) != 8) {
    return false;
  }
  const uint32_t crc = Read32(zip, 14);
  const uint32_t compressed_size = Read32(zip, 18);
  const uint32_t size = Read32(zip, 22);
  const size_t name_length = Read16(zip, 26);
  const size_t data_start = kLocalHeaderSize + name_length + Read16(zip, 28);
  if (zip.size() < data_start + compressed_size + 4 ||
      Read32(zip, data_start + compressed_size) != kCentralHeaderSignature ||
      !InflateRaw(zip.substr(data_start, compressed_size), size, content)) {
    return false;
  }
  *name = zip.substr(kLocalHeaderSize, name_length);
  return crc32(0, reinterpret_cast<const Bytef*>(content->data()),
               static_cast<uInt>(content->size())) == crc;
}

std::vector<std::pair<std::string, std::string>> GetFormFields(
    const test_server::RecordedRequest& request) {
  std::vector<std::pair<std::string, std::string>> fields;
  for (const test_server::FormPart& part : request.form_parts) {
    if (!part.has_filename)
      fields.emplace_back(part.name, part.body);
  }
  return fields;
}

std::vector<test_server::FormPart> GetFileParts(
    const test_server::RecordedRequest& request) {
  std::vector<test_server::FormPart> files;
  for (const test_server::FormPart& part : request.form_parts) {
    if (part.has_filename)
      files.push_back(part);
  }
  return files;
}

std::vector<test_server::RecordedRequest> FilterRequests(
    const std::vector<test_server::RecordedRequest>& requests,
    const std::string& method) {
  std::vector<test_server::RecordedRequest> filtered;
  for (const test_server::RecordedRequest& request : requests) {
    if (request.method == method)
      filtered.push_back(request);
  }
  return filtered;
}

}  // namespace crash_reporter
