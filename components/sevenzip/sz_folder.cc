#include "components/sevenzip/sz_folder.h"

#include <LzmaDec.h>

namespace sevenzip {

namespace {

SRes CheckCoder(const CSzCoderInfo& coder) {
  const bool one_input = coder.NumInStreams == 1;
  switch (coder.MethodId) {
    case kMethodCopy:
    case kMethodBcjX86:
      return one_input && coder.PropsSize == 0 ? SZ_OK : SZ_ERROR_UNSUPPORTED;
    case kMethodLzma: {
      CLzmaProps props;
      if (!one_input || coder.PropsSize != LZMA_PROPS_SIZE)
        return SZ_ERROR_UNSUPPORTED;
      return LzmaProps_Decode(&props, coder.Props, coder.PropsSize);
    }
    case kMethodLzma2:
      // Dictionary sizes above 40 do not exist.
      return one_input && coder.PropsSize == 1 && coder.Props[0] <= 40
                 ? SZ_OK
                 : SZ_ERROR_UNSUPPORTED;
    case kMethodBcj2:
      return coder.NumInStreams == 4 && coder.PropsSize == 0
                 ? SZ_OK
                 : SZ_ERROR_UNSUPPORTED;
    default:
      // Encryption and every other method.
      return SZ_ERROR_UNSUPPORTED;
  }
}

UInt32 CountInStreams(const CSzFolder& folder) {
  UInt32 count = 0;
  for (UInt32 i = 0; i < folder.NumCoders; ++i)
    count += folder.Coders[i].NumInStreams;
  return count;
}

// Walks the tree below |coder|; false on a cycle.
bool MarkReachable(const CSzFolder& folder,
                   UInt32 coder,
                   UInt32 depth,
                   bool* reached) {
  if (depth > folder.NumCoders || reached[coder])
    return false;
  reached[coder] = true;
  const UInt32 first = FirstInStream(folder, coder);
  for (UInt32 i = 0; i < folder.Coders[coder].NumInStreams; ++i) {
    const int child = FindBoundCoder(folder, first + i);
    if (child >= 0 && !MarkReachable(folder, child, depth + 1, reached))
      return false;
  }
  return true;
}

}  // namespace

SRes CheckFolder(CSzFolder* folder) {
  if (folder->NumCoders == 0 || folder->NumCoders > SZ_MAX_FOLDER_CODERS)
    return SZ_ERROR_UNSUPPORTED;
  for (UInt32 i = 0; i < folder->NumCoders; ++i)
    RINOK(CheckCoder(folder->Coders[i]));

  const UInt32 num_in = CountInStreams(*folder);
  if (num_in > SZ_MAX_FOLDER_IN_STREAMS ||
      folder->NumBindPairs != folder->NumCoders - 1 ||
      folder->NumPackStreams != num_in - folder->NumBindPairs) {
    return SZ_ERROR_ARCHIVE;
  }
  bool in_fed[SZ_MAX_FOLDER_IN_STREAMS] = {};
  bool out_used[SZ_MAX_FOLDER_CODERS] = {};
  for (UInt32 i = 0; i < folder->NumBindPairs; ++i) {
    const CSzBindPair& pair = folder->BindPairs[i];
    if (pair.InIndex >= num_in || pair.OutIndex >= folder->NumCoders ||
        in_fed[pair.InIndex] || out_used[pair.OutIndex]) {
      return SZ_ERROR_ARCHIVE;
    }
    in_fed[pair.InIndex] = true;
    out_used[pair.OutIndex] = true;
  }
  for (UInt32 i = 0; i < folder->NumPackStreams; ++i) {
    const UInt32 in_index = folder->PackStreams[i];
    if (in_index >= num_in || in_fed[in_index])
      return SZ_ERROR_ARCHIVE;
    in_fed[in_index] = true;
  }

  // Exactly one output is left unread: the folder's data.
  UInt32 main_coder = 0;
  while (out_used[main_coder])
    ++main_coder;
  folder->MainCoder = main_coder;
  bool reached[SZ_MAX_FOLDER_CODERS] = {};
  if (!MarkReachable(*folder, main_coder, 0, reached))
    return SZ_ERROR_ARCHIVE;
  for (UInt32 i = 0; i < folder->NumCoders; ++i) {
    if (!reached[i])
      return SZ_ERROR_ARCHIVE;
  }
  return SZ_OK;
}

UInt32 FirstInStream(const CSzFolder& folder, UInt32 coder) {
  UInt32 first = 0;
  for (UInt32 i = 0; i < coder; ++i)
    first += folder.Coders[i].NumInStreams;
  return first;
}

int FindBoundCoder(const CSzFolder& folder, UInt32 in_index) {
  for (UInt32 i = 0; i < folder.NumBindPairs; ++i) {
    if (folder.BindPairs[i].InIndex == in_index)
      return static_cast<int>(folder.BindPairs[i].OutIndex);
  }
  return -1;
}

int FindPackStream(const CSzFolder& folder, UInt32 in_index) {
  for (UInt32 i = 0; i < folder.NumPackStreams; ++i) {
    if (folder.PackStreams[i] == in_index)
      return static_cast<int>(i);
  }
  return -1;
}

}  // namespace sevenzip
