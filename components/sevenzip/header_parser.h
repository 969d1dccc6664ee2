// Reads the tables of a 7z header into a CSzArEx. Every count is bounded by
// the bytes left in the header before anything is allocated for it, every
// size by the file, and the tables must agree with each other (files with
// data against substreams, substream sizes against their folder).

#ifndef COMPONENTS_SEVENZIP_HEADER_PARSER_H_
#define COMPONENTS_SEVENZIP_HEADER_PARSER_H_

#include <vector>

#include "components/sevenzip/byte_reader.h"
#include "components/sevenzip/sz_archive.h"

namespace sevenzip {

// Property ids of the header.
enum : UInt64 {
  kIdEnd = 0x00,
  kIdHeader = 0x01,
  kIdArchiveProperties = 0x02,
  kIdAdditionalStreamsInfo = 0x03,
  kIdMainStreamsInfo = 0x04,
  kIdFilesInfo = 0x05,
  kIdPackInfo = 0x06,
  kIdUnpackInfo = 0x07,
  kIdSubStreamsInfo = 0x08,
  kIdSize = 0x09,
  kIdCrc = 0x0A,
  kIdFolder = 0x0B,
  kIdCodersUnpackSize = 0x0C,
  kIdNumUnpackStream = 0x0D,
  kIdEmptyStream = 0x0E,
  kIdEmptyFile = 0x0F,
  kIdAnti = 0x10,
  kIdName = 0x11,
  kIdMTime = 0x14,
  kIdWinAttributes = 0x15,
  kIdEncodedHeader = 0x17,
};

// More entries or folders than any package holds are refused rather than
// allocated for.
constexpr UInt32 kMaxEntries = 1 << 20;
// Unpack sizes above this are refused: no package comes near it, and sums
// of sizes cannot overflow below it.
constexpr UInt64 kMaxUnpackSize = UInt64{1} << 40;

class HeaderParser {
 public:
  // Packed streams start at |data_offset| and must end by |data_end|. The
  // tables go to memory of |alloc|.
  HeaderParser(ISzAlloc* alloc, UInt64 data_offset, UInt64 data_end);

  // The streams of an encoded header, after its property id: the packed
  // streams and folders that decode to the real header.
  SRes ReadEncodedHeader(ByteReader* reader, CSzArEx* db);
  // A plain header, after its property id.
  SRes ReadHeader(ByteReader* reader, CSzArEx* db);

 private:
  // Sizes and CRCs of the entries' data within the folders.
  struct SubStreams {
    std::vector<UInt32> counts;  // Per folder.
    std::vector<UInt64> sizes;
    std::vector<Byte> crc_defined;
    std::vector<UInt32> crcs;
  };

  SRes ReadStreamsInfo(ByteReader* reader, CSzArEx* db, SubStreams* sub);
  SRes ReadPackInfo(ByteReader* reader, CSzArEx* db);
  SRes ReadUnpackInfo(ByteReader* reader, CSzArEx* db);
  SRes ReadSubStreamsInfo(ByteReader* reader,
                          const CSzArEx& db,
                          SubStreams* sub);
  SRes ReadSubStreamSizes(ByteReader* reader,
                          const CSzArEx& db,
                          bool sizes_stored,
                          SubStreams* sub);
  // Which entries have no data, and which of those are files.
  struct EmptyEntries {
    bool has_streams = false;
    std::vector<Byte> stream;  // Per entry.
    size_t count = 0;          // Entries without data.
    std::vector<Byte> file;    // Per entry without data.
  };

  SRes ReadFilesInfo(ByteReader* reader, CSzArEx* db, const SubStreams& sub);
  SRes ReadFileProperty(UInt64 type,
                        ByteReader* property,
                        CSzArEx* db,
                        EmptyEntries* empty);
  SRes ReadNames(ByteReader* reader, CSzArEx* db);
  SRes MapFilesToFolders(CSzArEx* db, const SubStreams& sub);
  // Memory of |alloc_| for |count| zeroed items; null for none.
  template <typename T>
  SRes AllocArray(size_t count, T** array);

  ISzAlloc* const alloc_;
  const UInt64 data_offset_;
  const UInt64 data_end_;
};

}  // namespace sevenzip

#endif  // COMPONENTS_SEVENZIP_HEADER_PARSER_H_
