// Opens the input as a 7z archive and extracts every entry the way
// Archive7z does. Memory and output are bounded so that a small input
// cannot reach the fuzzer's own limits: a refused allocation and a stop
// after enough output are ordinary outcomes, a crash, a sanitizer report,
// a leak or a hang are not.

#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <string>
#include <utility>
#include <vector>

#include "components/sevenzip/sz_archive.h"
#include "components/sevenzip/sz_crc.h"
#include "components/sevenzip/sz_extract.h"
#include "components/sevenzip/test/memory_look_stream.h"

namespace {

constexpr size_t kMaxAllocation = 256 << 20;
constexpr size_t kMaxOutput = 32 << 20;

void PutUi32(UInt32 value, char* p) {
  for (int i = 0; i < 4; ++i)
    p[i] = static_cast<char>(value >> (8 * i));
}

UInt64 GetUi64(const char* p) {
  UInt64 value = 0;
  for (int i = 7; i >= 0; --i)
    value = (value << 8) | static_cast<Byte>(p[i]);
  return value;
}

// A mutation almost never keeps the CRCs of the start header and of the
// header right, and would stop every input there: they are set again, so
// that the tables and coders get fuzzed. Unit tests cover the checks.
void SetHeaderCrcs(std::string* archive) {
  if (archive->size() < 32 || memcmp(archive->data(), "7z\xBC\xAF\x27\x1C", 6))
    return;
  char* start = &(*archive)[0];
  const UInt64 offset = GetUi64(start + 12);
  const UInt64 size = GetUi64(start + 20);
  const UInt64 available = archive->size() - 32;
  if (offset <= available && size <= available - offset)
    PutUi32(sevenzip::Crc32(0, start + 32 + offset, size), start + 28);
  PutUi32(sevenzip::Crc32(0, start + 12, 20), start + 8);
}

// Reads every byte, so that the sanitizers see the whole of what the
// decoders hand out.
size_t Consume(const Byte* data, size_t size) {
  size_t sum = 0;
  for (size_t i = 0; i < size; ++i)
    sum += data[i];
  return sum;
}

void ExtractEntries(const CSzArEx& db, ILookInStream* stream, ISzAlloc* alloc) {
  CSzBlockCache cache;
  size_t output = 0;
  volatile size_t sink = 0;
  for (UInt32 i = 0; i < db.NumFiles && output < kMaxOutput; ++i) {
    std::vector<UInt16> name(SzArEx_GetFileNameUtf16(&db, i, nullptr));
    SzArEx_GetFileNameUtf16(&db, i, name.data());
    if (SzArEx_Extract(&db, stream, i, &cache, alloc, alloc) != SZ_OK)
      break;
    const Byte* data;
    size_t size;
    while (output < kMaxOutput && cache.Look(&data, &size) == SZ_OK &&
           size > 0) {
      sink = sink + Consume(data, size);
      output += size;
      cache.Skip(size);
    }
  }
  cache.Free();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string archive(reinterpret_cast<const char*>(data), size);
  SetHeaderCrcs(&archive);
  sevenzip::test::MemoryLookStream stream(std::move(archive));
  sevenzip::test::CountingAlloc alloc(-1, kMaxAllocation);
  CSzArEx db;
  SzArEx_Init(&db);
  if (SzArEx_Open(&db, stream.stream(), alloc.get(), alloc.get()) == SZ_OK)
    ExtractEntries(db, stream.stream(), alloc.get());
  SzArEx_Free(&db, alloc.get());
  // Blocks of the archive's allocators that were never freed.
  if (alloc.outstanding() != 0)
    __builtin_trap();
  return 0;
}
