// A flat, self-describing message: a 4-byte header holding the payload size,
// then the payload, in which every value starts on a 4-byte boundary and
// padding bytes are zero. Integers are little-endian; strings and data are an
// int32 length followed by the units.
//
//   base::Pickle pickle;
//   pickle.WriteString("name");
//   pickle.WriteInt(7);
//   base::PickleIterator iter(pickle);
//   std::string name;
//   int number;
//   if (!iter.ReadString(&name) || !iter.ReadInt(&number))
//     ...  // Malformed: every read is bounds-checked.

#ifndef BASE_PICKLE_H_
#define BASE_PICKLE_H_

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "base/strings/string16.h"

namespace base {

class Pickle;

// Reads the values of a pickle in the order they were written. A read that
// does not fit in what remains fails, leaves |*result| untouched and ends
// the iteration: every later read fails too.
class PickleIterator {
 public:
  PickleIterator() = default;
  explicit PickleIterator(const Pickle& pickle);

  // Any non-zero int32 reads as true.
  [[nodiscard]] bool ReadBool(bool* result);
  [[nodiscard]] bool ReadInt(int* result);
  [[nodiscard]] bool ReadUInt32(uint32_t* result);
  [[nodiscard]] bool ReadInt64(int64_t* result);
  [[nodiscard]] bool ReadUInt64(uint64_t* result);
  [[nodiscard]] bool ReadFloat(float* result);
  [[nodiscard]] bool ReadDouble(double* result);
  [[nodiscard]] bool ReadString(std::string* result);
  [[nodiscard]] bool ReadString16(string16* result);
  // An int32 length then that many bytes; |*data| points into the pickle.
  [[nodiscard]] bool ReadData(const char** data, int* length);
  // |length| raw bytes without a length field; |*data| points into the
  // pickle.
  [[nodiscard]] bool ReadBytes(const char** data, int length);
  // An int32 that must not be negative.
  [[nodiscard]] bool ReadLength(int* result);
  [[nodiscard]] bool SkipBytes(int num_bytes);

  bool ReachedEnd() const { return read_index_ == end_index_; }

 private:
  // The next |num_bytes| bytes, advancing past them and their padding; null
  // (and the end reached) when they are not all there.
  const char* GetReadPointerAndAdvance(size_t num_bytes);
  // As above for |count| elements of |size| bytes, safe against overflow.
  const char* GetReadPointerAndAdvance(int count, size_t size);
  template <typename T>
  bool ReadPOD(T* result);

  const char* payload_ = nullptr;
  size_t read_index_ = 0;
  size_t end_index_ = 0;
};

class Pickle {
 public:
  // An empty, writable pickle.
  Pickle();

  // A read-only pickle over |data_len| received bytes, which must outlive
  // it. The bytes are accepted only when |data_len| is at least 4 and
  // |data_len| minus the payload size in the first 4 bytes is positive, a
  // multiple of 4 and not above |data_len| (that difference is the header
  // size). Otherwise the pickle has no payload: size() is 0, data() is null
  // and every read fails.
  Pickle(const char* data, int data_len);

  // Copies own their bytes and are writable, also copies of read-only
  // pickles.
  Pickle(const Pickle& other);
  Pickle& operator=(const Pickle& other);
  ~Pickle();

  // Header plus payload, the bytes to send.
  size_t size() const;
  const void* data() const;
  size_t payload_size() const;
  const char* payload() const;

  // Appends values. A write fails (false) when the pickle is read-only or
  // would outgrow the 32-bit payload size; a negative length fails too.
  bool WriteBool(bool value) { return WriteInt(value ? 1 : 0); }
  bool WriteInt(int value) { return WritePOD(value); }
  bool WriteUInt32(uint32_t value) { return WritePOD(value); }
  bool WriteInt64(int64_t value) { return WritePOD(value); }
  bool WriteUInt64(uint64_t value) { return WritePOD(value); }
  bool WriteFloat(float value) { return WritePOD(value); }
  bool WriteDouble(double value) { return WritePOD(value); }
  bool WriteString(StringPiece value);
  bool WriteString16(StringPiece16 value);
  // An int32 length, then the bytes.
  bool WriteData(const char* data, int length);
  // The bytes alone, padded; the reader must know the length.
  bool WriteBytes(const void* data, int length);

 private:
  struct Header {
    uint32_t payload_size;
  };

  template <typename T>
  bool WritePOD(T value) {
    return WriteRaw(&value, sizeof(value));
  }
  // Whether |bytes| more payload still fit in the 32-bit size field.
  bool HasRoomFor(size_t bytes) const;
  bool WriteRaw(const void* data, size_t length);
  const char* header() const;

  // Owned bytes (header and payload) of a writable pickle.
  std::vector<char> owned_;
  // The received bytes of a read-only pickle.
  const char* external_ = nullptr;
  bool read_only_ = false;
  // 0 for a read-only pickle whose bytes were refused.
  size_t header_size_ = sizeof(Header);
};

}  // namespace base

#endif  // BASE_PICKLE_H_
