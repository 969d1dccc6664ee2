#include "components/sevenzip/header_parser.h"

#include <stdint.h>
#include <string.h>

#include "components/sevenzip/sz_folder.h"

namespace sevenzip {

namespace {

// Bit vectors are stored most significant bit first.
SRes ReadBits(ByteReader* reader, size_t count, std::vector<Byte>* bits) {
  const size_t bytes = (count + 7) / 8;
  if (bytes > reader->remaining())
    return SZ_ERROR_ARCHIVE;
  const Byte* data = reader->current();
  bits->assign(count, 0);
  for (size_t i = 0; i < count; ++i)
    (*bits)[i] = (data[i / 8] >> (7 - i % 8)) & 1;
  return reader->Skip(bytes);
}

// A vector that starts with an "all defined" byte; only when that is 0 do
// the bits follow.
SRes ReadDefinedBits(ByteReader* reader,
                     size_t count,
                     std::vector<Byte>* bits) {
  Byte all_defined;
  RINOK(reader->ReadByte(&all_defined));
  if (all_defined) {
    bits->assign(count, 1);
    return SZ_OK;
  }
  return ReadBits(reader, count, bits);
}

size_t CountSet(const std::vector<Byte>& bits) {
  size_t count = 0;
  for (Byte bit : bits)
    count += bit;
  return count;
}

SRes ReadDigests(ByteReader* reader,
                 size_t count,
                 std::vector<Byte>* defined,
                 std::vector<UInt32>* crcs) {
  RINOK(ReadDefinedBits(reader, count, defined));
  crcs->assign(count, 0);
  for (size_t i = 0; i < count; ++i) {
    if ((*defined)[i])
      RINOK(reader->ReadUInt32(&(*crcs)[i]));
  }
  return SZ_OK;
}

// The rest of a table from |id| on: the CRCs of its |count| streams when
// it has them, then its end.
SRes ReadDigestsToEnd(ByteReader* reader,
                      UInt64 id,
                      size_t count,
                      std::vector<Byte>* defined,
                      std::vector<UInt32>* crcs) {
  defined->assign(count, 0);
  crcs->assign(count, 0);
  for (;;) {
    if (id == kIdEnd)
      return SZ_OK;
    if (id != kIdCrc)
      return SZ_ERROR_ARCHIVE;
    RINOK(ReadDigests(reader, count, defined, crcs));
    RINOK(reader->ReadNumber(&id));
  }
}

// Tables kept in further streams of the archive are not supported.
SRes ReadExternal(ByteReader* reader) {
  Byte external;
  RINOK(reader->ReadByte(&external));
  return external ? SZ_ERROR_UNSUPPORTED : SZ_OK;
}

// A property with values for some entries: which ones, then a value for
// each of them, read by |read_value| given the entry's index.
template <typename ReadValue>
SRes ReadDefinedValues(ByteReader* reader, size_t count, ReadValue read_value) {
  std::vector<Byte> defined;
  RINOK(ReadDefinedBits(reader, count, &defined));
  RINOK(ReadExternal(reader));
  for (size_t i = 0; i < count; ++i) {
    if (defined[i])
      RINOK(read_value(i));
  }
  return SZ_OK;
}

// Properties, each an id and a size, up to kIdEnd: |read| gets the id and
// the bytes of each.
template <typename Read>
SRes ReadPropertyList(ByteReader* reader, Read read) {
  for (;;) {
    UInt64 type, size;
    RINOK(reader->ReadNumber(&type));
    if (type == kIdEnd)
      return SZ_OK;
    RINOK(reader->ReadNumber(&size));
    ByteReader property;
    RINOK(reader->Split(size, &property));
    RINOK(read(type, &property));
  }
}

SRes ExpectId(ByteReader* reader, UInt64 expected) {
  UInt64 id;
  RINOK(reader->ReadNumber(&id));
  return id == expected ? SZ_OK : SZ_ERROR_ARCHIVE;
}

SRes ReadCoder(ByteReader* reader, CSzCoderInfo* coder) {
  Byte flags;
  RINOK(reader->ReadByte(&flags));
  // Alternative methods and the reserved bit were never written.
  if (flags & 0xC0)
    return SZ_ERROR_UNSUPPORTED;
  const unsigned id_size = flags & 0x0F;
  if (id_size > 8)
    return SZ_ERROR_UNSUPPORTED;
  coder->MethodId = 0;
  for (unsigned i = 0; i < id_size; ++i) {
    Byte b;
    RINOK(reader->ReadByte(&b));
    coder->MethodId = (coder->MethodId << 8) | b;
  }
  coder->NumInStreams = 1;
  if (flags & 0x10) {
    UInt64 num_in, num_out;
    RINOK(reader->ReadNumber(&num_in));
    RINOK(reader->ReadNumber(&num_out));
    if (num_in == 0 || num_out == 0)
      return SZ_ERROR_ARCHIVE;
    if (num_in > SZ_MAX_CODER_IN_STREAMS || num_out != 1)
      return SZ_ERROR_UNSUPPORTED;
    coder->NumInStreams = static_cast<UInt32>(num_in);
  }
  coder->PropsSize = 0;
  if (flags & 0x20) {
    UInt64 size;
    RINOK(reader->ReadNumber(&size));
    if (size > reader->remaining())
      return SZ_ERROR_ARCHIVE;
    if (size > SZ_MAX_CODER_PROPS)
      return SZ_ERROR_UNSUPPORTED;
    coder->PropsSize = static_cast<UInt32>(size);
    memcpy(coder->Props, reader->current(), coder->PropsSize);
    RINOK(reader->Skip(size));
  }
  return SZ_OK;
}

SRes ReadFolder(ByteReader* reader, CSzFolder* folder) {
  UInt64 num_coders;
  RINOK(reader->ReadNumber(&num_coders));
  if (num_coders == 0)
    return SZ_ERROR_ARCHIVE;
  if (num_coders > SZ_MAX_FOLDER_CODERS)
    return SZ_ERROR_UNSUPPORTED;
  folder->NumCoders = static_cast<UInt32>(num_coders);
  UInt32 num_in = 0;
  for (UInt32 i = 0; i < folder->NumCoders; ++i) {
    RINOK(ReadCoder(reader, &folder->Coders[i]));
    num_in += folder->Coders[i].NumInStreams;
  }
  if (num_in > SZ_MAX_FOLDER_IN_STREAMS)
    return SZ_ERROR_UNSUPPORTED;

  folder->NumBindPairs = folder->NumCoders - 1;
  for (UInt32 i = 0; i < folder->NumBindPairs; ++i) {
    RINOK(reader->ReadCount(num_in - 1, &folder->BindPairs[i].InIndex));
    RINOK(reader->ReadCount(folder->NumCoders - 1,
                            &folder->BindPairs[i].OutIndex));
  }
  folder->NumPackStreams = num_in - folder->NumBindPairs;
  if (folder->NumPackStreams > 1) {
    for (UInt32 i = 0; i < folder->NumPackStreams; ++i)
      RINOK(reader->ReadCount(num_in - 1, &folder->PackStreams[i]));
    return SZ_OK;
  }
  // A single packed stream feeds the one input no coder feeds.
  for (UInt32 i = 0; i < num_in; ++i) {
    if (FindBoundCoder(*folder, i) < 0) {
      folder->PackStreams[0] = i;
      return SZ_OK;
    }
  }
  return SZ_ERROR_ARCHIVE;
}

UInt64 FolderSize(const CSzFolder& folder) {
  return folder.UnpackSizes[folder.MainCoder];
}

}  // namespace

HeaderParser::HeaderParser(ISzAlloc* alloc, UInt64 data_offset, UInt64 data_end)
    : alloc_(alloc), data_offset_(data_offset), data_end_(data_end) {}

template <typename T>
SRes HeaderParser::AllocArray(size_t count, T** array) {
  *array = nullptr;
  if (count == 0)
    return SZ_OK;
  if (count > SIZE_MAX / sizeof(T))
    return SZ_ERROR_MEM;
  void* memory = IAlloc_Alloc(alloc_, count * sizeof(T));
  if (!memory)
    return SZ_ERROR_MEM;
  memset(memory, 0, count * sizeof(T));
  *array = static_cast<T*>(memory);
  return SZ_OK;
}

SRes HeaderParser::ReadEncodedHeader(ByteReader* reader, CSzArEx* db) {
  SubStreams sub;
  return ReadStreamsInfo(reader, db, &sub);
}

SRes HeaderParser::ReadHeader(ByteReader* reader, CSzArEx* db) {
  UInt64 id;
  RINOK(reader->ReadNumber(&id));
  if (id == kIdArchiveProperties) {
    // None that unpacking needs.
    RINOK(ReadPropertyList(reader, [](UInt64, ByteReader*) { return SZ_OK; }));
    RINOK(reader->ReadNumber(&id));
  }
  if (id == kIdAdditionalStreamsInfo)
    return SZ_ERROR_UNSUPPORTED;
  SubStreams sub;
  if (id == kIdMainStreamsInfo) {
    RINOK(ReadStreamsInfo(reader, db, &sub));
    RINOK(reader->ReadNumber(&id));
  }
  if (id == kIdFilesInfo) {
    RINOK(ReadFilesInfo(reader, db, sub));
    RINOK(reader->ReadNumber(&id));
  } else if (!sub.sizes.empty()) {
    // Data that no entry owns.
    return SZ_ERROR_ARCHIVE;
  }
  return id == kIdEnd ? SZ_OK : SZ_ERROR_ARCHIVE;
}

SRes HeaderParser::ReadStreamsInfo(ByteReader* reader,
                                   CSzArEx* db,
                                   SubStreams* sub) {
  UInt64 id;
  RINOK(reader->ReadNumber(&id));
  if (id == kIdPackInfo) {
    RINOK(ReadPackInfo(reader, db));
    RINOK(reader->ReadNumber(&id));
  }
  if (id == kIdUnpackInfo) {
    RINOK(ReadUnpackInfo(reader, db));
    RINOK(reader->ReadNumber(&id));
  }
  if (id == kIdSubStreamsInfo) {
    RINOK(ReadSubStreamsInfo(reader, *db, sub));
    RINOK(reader->ReadNumber(&id));
  } else {
    // One stream per folder, with the folder's size and CRC.
    sub->counts.assign(db->NumFolders, 1);
    RINOK(ReadSubStreamSizes(reader, *db, false, sub));
    sub->crc_defined.resize(db->NumFolders);
    sub->crcs.resize(db->NumFolders);
    for (UInt32 i = 0; i < db->NumFolders; ++i) {
      sub->crc_defined[i] = db->Folders[i].UnpackCrcDefined;
      sub->crcs[i] = db->Folders[i].UnpackCrc;
    }
  }
  return id == kIdEnd ? SZ_OK : SZ_ERROR_ARCHIVE;
}

SRes HeaderParser::ReadPackInfo(ByteReader* reader, CSzArEx* db) {
  UInt64 pack_pos;
  RINOK(reader->ReadNumber(&pack_pos));
  UInt32 count;
  // Each size takes at least a byte.
  RINOK(reader->ReadCount(reader->remaining(), &count));
  if (count > kMaxEntries)
    return SZ_ERROR_UNSUPPORTED;
  RINOK(ExpectId(reader, kIdSize));
  if (pack_pos > data_end_ - data_offset_)
    return SZ_ERROR_ARCHIVE;
  RINOK(AllocArray(count + 1, &db->PackStreamOffsets));
  db->NumPackStreams = count;
  UInt64 offset = data_offset_ + pack_pos;
  for (UInt32 i = 0; i < count; ++i) {
    UInt64 size;
    RINOK(reader->ReadNumber(&size));
    if (size > data_end_ - offset)
      return SZ_ERROR_ARCHIVE;
    db->PackStreamOffsets[i] = offset;
    offset += size;
  }
  db->PackStreamOffsets[count] = offset;
  // CRCs of packed data add nothing to those of the unpacked data.
  UInt64 id;
  RINOK(reader->ReadNumber(&id));
  std::vector<Byte> defined;
  std::vector<UInt32> crcs;
  return ReadDigestsToEnd(reader, id, count, &defined, &crcs);
}

SRes HeaderParser::ReadUnpackInfo(ByteReader* reader, CSzArEx* db) {
  RINOK(ExpectId(reader, kIdFolder));
  UInt32 count;
  RINOK(reader->ReadCount(reader->remaining(), &count));
  if (count > kMaxEntries)
    return SZ_ERROR_UNSUPPORTED;
  RINOK(ReadExternal(reader));
  RINOK(AllocArray(count, &db->Folders));
  RINOK(AllocArray(count, &db->FolderStartPackStream));
  db->NumFolders = count;
  UInt32 pack_index = 0;
  for (UInt32 i = 0; i < count; ++i) {
    CSzFolder* folder = &db->Folders[i];
    RINOK(ReadFolder(reader, folder));
    RINOK(CheckFolder(folder));
    db->FolderStartPackStream[i] = pack_index;
    if (folder->NumPackStreams > db->NumPackStreams - pack_index)
      return SZ_ERROR_ARCHIVE;
    pack_index += folder->NumPackStreams;
  }

  RINOK(ExpectId(reader, kIdCodersUnpackSize));
  for (UInt32 i = 0; i < count; ++i) {
    CSzFolder* folder = &db->Folders[i];
    for (UInt32 c = 0; c < folder->NumCoders; ++c) {
      RINOK(reader->ReadNumber(&folder->UnpackSizes[c]));
      if (folder->UnpackSizes[c] > kMaxUnpackSize)
        return SZ_ERROR_UNSUPPORTED;
    }
  }

  UInt64 id;
  RINOK(reader->ReadNumber(&id));
  std::vector<Byte> defined;
  std::vector<UInt32> crcs;
  RINOK(ReadDigestsToEnd(reader, id, count, &defined, &crcs));
  for (UInt32 i = 0; i < count; ++i) {
    db->Folders[i].UnpackCrcDefined = defined[i];
    db->Folders[i].UnpackCrc = crcs[i];
  }
  return SZ_OK;
}

SRes HeaderParser::ReadSubStreamsInfo(ByteReader* reader,
                                      const CSzArEx& db,
                                      SubStreams* sub) {
  sub->counts.assign(db.NumFolders, 1);
  UInt64 id;
  RINOK(reader->ReadNumber(&id));
  if (id == kIdNumUnpackStream) {
    UInt64 total = 0;
    for (UInt32 i = 0; i < db.NumFolders; ++i) {
      RINOK(reader->ReadCount(kMaxEntries, &sub->counts[i]));
      total += sub->counts[i];
      if (total > kMaxEntries)
        return SZ_ERROR_UNSUPPORTED;
    }
    RINOK(reader->ReadNumber(&id));
  }
  RINOK(ReadSubStreamSizes(reader, db, id == kIdSize, sub));
  if (id == kIdSize)
    RINOK(reader->ReadNumber(&id));

  // A folder with one stream and a CRC of its own gives that stream its
  // CRC; the digests that follow are for all other streams.
  const size_t num_streams = sub->sizes.size();
  sub->crc_defined.assign(num_streams, 0);
  sub->crcs.assign(num_streams, 0);
  size_t num_unknown = 0;
  for (UInt32 i = 0, stream = 0; i < db.NumFolders; ++i) {
    const CSzFolder& folder = db.Folders[i];
    if (sub->counts[i] == 1 && folder.UnpackCrcDefined) {
      sub->crc_defined[stream] = 1;
      sub->crcs[stream] = folder.UnpackCrc;
    } else {
      num_unknown += sub->counts[i];
    }
    stream += sub->counts[i];
  }

  std::vector<Byte> defined;
  std::vector<UInt32> crcs;
  RINOK(ReadDigestsToEnd(reader, id, num_unknown, &defined, &crcs));
  for (size_t stream = 0, next = 0; stream < num_streams; ++stream) {
    if (sub->crc_defined[stream])
      continue;
    sub->crc_defined[stream] = defined[next];
    sub->crcs[stream] = crcs[next];
    ++next;
  }
  return SZ_OK;
}

SRes HeaderParser::ReadSubStreamSizes(ByteReader* reader,
                                      const CSzArEx& db,
                                      bool sizes_stored,
                                      SubStreams* sub) {
  sub->sizes.clear();
  for (UInt32 i = 0; i < db.NumFolders; ++i) {
    const UInt32 count = sub->counts[i];
    if (count == 0)
      continue;
    if (count > 1 && !sizes_stored)
      return SZ_ERROR_ARCHIVE;
    const UInt64 folder_size = FolderSize(db.Folders[i]);
    UInt64 sum = 0;
    if (sizes_stored) {
      for (UInt32 k = 0; k + 1 < count; ++k) {
        UInt64 size;
        RINOK(reader->ReadNumber(&size));
        if (size > folder_size - sum)
          return SZ_ERROR_ARCHIVE;
        sum += size;
        sub->sizes.push_back(size);
      }
    }
    // The last stream has the rest of the folder.
    sub->sizes.push_back(folder_size - sum);
  }
  return SZ_OK;
}

SRes HeaderParser::ReadFilesInfo(ByteReader* reader,
                                 CSzArEx* db,
                                 const SubStreams& sub) {
  UInt32 count;
  RINOK(reader->ReadCount(reader->remaining(), &count));
  if (count > kMaxEntries)
    return SZ_ERROR_UNSUPPORTED;
  RINOK(AllocArray(count, &db->Files));
  db->NumFiles = count;

  EmptyEntries empty;
  empty.stream.assign(count, 0);
  RINOK(ReadPropertyList(reader, [&](UInt64 type, ByteReader* property) {
    return ReadFileProperty(type, property, db, &empty);
  }));

  if (count - empty.count != sub.sizes.size())
    return SZ_ERROR_ARCHIVE;
  for (UInt32 i = 0, empty_index = 0; i < count; ++i) {
    CSzFileItem* file = &db->Files[i];
    file->HasStream = !empty.stream[i];
    if (!file->HasStream) {
      const bool is_file =
          empty_index < empty.file.size() && empty.file[empty_index];
      file->IsDir = !is_file;
      ++empty_index;
    }
  }
  return MapFilesToFolders(db, sub);
}

SRes HeaderParser::ReadFileProperty(UInt64 type,
                                    ByteReader* property,
                                    CSzArEx* db,
                                    EmptyEntries* empty) {
  const UInt32 count = db->NumFiles;
  switch (type) {
    case kIdEmptyStream:
      if (empty->has_streams)
        return SZ_ERROR_ARCHIVE;
      empty->has_streams = true;
      RINOK(ReadBits(property, count, &empty->stream));
      empty->count = CountSet(empty->stream);
      return SZ_OK;
    case kIdEmptyFile:
      if (!empty->has_streams)
        return SZ_ERROR_ARCHIVE;
      return ReadBits(property, empty->count, &empty->file);
    case kIdAnti: {
      // Deletion markers of update archives; a package never has them.
      std::vector<Byte> anti;
      if (!empty->has_streams)
        return SZ_ERROR_ARCHIVE;
      RINOK(ReadBits(property, empty->count, &anti));
      return CountSet(anti) ? SZ_ERROR_UNSUPPORTED : SZ_OK;
    }
    case kIdName:
      return db->FileNames ? SZ_ERROR_ARCHIVE : ReadNames(property, db);
    case kIdMTime:
      return ReadDefinedValues(property, count, [&](size_t i) {
        CSzFileItem* file = &db->Files[i];
        file->MTimeDefined = 1;
        RINOK(property->ReadUInt32(&file->MTime.Low));
        return property->ReadUInt32(&file->MTime.High);
      });
    case kIdWinAttributes:
      return ReadDefinedValues(property, count, [&](size_t i) {
        db->Files[i].AttribDefined = 1;
        return property->ReadUInt32(&db->Files[i].Attrib);
      });
    default:
      // Other times, padding and newer properties: skipped by their size.
      return SZ_OK;
  }
}

SRes HeaderParser::ReadNames(ByteReader* reader, CSzArEx* db) {
  RINOK(ReadExternal(reader));
  const size_t bytes = reader->remaining();
  if (bytes % 2)
    return SZ_ERROR_ARCHIVE;
  const Byte* data = reader->current();
  const size_t units = bytes / 2;
  size_t names = 0;
  for (size_t i = 0; i < units; ++i)
    names += data[2 * i] == 0 && data[2 * i + 1] == 0;
  // Exactly one terminated name per entry, and nothing after the last.
  const bool ends_terminated =
      units == 0 || (data[bytes - 2] == 0 && data[bytes - 1] == 0);
  if (names != db->NumFiles || !ends_terminated)
    return SZ_ERROR_ARCHIVE;
  if (db->NumFiles == 0)
    return SZ_OK;

  RINOK(AllocArray(bytes, &db->FileNames));
  RINOK(AllocArray(db->NumFiles + 1, &db->FileNameOffsets));
  memcpy(db->FileNames, data, bytes);
  for (size_t i = 0, name = 0; i < units; ++i) {
    if (data[2 * i] == 0 && data[2 * i + 1] == 0)
      db->FileNameOffsets[++name] = i + 1;
  }
  return reader->Skip(bytes);
}

SRes HeaderParser::MapFilesToFolders(CSzArEx* db, const SubStreams& sub) {
  RINOK(AllocArray(db->NumFolders, &db->FolderStartFile));
  RINOK(AllocArray(db->NumFolders, &db->FolderNumFiles));
  RINOK(AllocArray(db->NumFiles, &db->FileFolder));
  RINOK(AllocArray(db->NumFiles, &db->FileOffsetInFolder));
  UInt32 folder = 0;
  UInt32 in_folder = 0;
  UInt64 offset = 0;
  size_t stream = 0;
  for (UInt32 i = 0; i < db->NumFiles; ++i) {
    CSzFileItem* file = &db->Files[i];
    db->FileFolder[i] = SZ_NO_FOLDER;
    if (!file->HasStream)
      continue;
    while (folder < db->NumFolders && in_folder == sub.counts[folder]) {
      ++folder;
      in_folder = 0;
      offset = 0;
    }
    if (folder == db->NumFolders)
      return SZ_ERROR_ARCHIVE;
    if (in_folder == 0)
      db->FolderStartFile[folder] = i;
    db->FolderNumFiles[folder]++;
    db->FileFolder[i] = folder;
    db->FileOffsetInFolder[i] = offset;
    file->Size = sub.sizes[stream];
    file->CrcDefined = sub.crc_defined[stream];
    file->Crc = sub.crcs[stream];
    offset += file->Size;
    ++in_folder;
    ++stream;
  }
  return SZ_OK;
}

}  // namespace sevenzip
