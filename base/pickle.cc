#include "base/pickle.h"

#include <string.h>

#include <algorithm>
#include <limits>

#include "base/logging.h"

namespace base {

namespace {

constexpr size_t kAlignment = sizeof(uint32_t);

// Only used on sizes bounded by a 32-bit payload, so it cannot wrap.
size_t AlignUp(size_t size) {
  return (size + kAlignment - 1) & ~(kAlignment - 1);
}

uint32_t PayloadSizeField(const char* header) {
  uint32_t payload_size;
  memcpy(&payload_size, header, sizeof(payload_size));
  return payload_size;
}

}  // namespace

PickleIterator::PickleIterator(const Pickle& pickle)
    : payload_(pickle.payload()), end_index_(pickle.payload_size()) {}

const char* PickleIterator::GetReadPointerAndAdvance(size_t num_bytes) {
  if (!payload_ || num_bytes > end_index_ - read_index_) {
    read_index_ = end_index_;
    return nullptr;
  }
  const char* current = payload_ + read_index_;
  // A received message may end without the padding of its last value.
  read_index_ += std::min(AlignUp(num_bytes), end_index_ - read_index_);
  return current;
}

const char* PickleIterator::GetReadPointerAndAdvance(int count, size_t size) {
  DCHECK_GT(size, 0u);
  const size_t remaining = end_index_ - read_index_;
  if (count < 0 || static_cast<size_t>(count) > remaining / size) {
    read_index_ = end_index_;
    return nullptr;
  }
  return GetReadPointerAndAdvance(static_cast<size_t>(count) * size);
}

template <typename T>
bool PickleIterator::ReadPOD(T* result) {
  const char* source = GetReadPointerAndAdvance(sizeof(T));
  if (!source)
    return false;
  memcpy(result, source, sizeof(T));
  return true;
}

bool PickleIterator::ReadBool(bool* result) {
  int value;
  if (!ReadInt(&value))
    return false;
  *result = value != 0;
  return true;
}

bool PickleIterator::ReadInt(int* result) {
  return ReadPOD(result);
}

bool PickleIterator::ReadUInt32(uint32_t* result) {
  return ReadPOD(result);
}

bool PickleIterator::ReadInt64(int64_t* result) {
  return ReadPOD(result);
}

bool PickleIterator::ReadUInt64(uint64_t* result) {
  return ReadPOD(result);
}

bool PickleIterator::ReadFloat(float* result) {
  return ReadPOD(result);
}

bool PickleIterator::ReadDouble(double* result) {
  return ReadPOD(result);
}

bool PickleIterator::ReadString(std::string* result) {
  int length;
  if (!ReadInt(&length))
    return false;
  const char* chars = GetReadPointerAndAdvance(length, sizeof(char));
  if (!chars)
    return false;
  result->assign(chars, static_cast<size_t>(length));
  return true;
}

bool PickleIterator::ReadString16(string16* result) {
  int length;
  if (!ReadInt(&length))
    return false;
  const char* units = GetReadPointerAndAdvance(length, sizeof(char16));
  if (!units)
    return false;
  result->resize(static_cast<size_t>(length));
  if (length > 0)
    memcpy(result->data(), units, static_cast<size_t>(length) * sizeof(char16));
  return true;
}

bool PickleIterator::ReadData(const char** data, int* length) {
  int data_length;
  const char* bytes;
  if (!ReadLength(&data_length) || !ReadBytes(&bytes, data_length))
    return false;
  *data = bytes;
  *length = data_length;
  return true;
}

bool PickleIterator::ReadBytes(const char** data, int length) {
  const char* bytes = GetReadPointerAndAdvance(length, 1);
  if (!bytes)
    return false;
  *data = bytes;
  return true;
}

bool PickleIterator::ReadLength(int* result) {
  int length;
  if (!ReadInt(&length) || length < 0)
    return false;
  *result = length;
  return true;
}

bool PickleIterator::SkipBytes(int num_bytes) {
  return GetReadPointerAndAdvance(num_bytes, 1) != nullptr;
}

Pickle::Pickle() : owned_(sizeof(Header), 0) {}

Pickle::Pickle(const char* data, int data_len)
    : external_(data), read_only_(true), header_size_(0) {
  // Unsigned arithmetic only after the length is known to be sane, so a
  // hostile payload size cannot wrap around.
  if (data && data_len >= static_cast<int>(sizeof(Header))) {
    const size_t length = static_cast<size_t>(data_len);
    const size_t payload_size = PayloadSizeField(data);
    if (payload_size < length) {
      const size_t header_size = length - payload_size;
      if (header_size >= sizeof(Header) && header_size % kAlignment == 0)
        header_size_ = header_size;
    }
  }
  if (!header_size_) {
    VLOG(1) << "Refusing a pickle of " << data_len
            << " bytes: its payload size does not match";
    external_ = nullptr;
  }
}

Pickle::Pickle(const Pickle& other) {
  *this = other;
}

Pickle& Pickle::operator=(const Pickle& other) {
  if (this == &other)
    return *this;
  header_size_ = other.header_size_;
  external_ = nullptr;
  read_only_ = header_size_ == 0;
  owned_.clear();
  if (header_size_) {
    const char* bytes = other.header();
    owned_.assign(bytes, bytes + other.size());
  }
  return *this;
}

Pickle::~Pickle() = default;

size_t Pickle::size() const {
  return header_size_ ? header_size_ + payload_size() : 0;
}

const void* Pickle::data() const {
  return header_size_ ? header() : nullptr;
}

size_t Pickle::payload_size() const {
  return header_size_ ? PayloadSizeField(header()) : 0;
}

const char* Pickle::payload() const {
  return header_size_ ? header() + header_size_ : nullptr;
}

const char* Pickle::header() const {
  return read_only_ ? external_ : owned_.data();
}

bool Pickle::WriteString(StringPiece value) {
  if (value.size() > static_cast<size_t>(std::numeric_limits<int>::max()))
    return false;
  return WriteData(value.data(), static_cast<int>(value.size()));
}

bool Pickle::WriteString16(StringPiece16 value) {
  if (value.size() > static_cast<size_t>(std::numeric_limits<int>::max()))
    return false;
  const size_t bytes = value.size() * sizeof(char16);
  // The length and the units go in together or not at all.
  if (!HasRoomFor(sizeof(int) + AlignUp(bytes)))
    return false;
  return WriteInt(static_cast<int>(value.size())) &&
         WriteRaw(value.data(), bytes);
}

bool Pickle::WriteData(const char* data, int length) {
  if (length < 0 || !HasRoomFor(sizeof(int) + AlignUp(length)))
    return false;
  return WriteInt(length) && WriteRaw(data, static_cast<size_t>(length));
}

bool Pickle::WriteBytes(const void* data, int length) {
  if (length < 0)
    return false;
  return WriteRaw(data, static_cast<size_t>(length));
}

bool Pickle::HasRoomFor(size_t bytes) const {
  const size_t limit = std::numeric_limits<uint32_t>::max();
  return bytes <= limit && payload_size() <= limit - bytes;
}

bool Pickle::WriteRaw(const void* data, size_t length) {
  DCHECK(!read_only_) << "Writing to a read-only pickle";
  if (read_only_ || length > std::numeric_limits<uint32_t>::max() ||
      !HasRoomFor(AlignUp(length))) {
    return false;
  }
  const size_t padded = AlignUp(length);
  const size_t offset = owned_.size();
  owned_.resize(offset + padded, 0);
  if (length)
    memcpy(owned_.data() + offset, data, length);
  const uint32_t new_payload_size =
      static_cast<uint32_t>(payload_size() + padded);
  memcpy(owned_.data(), &new_payload_size, sizeof(new_payload_size));
  return true;
}

}  // namespace base
