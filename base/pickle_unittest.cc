#include "base/pickle.h"

#include <windows.h>

#include <limits.h>
#include <string.h>

#include "base/logging.h"
#include "gtest/gtest.h"

namespace base {
namespace {

constexpr char kSignature[] = ":Installer message:";

std::string Bytes(const Pickle& pickle) {
  return std::string(static_cast<const char*>(pickle.data()), pickle.size());
}

std::string LittleEndian(uint32_t value) {
  return std::string(reinterpret_cast<const char*>(&value), 4);
}

// Holds bytes so that they end right where an inaccessible page starts: a
// read past the end faults at once instead of going unnoticed.
class GuardedBuffer {
 public:
  explicit GuardedBuffer(const std::string& bytes) {
    SYSTEM_INFO info;
    ::GetSystemInfo(&info);
    const size_t page = info.dwPageSize;
    const size_t data_pages = bytes.size() / page + 1;
    base_ = static_cast<char*>(::VirtualAlloc(nullptr, (data_pages + 1) * page,
                                              MEM_RESERVE | MEM_COMMIT,
                                              PAGE_READWRITE));
    CHECK(base_);
    DWORD old_protection;
    CHECK(::VirtualProtect(base_ + data_pages * page, page, PAGE_NOACCESS,
                           &old_protection));
    data_ = base_ + data_pages * page - bytes.size();
    memcpy(data_, bytes.data(), bytes.size());
    size_ = static_cast<int>(bytes.size());
  }
  ~GuardedBuffer() { ::VirtualFree(base_, 0, MEM_RELEASE); }

  const char* data() const { return data_; }
  int size() const { return size_; }

 private:
  char* base_;
  char* data_;
  int size_;
};

Pickle ErrorMessage(int code,
                    const string16& message,
                    const std::string& detail) {
  Pickle pickle;
  pickle.WriteString(kSignature);
  pickle.WriteInt(5);
  pickle.WriteInt(code);
  pickle.WriteString16(message);
  pickle.WriteString(detail);
  return pickle;
}

TEST(PickleTest, InstallerMessagesHaveTheExpectedBytes) {
  // The signature's 19 bytes are padded to 20; an empty string16 is its
  // length alone.
  const std::string signature_block =
      LittleEndian(19) + kSignature + std::string(1, '\0');
  Pickle error = ErrorMessage(37055, L"", "abc");
  EXPECT_EQ(48u, error.size());
  EXPECT_EQ(44u, error.payload_size());
  EXPECT_EQ(LittleEndian(44) + signature_block + LittleEndian(5) +
                LittleEndian(37055) + LittleEndian(0) + LittleEndian(3) +
                std::string("abc\0", 4),
            Bytes(error));
}

// Reads one value with |read| and checks it.
template <typename T>
void ExpectRead(PickleIterator* iter,
                bool (PickleIterator::*read)(T*),
                const T& expected) {
  T value{};
  ASSERT_TRUE((iter->*read)(&value));
  EXPECT_EQ(expected, value);
}

TEST(PickleTest, EveryTypeRoundTrips) {
  const string16 wide = L"\u00e9\u4e2d\U0001f600";
  Pickle pickle;
  ASSERT_TRUE(pickle.WriteBool(true) && pickle.WriteInt(INT_MIN) &&
              pickle.WriteString("") && pickle.WriteString("odd") &&
              pickle.WriteString16(wide));
  EXPECT_EQ(0u, pickle.payload_size() % 4);

  // Read back from a received copy of the bytes.
  GuardedBuffer received(Bytes(pickle));
  Pickle read_only(received.data(), received.size());
  PickleIterator iter(read_only);
  ExpectRead(&iter, &PickleIterator::ReadBool, true);
  ExpectRead(&iter, &PickleIterator::ReadInt, INT_MIN);
  ExpectRead(&iter, &PickleIterator::ReadString, std::string());
  ExpectRead(&iter, &PickleIterator::ReadString, std::string("odd"));
  ExpectRead(&iter, &PickleIterator::ReadString16, wide);
  EXPECT_TRUE(iter.ReachedEnd());
  int past_end;
  EXPECT_FALSE(iter.ReadInt(&past_end));
}

TEST(PickleTest, ReceivedBlocksAreValidatedBeforeUse) {
  const std::string seven = LittleEndian(7);
  const struct {
    std::string bytes;
    bool valid;
  } cases[] = {{"", false},
               {std::string(3, '\0'), false},
               {LittleEndian(0), true},
               {LittleEndian(4) + seven, true},
               {LittleEndian(5) + seven, false},           // Beyond the block.
               {LittleEndian(8) + seven, false},           // Header of 0.
               {LittleEndian(4) + seven + "x", false},     // Header of 5.
               {LittleEndian(0xFFFFFFFC) + seven, false},  // Would wrap.
               // A larger header is skipped: the payload starts after it.
               {LittleEndian(4) + LittleEndian(9) + seven, true}};
  for (const auto& c : cases) {
    GuardedBuffer buffer(c.bytes);
    Pickle pickle(buffer.data(), buffer.size());
    PickleIterator iter(pickle);
    int value = 0;
    EXPECT_EQ(c.valid, pickle.data() != nullptr) << c.bytes.size();
    EXPECT_EQ(c.valid ? c.bytes.size() : 0u, pickle.size());
    EXPECT_EQ(c.valid && c.bytes.size() > 4, iter.ReadInt(&value));
    EXPECT_EQ(c.valid && c.bytes.size() > 4 ? 7 : 0, value);
  }
  EXPECT_EQ(0u, Pickle(nullptr, 8).size());
  EXPECT_EQ(0u, Pickle("\0\0\0\0", -4).size());

  // The last value may arrive without its padding.
  GuardedBuffer unpadded(LittleEndian(7) + LittleEndian(3) + "abc");
  Pickle pickle(unpadded.data(), unpadded.size());
  PickleIterator iter(pickle);
  ExpectRead(&iter, &PickleIterator::ReadString, std::string("abc"));
  EXPECT_TRUE(iter.ReachedEnd());
}

TEST(PickleTest, HostileLengthsFailWithoutReadingPastTheEnd) {
  // 0x40000002 units are 0x80000004 bytes, which wraps to 4 in 32 bits.
  for (int length : {-1, INT_MIN, INT_MAX, 5, 0x40000002}) {
    GuardedBuffer buffer(LittleEndian(8) +
                         LittleEndian(static_cast<uint32_t>(length)) + "abcd");
    Pickle pickle(buffer.data(), buffer.size());
    std::string narrow = "keep";
    string16 wide = L"keep";
    EXPECT_FALSE(PickleIterator(pickle).ReadString(&narrow)) << length;
    EXPECT_FALSE(PickleIterator(pickle).ReadString16(&wide)) << length;
    EXPECT_EQ("keep", narrow);
    EXPECT_EQ(L"keep", wide);
  }
  // An odd number of bytes left for a string16 of 2 units.
  GuardedBuffer odd(LittleEndian(7) + LittleEndian(2) + "abc");
  Pickle odd_pickle(odd.data(), odd.size());
  string16 wide;
  EXPECT_FALSE(PickleIterator(odd_pickle).ReadString16(&wide));

  // A failed read ends the iteration although bytes remain.
  Pickle pickle;
  pickle.WriteInt(100);
  pickle.WriteInt(-3);
  PickleIterator iter(pickle);
  std::string text;
  int value = 42;
  EXPECT_FALSE(iter.ReadString(&text));
  EXPECT_FALSE(iter.ReadInt(&value));
  EXPECT_TRUE(iter.ReachedEnd());
}

TEST(PickleTest, EveryTruncationOfAMessageFailsToDecode) {
  // A detail of 12 bytes ends the message without padding, so every cut
  // removes real content.
  const Pickle full = ErrorMessage(37060, L"\u00c9chec", "disk is full");
  const std::string bytes = Bytes(full);
  for (size_t length = 0; length < bytes.size(); ++length) {
    std::string cut = bytes.substr(0, length);
    // Both as sent (size field now wrong) and with a matching size field.
    for (bool fix_size : {false, true}) {
      if (fix_size && length >= 4)
        cut.replace(0, 4, LittleEndian(static_cast<uint32_t>(length - 4)));
      GuardedBuffer buffer(cut);
      Pickle pickle(buffer.data(), buffer.size());
      PickleIterator iter(pickle);
      std::string signature, detail;
      int type = 0, code = 0;
      string16 message;
      EXPECT_FALSE(iter.ReadString(&signature) && iter.ReadInt(&type) &&
                   iter.ReadInt(&code) && iter.ReadString16(&message) &&
                   iter.ReadString(&detail))
          << "length " << length << (fix_size ? " with size" : "");
    }
  }
}

TEST(PickleTest, CopiesOwnTheirBytesAndCanGrow) {
  std::string received = Bytes(ErrorMessage(1, L"m", "d"));
  Pickle read_only(received.data(), static_cast<int>(received.size()));
  Pickle copy(read_only);
  received.assign(received.size(), 'X');  // The sender's buffer is reused.
  PickleIterator iter(copy);
  ExpectRead(&iter, &PickleIterator::ReadString, std::string(kSignature));
  const size_t size = copy.size();
  EXPECT_TRUE(copy.WriteInt(9));
  EXPECT_EQ(size + 4, copy.size());

  EXPECT_EQ(nullptr, Pickle(Pickle("\x09\0\0\0", 4)).data());
}

TEST(PickleDeathTest, WritingToAReceivedMessageIsAProgrammingError) {
  const char block[] = {0, 0, 0, 0};
  Pickle read_only(block, 4);
  EXPECT_DEATH(read_only.WriteInt(1), "read-only");
}

}  // namespace
}  // namespace base
