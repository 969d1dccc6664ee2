#include "desktop/windows/installer/ipc/installer_message.h"

#include <string>
#include <vector>

#include "base/strings/string_number_conversions.h"
#include "base/test/scoped_log_capture.h"
#include "desktop/windows/installer/test/installer_message_test_util.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

using test::Int32Bytes;
using test::RecordingInstallerObserver;
using test::SignatureBytes;
using test::WithPickleHeader;

const char kSignatureHex[] = "3A496E7374616C6C6572206D6573736167653A";

std::string Hex(const base::Pickle& pickle) {
  return base::HexEncode(pickle.data(), pickle.size());
}

// Decodes the bytes of |block| as received from the mailslot.
std::vector<std::string> ReplayBlock(const std::string& block) {
  base::Pickle pickle(block.data(), static_cast<int>(block.size()));
  RecordingInstallerObserver observer;
  observer.Replay(pickle);
  return observer.calls();
}

std::string Repeat(const std::string& text, size_t times) {
  std::string result;
  for (size_t i = 0; i < times; ++i)
    result += text;
  return result;
}

TEST(InstallerMessageTest, WireBytesOfStepAndError) {
  EXPECT_EQ(
      std::string("1C000000") + "13000000" + kSignatureHex + "00" + "04000000",
      Hex(*MakeStepMessage()));
  EXPECT_EQ(std::string("2C000000") + "13000000" + kSignatureHex + "00" +
                "05000000" + "BF900000" + "00000000" + "03000000" + "61626300",
            Hex(*MakeErrorMessage(37055, L"", "abc")));
  // A wide text is UTF-16LE units padded to 4 bytes.
  EXPECT_EQ(std::string("01000000") + "01000000" + "41000000" + "00000000",
            Hex(*MakeErrorMessage(1, L"A", "")).substr(2 * 32));
}

TEST(InstallerMessageTest, ErrorTextsAreShortenedToFit) {
  const std::wstring a500(500, L'\u00c4');
  const std::string e1004 = Repeat("\xC3\xA9", 502);
  std::wstring emoji;
  for (int i = 0; i < 2000; ++i)
    emoji += L"\U0001F600";
  const std::string euro = Repeat("\xE2\x82\xAC", 2000);
  const struct {
    std::wstring message;
    std::string detail;
    std::wstring expected_message;
    std::string expected_detail;
  } cases[] = {
      // 44 + 1000 + 1004 bytes: exactly the limit, nothing cut.
      {a500, e1004, a500, e1004},
      // One byte more: the detail is cut at 1001 bytes, mid-character.
      {a500, e1004 + "x", a500, e1004.substr(0, 1000) + "..."},
      // A short text leaves the rest of the room to the other one.
      {L"short", std::string(5000, 'd'), L"short",
       std::string(1989, 'd') + "..."},
      // Cuts mid-pair and mid-sequence keep whole characters only.
      {emoji, euro, emoji.substr(0, 496) + L"...", euro.substr(0, 999) + "..."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << c.message.size() << "/" << c.detail.size());
    std::unique_ptr<base::Pickle> pickle =
        MakeErrorMessage(37055, c.message, c.detail);
    EXPECT_LE(pickle->size(), kMaxInstallerMessageSize);
    InstallerMessage decoded;
    ASSERT_TRUE(DecodeInstallerMessage(*pickle, &decoded));
    EXPECT_EQ(c.expected_message, decoded.error_message);
    EXPECT_EQ(c.expected_detail, decoded.error_detail);
  }
}

TEST(InstallerMessageTest, MalformedBlocksAreDroppedWithTheirLogLine) {
  const std::string header_ok = SignatureBytes();
  const std::string without_signature =
      "Received a message without installer signature";
  const std::string invalid_error =
      "Received invalid IPC_MESSAGE_ERROR message";
  const std::string error_header =
      header_ok + Int32Bytes(5) + Int32Bytes(37055);
  const struct {
    const char* name;
    std::string block;
    std::string log_line;  // Empty: no warning or error at all.
  } cases[] = {
      {"3 bytes", std::string("\x1C\0\0", 3), without_signature},
      {"18-character signature",
       WithPickleHeader(Int32Bytes(18) + ":Installer message" +
                        std::string(2, '\0') + Int32Bytes(4)),
       without_signature},
      {"type 7", WithPickleHeader(header_ok + Int32Bytes(7)),
       "Received installer message with invalid type"},
      {"half a count", WithPickleHeader(header_ok + Int32Bytes(3) + "\x05\0"),
       "Received invalid IPC_MESSAGE_TOTAL_STEPS message"},
      {"negative text length",
       WithPickleHeader(error_header + Int32Bytes(-1) + Int32Bytes(0)),
       invalid_error},
      {"three units in four bytes",
       WithPickleHeader(error_header + Int32Bytes(3) + "A\0B\0"),
       invalid_error},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    base::ScopedLogCapture log;
    EXPECT_TRUE(ReplayBlock(c.block).empty());
    std::vector<std::string> problems = log.LinesOf(logging::LOG_WARNING);
    if (c.log_line.empty()) {
      EXPECT_TRUE(problems.empty());
    } else {
      ASSERT_EQ(1u, problems.size());
      EXPECT_NE(std::string::npos, problems[0].find(c.log_line));
    }
  }
}

}  // namespace
}  // namespace installer
