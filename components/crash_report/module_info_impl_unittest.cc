#include "components/crash_report/module_info_impl.h"

#include <string.h>

#include <string>
#include <vector>

#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/test/scoped_log_capture.h"
#include "base/win/scoped_handle.h"
#include "gtest/gtest.h"

namespace crash_report {
namespace {

constexpr uint64_t kBase = 0x180000000;
constexpr uint32_t kTimeStamp = 0x5A5A5A5A;
constexpr size_t kResources = 0x200;    // File offset; address 0x2000.
constexpr size_t kVersionData = 0x260;  // File offset; address 0x2060.

// A PE32+ image with one section holding a resource directory whose one
// version resource is |version_data|, declared |declared_size| long.
class ImageBuilder {
 public:
  ImageBuilder() : bytes_(kVersionData) {
    Put16(0, 0x5A4D);         // "MZ"
    Put32(0x3C, 0x40);        // e_lfanew
    Put32(0x40, 0x00004550);  // "PE\0\0"
    Put16(0x44, 0x8664);      // Machine
    Put16(0x46, 1);           // NumberOfSections
    Put32(0x48, kTimeStamp);
    Put16(0x54, 240);           // SizeOfOptionalHeader
    Put16(0x58, 0x20B);         // PE32+
    Put32(0x5C, 0x1000);        // SizeOfCode
    Put32(0x6C, 0x1000);        // BaseOfCode
    Put32(0xC4, 16);            // NumberOfRvaAndSizes
    Put32(0xD8, 0x2000);        // Resource directory address
    Put32(0xDC, 0x100);         // and size
    Put32(0x148 + 12, 0x2000);  // Section address
    Put32(0x148 + 16, 0x1000);  // raw size
    Put32(0x148 + 20, kResources);
    // Type 16, id 1, then the first language's data entry.
    Put16(kResources + 14, 1);
    Put32(kResources + 16, 16);
    Put32(kResources + 20, 0x80000018);
    Put16(kResources + 0x18 + 14, 1);
    Put32(kResources + 0x28, 1);
    Put32(kResources + 0x2C, 0x80000030);
    Put16(kResources + 0x30 + 14, 1);
    Put32(kResources + 0x40, 0x409);
    Put32(kResources + 0x44, 0x48);
    Put32(kResources + 0x48, 0x2060);
  }

  void SetVersionData(const std::string& utf16_bytes, uint32_t declared_size) {
    bytes_.resize(kVersionData);
    bytes_.insert(bytes_.end(), utf16_bytes.begin(), utf16_bytes.end());
    Put32(kResources + 0x4C, declared_size);
  }

  void Put16(size_t offset, uint16_t value) { Put(offset, &value, 2); }
  void Put32(size_t offset, uint32_t value) { Put(offset, &value, 4); }
  std::vector<uint8_t>& bytes() { return bytes_; }

 private:
  void Put(size_t offset, const void* value, size_t size) {
    if (bytes_.size() < offset + size)
      bytes_.resize(offset + size);
    memcpy(bytes_.data() + offset, value, size);
  }

  std::vector<uint8_t> bytes_;
};

// |text| as UTF-16 bytes, with the terminator when asked.
std::string Utf16(const std::string& text, bool terminated = true) {
  std::string bytes;
  for (char c : text) {
    bytes += c;
    bytes += '\0';
  }
  return terminated ? bytes + std::string(2, '\0') : bytes;
}

class ModuleInfoImplTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir_.CreateUniqueTempDir()); }

  // A module read from a file holding |bytes|.
  void Load(const std::vector<uint8_t>& bytes,
            const wchar_t* name,
            ModuleInfoImpl* module) {
    base::FilePath path = dir_.GetPath().AppendASCII("module.dll");
    ASSERT_EQ(static_cast<int>(bytes.size()),
              base::WriteFile(path, reinterpret_cast<const char*>(bytes.data()),
                              bytes.size()));
    base::win::ScopedHandle file(
        ::CreateFileW(path.value().c_str(), GENERIC_READ, FILE_SHARE_READ,
                      nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(file.IsValid());
    module->Init(name, file.Get(), kBase, 0x3000);
  }

  base::ScopedTempDir dir_;
  base::ScopedLogCapture log_;
  ImageBuilder image_;
};

TEST_F(ModuleInfoImplTest, ReadsTheHeadersAndTheVersionResource) {
  std::string data = Utf16("FileVersion") + Utf16("1.2.3.4") +
                     Utf16("OriginalFilename") + Utf16("orig.dll");
  image_.SetVersionData(data, data.size());
  ModuleInfoImpl module;
  Load(image_.bytes(), L"", &module);
  EXPECT_STREQ("orig.dll", module.GetName());
  EXPECT_STREQ("1.2.3.4", module.GetVersion());
  EXPECT_EQ(kTimeStamp, module.GetTimestamp());
  EXPECT_EQ(kBase, module.GetCodeStart());
  EXPECT_EQ(0x2000u, module.GetCodeSize());
  EXPECT_EQ(0x3000u, module.GetSize());

  // A given name is kept; only its low bytes are used, at most 127.
  ModuleInfoImpl named;
  Load(image_.bytes(), std::wstring(200, L'\x141').c_str(), &named);
  EXPECT_EQ(std::string(127, '\x41'), named.GetName());
}

// The module's file comes from outside: a value running to the end of the
// resource, or a resource running past the file, is cut there.
TEST_F(ModuleInfoImplTest, StaysInsideTheResourceAndTheFile) {
  std::string data = Utf16("FileVersion") + Utf16("9.9", false);
  image_.SetVersionData(data + Utf16("-beyond-the-resource"), data.size());
  ModuleInfoImpl cut;
  Load(image_.bytes(), L"a.dll", &cut);
  EXPECT_STREQ("9.9", cut.GetVersion());

  image_.SetVersionData(data, 0x100000);
  ModuleInfoImpl past_the_file;
  Load(image_.bytes(), L"b.dll", &past_the_file);
  EXPECT_STREQ("9.9", past_the_file.GetVersion());
}

TEST_F(ModuleInfoImplTest, KeepsWhatIsKnownOfADamagedOrMissingFile) {
  image_.SetVersionData(Utf16("FileVersion") + Utf16("1.0"), 0x20);
  struct Damage {
    const char* name;
    size_t offset;
    uint32_t value;
    bool headers_read;
  } damages[] = {
      {"e_lfanew outside the file", 0x3C, 0x7FFFFFF0, false},
      {"no PE signature", 0x40, 0x12345678, false},
      {"resources outside every section", 0xD8, 0x900000, true},
      {"a subdirectory outside the file", kResources + 20, 0x8FFFFFF0, true},
      {"version data outside the file", kResources + 0x48, 0x2FF0, true},
      {"section raw data outside the file", 0x148 + 20, 0x7FFFFF00, true},
  };
  for (const Damage& damage : damages) {
    SCOPED_TRACE(damage.name);
    ImageBuilder damaged = image_;
    damaged.Put32(damage.offset, damage.value);
    ModuleInfoImpl module;
    Load(damaged.bytes(), L"damaged.dll", &module);
    EXPECT_STREQ("damaged.dll", module.GetName());
    EXPECT_STREQ("", module.GetVersion());
    EXPECT_EQ(damage.headers_read ? kTimeStamp : 0u, module.GetTimestamp());
  }

  // Without its file a module still has its name, base and size, but no
  // code: no pointer counts as one into it.
  ModuleInfoImpl missing;
  missing.Init(L"gone.dll", INVALID_HANDLE_VALUE, kBase, 0x3000);
  EXPECT_STREQ("gone.dll", missing.GetName());
  EXPECT_EQ(kBase, missing.GetBaseAddress());
  EXPECT_EQ(0u, missing.GetCodeSize());
  EXPECT_EQ(0u, missing.GetTimestamp());
}

}  // namespace
}  // namespace crash_report
