#include "desktop/windows/installer/test/installer_message_test_util.h"

#include <string.h>

#include "base/strings/string_number_conversions.h"
#include "base/strings/utf_string_conversions.h"
#include "desktop/windows/installer/ipc/installer_message.h"

namespace installer {
namespace test {

RecordingInstallerObserver::RecordingInstallerObserver() = default;
RecordingInstallerObserver::~RecordingInstallerObserver() = default;

bool RecordingInstallerObserver::Replay(const base::Pickle& message) {
  InstallerMessage decoded;
  if (!DecodeInstallerMessage(message, &decoded))
    return false;
  ReplayInstallerMessage(decoded, this);
  return true;
}

void RecordingInstallerObserver::OnStartingNewMainProcess(bool value) {
  calls_.push_back(value ? "starting(1)" : "starting(0)");
}

void RecordingInstallerObserver::OnReturnedToPreviousMainProcess() {
  calls_.push_back("returned");
}

void RecordingInstallerObserver::OnInstallFolderCreated() {
  calls_.push_back("folder");
}

void RecordingInstallerObserver::OnTotalSteps(int total_steps) {
  calls_.push_back("total(" + std::to_string(total_steps) + ")");
}

void RecordingInstallerObserver::OnStep() {
  calls_.push_back("step");
}

void RecordingInstallerObserver::OnError(int code,
                                         const std::wstring& message,
                                         const std::string& detail) {
  calls_.push_back("error(" + std::to_string(code) + "," +
                   base::WideToUTF8(message) + "," + detail + ")");
}

void RecordingInstallerObserver::OnSuccess() {
  calls_.push_back("success");
}

std::string Int32Bytes(int32_t value) {
  char bytes[sizeof(value)];
  memcpy(bytes, &value, sizeof(value));
  return std::string(bytes, sizeof(bytes));
}

std::string SignatureBytes() {
  const std::string signature = kInstallerMessageSignature;
  return Int32Bytes(static_cast<int32_t>(signature.size())) + signature +
         std::string(1, '\0');
}

std::string WithPickleHeader(const std::string& payload) {
  return Int32Bytes(static_cast<int32_t>(payload.size())) + payload;
}

std::string ScriptHex(const std::string& bytes) {
  return bytes.empty() ? "-" : base::HexEncode(bytes.data(), bytes.size());
}

}  // namespace test
}  // namespace installer
