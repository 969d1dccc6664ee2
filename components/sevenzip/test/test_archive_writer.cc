#include "components/sevenzip/test/test_archive_writer.h"

#include "components/sevenzip/header_parser.h"
#include "components/sevenzip/sz_crc.h"

namespace sevenzip {
namespace test {

namespace {

std::string Bits(const std::vector<bool>& bits) {
  std::string bytes((bits.size() + 7) / 8, '\0');
  for (size_t i = 0; i < bits.size(); ++i) {
    if (bits[i])
      bytes[i / 8] = static_cast<char>(bytes[i / 8] | (0x80 >> (i % 8)));
  }
  return bytes;
}

bool HasData(const TestEntry& entry) {
  return !entry.is_dir && !entry.data.empty();
}

std::string StreamsInfo(const std::vector<TestEntry>& entries) {
  std::vector<const TestEntry*> streams;
  UInt64 total = 0;
  for (const TestEntry& entry : entries) {
    if (HasData(entry)) {
      streams.push_back(&entry);
      total += entry.data.size();
    }
  }
  HeaderWriter w;
  w.Number(kIdPackInfo).Number(0).Number(1);
  w.Number(kIdSize).Number(total).Number(kIdEnd);
  w.Number(kIdUnpackInfo).Number(kIdFolder).Number(1).Byte(0);
  w.Number(1).Byte(0x01).Byte(0x00);  // One coder: Copy.
  w.Number(kIdCodersUnpackSize).Number(total).Number(kIdEnd);
  w.Number(kIdSubStreamsInfo).Number(kIdNumUnpackStream).Number(streams.size());
  w.Number(kIdSize);
  for (size_t i = 0; i + 1 < streams.size(); ++i)
    w.Number(streams[i]->data.size());
  w.Number(kIdCrc).Byte(1);
  for (const TestEntry* entry : streams)
    w.UInt32(Crc32(0, entry->data.data(), entry->data.size()));
  w.Number(kIdEnd).Number(kIdEnd);
  return w.data();
}

std::string FilesInfo(const std::vector<TestEntry>& entries) {
  std::vector<bool> empty_stream, empty_file;
  bool any_mtime = false;
  HeaderWriter names;
  names.Byte(0);
  for (const TestEntry& entry : entries) {
    empty_stream.push_back(!HasData(entry));
    if (!HasData(entry))
      empty_file.push_back(!entry.is_dir);
    any_mtime |= entry.has_mtime;
    for (char16_t c : entry.name)
      names.Byte(static_cast<Byte>(c)).Byte(static_cast<Byte>(c >> 8));
    names.Byte(0).Byte(0);
  }
  HeaderWriter w;
  w.Number(kIdFilesInfo).Number(entries.size());
  if (!empty_file.empty()) {
    w.Property(kIdEmptyStream, Bits(empty_stream));
    w.Property(kIdEmptyFile, Bits(empty_file));
  }
  w.Property(kIdName, names.data());
  if (any_mtime) {
    std::vector<bool> defined;
    HeaderWriter times;
    for (const TestEntry& entry : entries)
      defined.push_back(entry.has_mtime);
    times.Byte(0).Bytes(Bits(defined)).Byte(0);
    for (const TestEntry& entry : entries) {
      if (entry.has_mtime)
        times.UInt64(entry.mtime);
    }
    w.Property(kIdMTime, times.data());
  }
  w.Number(kIdEnd);
  return w.data();
}

}  // namespace

HeaderWriter& HeaderWriter::Byte(::Byte value) {
  data_.push_back(static_cast<char>(value));
  return *this;
}

HeaderWriter& HeaderWriter::Number(::UInt64 value) {
  // The shortest form: n leading one bits, then 8n little-endian bytes.
  int extra = 0;
  while (extra < 8 && value >= (::UInt64{1} << (7 * (extra + 1))))
    ++extra;
  if (extra == 8) {
    Byte(0xFF);
    return UInt64(value);
  }
  const ::Byte high_bits = static_cast<::Byte>(0xFF00 >> extra);
  Byte(static_cast<::Byte>(high_bits | (value >> (8 * extra))));
  for (int i = 0; i < extra; ++i)
    Byte(static_cast<::Byte>(value >> (8 * i)));
  return *this;
}

HeaderWriter& HeaderWriter::UInt32(::UInt32 value) {
  for (int i = 0; i < 4; ++i)
    Byte(static_cast<::Byte>(value >> (8 * i)));
  return *this;
}

HeaderWriter& HeaderWriter::UInt64(::UInt64 value) {
  UInt32(static_cast<::UInt32>(value));
  return UInt32(static_cast<::UInt32>(value >> 32));
}

HeaderWriter& HeaderWriter::Bytes(const std::string& bytes) {
  data_ += bytes;
  return *this;
}

HeaderWriter& HeaderWriter::Property(::UInt64 id, const std::string& bytes) {
  return Number(id).Number(bytes.size()).Bytes(bytes);
}

std::string MakeArchive(const std::string& packed_data,
                        const std::string& header) {
  HeaderWriter start;
  start.UInt64(packed_data.size()).UInt64(header.size());
  start.UInt32(Crc32(0, header.data(), header.size()));
  HeaderWriter signature;
  signature.Bytes(std::string("7z\xBC\xAF\x27\x1C", 6)).Byte(0).Byte(4);
  signature.UInt32(Crc32(0, start.data().data(), start.data().size()));
  return signature.data() + start.data() + packed_data + header;
}

std::string MakeCopyHeader(const std::vector<TestEntry>& entries) {
  HeaderWriter w;
  w.Number(kIdHeader);
  for (const TestEntry& entry : entries) {
    if (HasData(entry)) {
      w.Number(kIdMainStreamsInfo).Bytes(StreamsInfo(entries));
      break;
    }
  }
  w.Bytes(FilesInfo(entries)).Number(kIdEnd);
  return w.data();
}

std::string MakeCopyArchive(const std::vector<TestEntry>& entries) {
  std::string packed;
  for (const TestEntry& entry : entries) {
    if (HasData(entry))
      packed += entry.data;
  }
  return MakeArchive(packed, MakeCopyHeader(entries));
}

}  // namespace test
}  // namespace sevenzip
