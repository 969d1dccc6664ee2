// The database of a 7z archive in the LZMA SDK's shape: SzArEx_Init,
// SzArEx_Open over a look-to-read stream, SzArEx_Free, and the entries with
// their sizes, CRCs, times and UTF-16 names. Entry data is decoded by
// SzArEx_Extract (sz_extract.h).
//
// Archives are untrusted input: SzArEx_Open bounds every count and size by
// the header and the file before using it, checks the header CRCs, and
// refuses what it cannot decode (encryption, other methods, data outside
// the file) with SZ_ERROR_UNSUPPORTED or SZ_ERROR_ARCHIVE, so that no
// extraction starts on an archive that would give garbage.
//
//   CSzArEx db;
//   SzArEx_Init(&db);
//   SRes res = SzArEx_Open(&db, &look_stream.s, &alloc, &alloc_temp);
//   ...
//   SzArEx_Free(&db, &alloc);

#ifndef COMPONENTS_SEVENZIP_SZ_ARCHIVE_H_
#define COMPONENTS_SEVENZIP_SZ_ARCHIVE_H_

#include <Types.h>

#include <stddef.h>

// Limits of the folders this reader decodes. The largest supported folder,
// BCJ2 with its three LZMA coders, has four coders and seven input streams.
#define SZ_MAX_FOLDER_CODERS 4
#define SZ_MAX_CODER_IN_STREAMS 4
#define SZ_MAX_FOLDER_IN_STREAMS 8
#define SZ_MAX_CODER_PROPS 8

// The folder of an entry without data.
#define SZ_NO_FOLDER ((UInt32)-1)

typedef struct {
  UInt64 MethodId;
  UInt32 NumInStreams;
  UInt32 PropsSize;
  Byte Props[SZ_MAX_CODER_PROPS];
} CSzCoderInfo;

// Joins an input stream of one coder to the output of another. Every coder
// of a supported folder has exactly one output, so an output index is the
// index of its coder.
typedef struct {
  UInt32 InIndex;
  UInt32 OutIndex;
} CSzBindPair;

typedef struct {
  UInt32 NumCoders;
  CSzCoderInfo Coders[SZ_MAX_FOLDER_CODERS];
  UInt32 NumBindPairs;
  CSzBindPair BindPairs[SZ_MAX_FOLDER_CODERS - 1];
  // The input stream index fed by each packed stream, in archive order.
  UInt32 NumPackStreams;
  UInt32 PackStreams[SZ_MAX_FOLDER_IN_STREAMS];
  // The size of each coder's output.
  UInt64 UnpackSizes[SZ_MAX_FOLDER_CODERS];
  // The coder whose output no other coder reads: the folder's data.
  UInt32 MainCoder;
  UInt32 UnpackCrc;
  Byte UnpackCrcDefined;
} CSzFolder;

typedef struct {
  UInt32 Low;
  UInt32 High;
} CNtfsFileTime;

typedef struct {
  CNtfsFileTime MTime;
  UInt64 Size;
  UInt32 Crc;
  UInt32 Attrib;
  Byte HasStream;
  Byte IsDir;
  Byte CrcDefined;
  Byte MTimeDefined;
  Byte AttribDefined;
} CSzFileItem;

typedef struct {
  // Absolute file offsets of the packed streams; entry NumPackStreams is the
  // end of the last one.
  UInt32 NumPackStreams;
  UInt64* PackStreamOffsets;

  UInt32 NumFolders;
  CSzFolder* Folders;
  UInt32* FolderStartPackStream;
  // The first entry with data of each folder and how many it holds.
  UInt32* FolderStartFile;
  UInt32* FolderNumFiles;

  UInt32 NumFiles;
  CSzFileItem* Files;
  // The folder of each entry (SZ_NO_FOLDER without data) and where its data
  // starts in the folder's output.
  UInt32* FileFolder;
  UInt64* FileOffsetInFolder;

  // UTF-16LE names, each with its terminator; NumFiles + 1 offsets in
  // UTF-16 units. Both null when the archive stores no names.
  size_t* FileNameOffsets;
  Byte* FileNames;
} CSzArEx;

void SzArEx_Init(CSzArEx* p);

// Reads the signature header, the (possibly encoded) header and every
// table. |alloc_main| keeps the database; |alloc_temp| holds what only the
// opening needs. On failure the database is left empty but must still be
// freed. Returns SZ_ERROR_NO_ARCHIVE for a file that is not 7z,
// SZ_ERROR_INPUT_EOF for a truncated one, SZ_ERROR_CRC, SZ_ERROR_ARCHIVE for
// malformed tables, SZ_ERROR_UNSUPPORTED, SZ_ERROR_MEM or a stream error.
SRes SzArEx_Open(CSzArEx* p,
                 ILookInStream* in_stream,
                 ISzAlloc* alloc_main,
                 ISzAlloc* alloc_temp);

void SzArEx_Free(CSzArEx* p, ISzAlloc* alloc);

// Copies the name of entry |file_index| (with its terminator) to |dest|
// when not null, and returns its length in UTF-16 units including the
// terminator; 0 when the archive stores no names.
size_t SzArEx_GetFileNameUtf16(const CSzArEx* p,
                               size_t file_index,
                               UInt16* dest);

#endif  // COMPONENTS_SEVENZIP_SZ_ARCHIVE_H_
