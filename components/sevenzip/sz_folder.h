// The coders of a 7z folder (a solid block) and how their streams join.

#ifndef COMPONENTS_SEVENZIP_SZ_FOLDER_H_
#define COMPONENTS_SEVENZIP_SZ_FOLDER_H_

#include "components/sevenzip/sz_archive.h"

namespace sevenzip {

// The methods this reader decodes, as 7z stores their ids.
constexpr UInt64 kMethodCopy = 0x00;
constexpr UInt64 kMethodLzma = 0x030101;
constexpr UInt64 kMethodLzma2 = 0x21;
constexpr UInt64 kMethodBcjX86 = 0x03030103;
constexpr UInt64 kMethodBcj2 = 0x0303011B;

// Checks a folder read from an archive before anything decodes it: every
// coder is one this reader decodes with sound properties
// (SZ_ERROR_UNSUPPORTED otherwise), every input stream is fed exactly once
// by a packed stream or another coder, and the coders form one tree whose
// root becomes |folder->MainCoder| (SZ_ERROR_ARCHIVE otherwise).
SRes CheckFolder(CSzFolder* folder);

// The index of the first input stream of |coder| among all of the folder's.
UInt32 FirstInStream(const CSzFolder& folder, UInt32 coder);

// The coder whose output feeds input stream |in_index|, or -1.
int FindBoundCoder(const CSzFolder& folder, UInt32 in_index);

// The position of input stream |in_index| among the folder's packed
// streams, or -1.
int FindPackStream(const CSzFolder& folder, UInt32 in_index);

}  // namespace sevenzip

#endif  // COMPONENTS_SEVENZIP_SZ_FOLDER_H_
