#include "components/sevenzip/test/extract_all.h"

#include <stdio.h>
#include <stdlib.h>

#include <algorithm>

#include "components/sevenzip/sz_archive.h"
#include "components/sevenzip/sz_extract.h"
#include "components/sevenzip/test/memory_look_stream.h"

namespace sevenzip {
namespace test {

namespace {

void* HeapAlloc(void*, size_t size) {
  return size ? malloc(size) : nullptr;
}

void HeapFree(void*, void* address) {
  free(address);
}

ISzAlloc g_heap = {HeapAlloc, HeapFree};

SRes ExtractEntry(const CSzArEx& db,
                  ILookInStream* stream,
                  UInt32 index,
                  CSzBlockCache* cache,
                  ISzAlloc* alloc,
                  std::vector<ExtractedEntry>* entries) {
  ExtractedEntry entry;
  std::vector<UInt16> name(SzArEx_GetFileNameUtf16(&db, index, nullptr));
  SzArEx_GetFileNameUtf16(&db, index, name.data());
  entry.name.assign(name.begin(), std::find(name.begin(), name.end(), 0));
  entry.is_dir = db.Files[index].IsDir;
  entry.mtime_defined = db.Files[index].MTimeDefined;
  RINOK(SzArEx_Extract(&db, stream, index, cache, alloc, alloc));
  const Byte* data;
  size_t size;
  SRes res;
  while ((res = cache->Look(&data, &size)) == SZ_OK && size > 0) {
    entry.data.append(reinterpret_cast<const char*>(data), size);
    cache->Skip(size);
  }
  if (res == SZ_OK)
    entries->push_back(entry);
  return res;
}

}  // namespace

SRes ExtractAll(const std::string& archive,
                std::vector<ExtractedEntry>* entries,
                ISzAlloc* alloc,
                bool lookahead,
                const std::vector<UInt32>& order) {
  if (!alloc)
    alloc = &g_heap;
  MemoryLookStream stream(archive, lookahead);
  CSzArEx db;
  SzArEx_Init(&db);
  SRes res = SzArEx_Open(&db, stream.stream(), alloc, alloc);
  CSzBlockCache cache;
  std::vector<UInt32> indexes = order;
  for (UInt32 i = 0; order.empty() && i < db.NumFiles; ++i)
    indexes.push_back(i);
  for (size_t i = 0; res == SZ_OK && i < indexes.size(); ++i)
    res = ExtractEntry(db, stream.stream(), indexes[i], &cache, alloc, entries);
  cache.Free();
  SzArEx_Free(&db, alloc);
  return res;
}

std::string ReadTestFile(const std::string& path) {
  std::string data;
  FILE* file = fopen(path.c_str(), "rb");
  if (!file)
    return data;
  char buffer[65536];
  size_t read;
  while ((read = fread(buffer, 1, sizeof(buffer), file)) > 0)
    data.append(buffer, read);
  fclose(file);
  return data;
}

}  // namespace test
}  // namespace sevenzip
