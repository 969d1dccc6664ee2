#include "components/zip/zip_writer.h"

#include <zlib.h>

#include <algorithm>
#include <memory>
#include <string>

#include "base/files/file.h"
#include "base/files/file_util.h"
#include "base/logging.h"
#include "base/strings/string_util.h"

namespace zip {

namespace {

constexpr uint32_t kLocalHeaderSignature = 0x04034b50;
constexpr uint32_t kCentralHeaderSignature = 0x02014b50;
constexpr uint32_t kEndOfCentralDirectorySignature = 0x06054b50;
// Deflate needs version 2.0 of the format; a zero high byte in "made by"
// says the (absent) attributes are MS-DOS ones.
constexpr uint16_t kVersion = 20;
constexpr uint16_t kMethodDeflate = 8;
// Both buffers are this large: logs are a few MB, so a handful of reads.
constexpr size_t kChunkSize = 1 << 20;

struct EntryInfo {
  uint32_t crc = 0;
  uint32_t compressed_size = 0;
  uint32_t size = 0;
};

void AppendUint16(std::string* out, uint16_t value) {
  out->push_back(static_cast<char>(value & 0xff));
  out->push_back(static_cast<char>(value >> 8));
}

void AppendUint32(std::string* out, uint32_t value) {
  AppendUint16(out, static_cast<uint16_t>(value & 0xffff));
  AppendUint16(out, static_cast<uint16_t>(value >> 16));
}

// Version, flags, method, time, date, CRC and sizes: the run of fields the
// local and the central header share.
void AppendEntryFields(std::string* out, const EntryInfo& info) {
  AppendUint16(out, kVersion);
  // No data descriptor: the CRC and sizes are patched into the header.
  AppendUint16(out, 0);
  AppendUint16(out, kMethodDeflate);
  AppendUint16(out, 0);
  AppendUint16(out, 0);
  AppendUint32(out, info.crc);
  AppendUint32(out, info.compressed_size);
  AppendUint32(out, info.size);
}

std::string LocalHeader(std::string_view name, const EntryInfo& info) {
  std::string header;
  AppendUint32(&header, kLocalHeaderSignature);
  AppendEntryFields(&header, info);
  AppendUint16(&header, static_cast<uint16_t>(name.size()));
  AppendUint16(&header, 0);  // Extra field length.
  header.append(name);
  return header;
}

// The central directory of the one entry, whose local header is at offset
// 0, followed by the end-of-central-directory record.
std::string CentralDirectory(std::string_view name,
                             const EntryInfo& info,
                             uint32_t directory_offset) {
  std::string directory;
  AppendUint32(&directory, kCentralHeaderSignature);
  AppendUint16(&directory, kVersion);  // Made by.
  AppendEntryFields(&directory, info);
  AppendUint16(&directory, static_cast<uint16_t>(name.size()));
  AppendUint16(&directory, 0);  // Extra field length.
  AppendUint16(&directory, 0);  // Comment length.
  AppendUint16(&directory, 0);  // Disk number.
  AppendUint16(&directory, 0);  // Internal attributes.
  AppendUint32(&directory, 0);  // External attributes.
  AppendUint32(&directory, 0);  // Offset of the local header.
  directory.append(name);
  const uint32_t directory_size = static_cast<uint32_t>(directory.size());

  AppendUint32(&directory, kEndOfCentralDirectorySignature);
  AppendUint16(&directory, 0);  // This disk.
  AppendUint16(&directory, 0);  // Disk of the directory.
  AppendUint16(&directory, 1);  // Entries on this disk.
  AppendUint16(&directory, 1);  // Entries in all.
  AppendUint32(&directory, directory_size);
  AppendUint32(&directory, directory_offset);
  AppendUint16(&directory, 0);  // Comment length.
  return directory;
}

bool WriteAll(base::File& file, int64_t offset, const char* data, size_t size) {
  while (size > 0) {
    const int chunk = static_cast<int>(std::min<size_t>(size, kChunkSize));
    const int written = file.Write(offset, data, chunk);
    if (written <= 0) {
      PLOG(ERROR) << "Cannot write the zip";
      return false;
    }
    offset += written;
    data += written;
    size -= static_cast<size_t>(written);
  }
  return true;
}

// Ends the deflate stream on every way out.
class ScopedDeflateStream {
 public:
  ScopedDeflateStream() = default;
  ScopedDeflateStream(const ScopedDeflateStream&) = delete;
  ScopedDeflateStream& operator=(const ScopedDeflateStream&) = delete;
  ~ScopedDeflateStream() {
    if (initialized_)
      deflateEnd(&stream_);
  }

  // Raw deflate: the zip headers stand in for zlib's own wrapper.
  bool Init(int level) {
    initialized_ = deflateInit2(&stream_, level, Z_DEFLATED, -MAX_WBITS, 8,
                                Z_DEFAULT_STRATEGY) == Z_OK;
    return initialized_;
  }

  z_stream* get() { return &stream_; }

 private:
  z_stream stream_ = {};
  bool initialized_ = false;
};

// Deflates the first |info->size| bytes of |source| into |zip| from
// |offset| on and fills in the CRC and the compressed size.
bool DeflateEntry(base::File& source,
                  int level,
                  base::File& zip,
                  int64_t offset,
                  EntryInfo* info) {
  ScopedDeflateStream deflater;
  if (!deflater.Init(level)) {
    LOG(ERROR) << "Cannot start deflate at level " << level;
    return false;
  }
  z_stream* stream = deflater.get();
  auto input = std::make_unique<char[]>(kChunkSize);
  auto output = std::make_unique<char[]>(kChunkSize);
  uint32_t crc = crc32(0, nullptr, 0);
  uint64_t read_total = 0;
  uint64_t written_total = 0;
  int flush = Z_NO_FLUSH;
  int result = Z_OK;
  while (result != Z_STREAM_END) {
    if (stream->avail_in == 0 && flush == Z_NO_FLUSH) {
      const int wanted = static_cast<int>(
          std::min<uint64_t>(kChunkSize, info->size - read_total));
      const int read =
          source.Read(static_cast<int64_t>(read_total), input.get(), wanted);
      if (read < 0) {
        PLOG(ERROR) << "Cannot read the source after " << read_total
                    << " bytes";
        return false;
      }
      if (read == 0) {
        LOG(ERROR) << "The source shrank to " << read_total << " of "
                   << info->size << " bytes while it was zipped";
        return false;
      }
      crc = crc32(crc, reinterpret_cast<const Bytef*>(input.get()),
                  static_cast<uInt>(read));
      read_total += static_cast<uint64_t>(read);
      stream->next_in = reinterpret_cast<Bytef*>(input.get());
      stream->avail_in = static_cast<uInt>(read);
      if (read_total == info->size)
        flush = Z_FINISH;
    }
    stream->next_out = reinterpret_cast<Bytef*>(output.get());
    stream->avail_out = static_cast<uInt>(kChunkSize);
    result = deflate(stream, flush);
    if (result != Z_OK && result != Z_STREAM_END) {
      LOG(ERROR) << "deflate failed: " << result;
      return false;
    }
    const size_t produced = kChunkSize - stream->avail_out;
    if (written_total + produced > kMaxEntrySize) {
      LOG(ERROR) << "The compressed entry is too large for a zip without "
                    "ZIP64";
      return false;
    }
    if (!WriteAll(zip, offset + static_cast<int64_t>(written_total),
                  output.get(), produced)) {
      return false;
    }
    written_total += produced;
  }
  info->crc = crc;
  info->compressed_size = static_cast<uint32_t>(written_total);
  return true;
}

bool WriteZip(const base::FilePath& zip_path,
              std::string_view entry_name,
              const base::FilePath& source_path,
              int level) {
  base::File source(source_path, base::File::FLAG_OPEN | base::File::FLAG_READ);
  if (!source.IsValid()) {
    LOG(ERROR) << "Cannot open " << source_path << ": "
               << base::File::ErrorToString(source.error_details());
    return false;
  }
  const int64_t length = source.GetLength();
  if (length <= 0) {
    LOG(ERROR) << source_path << " is empty or cannot be measured";
    return false;
  }
  if (static_cast<uint64_t>(length) > kMaxEntrySize) {
    LOG(ERROR) << source_path << " has " << length
               << " bytes, too many for a zip without ZIP64";
    return false;
  }

  // Made new, in a folder that other programs may write (crash logs are
  // zipped in the temporary folder): a link at the name goes, and is never
  // written through.
  base::DeleteFileAtItsPlace(zip_path);
  base::File zip(zip_path, base::File::FLAG_CREATE | base::File::FLAG_WRITE);
  if (!zip.IsValid()) {
    LOG(ERROR) << "Cannot create " << zip_path << ": "
               << base::File::ErrorToString(zip.error_details());
    return false;
  }
  EntryInfo info;
  info.size = static_cast<uint32_t>(length);
  // Written once with zeros to reserve its place, again once the CRC and the
  // compressed size are known.
  std::string header = LocalHeader(entry_name, info);
  if (!WriteAll(zip, 0, header.data(), header.size()) ||
      !DeflateEntry(source, level, zip, static_cast<int64_t>(header.size()),
                    &info)) {
    return false;
  }
  header = LocalHeader(entry_name, info);
  const uint64_t directory_offset = header.size() + info.compressed_size;
  if (directory_offset > kMaxEntrySize) {
    LOG(ERROR) << "The zip is too large without ZIP64";
    return false;
  }
  const std::string directory = CentralDirectory(
      entry_name, info, static_cast<uint32_t>(directory_offset));
  return WriteAll(zip, 0, header.data(), header.size()) &&
         WriteAll(zip, static_cast<int64_t>(directory_offset), directory.data(),
                  directory.size());
}

}  // namespace

bool WriteSingleEntryZip(const base::FilePath& zip_path,
                         std::string_view entry_name,
                         const base::FilePath& source_path,
                         int level) {
  DCHECK(!entry_name.empty());
  DCHECK_LE(entry_name.size(), 0xFFFFu);
  DCHECK(base::IsStringASCII(entry_name));
  DCHECK(level >= 0 && level <= 9);
  if (WriteZip(zip_path, entry_name, source_path, level))
    return true;
  if (!base::DeleteFileAtItsPlace(zip_path))
    PLOG(ERROR) << "Cannot delete the unfinished " << zip_path;
  return false;
}

}  // namespace zip
