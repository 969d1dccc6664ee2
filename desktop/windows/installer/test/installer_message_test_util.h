// Helpers of the installer message tests: an observer that records the
// calls a message is replayed as, and builders of raw message bytes for
// malformed messages.

#ifndef DESKTOP_WINDOWS_INSTALLER_TEST_INSTALLER_MESSAGE_TEST_UTIL_H_
#define DESKTOP_WINDOWS_INSTALLER_TEST_INSTALLER_MESSAGE_TEST_UTIL_H_

#include <stdint.h>

#include <string>
#include <vector>

#include "base/pickle.h"

namespace installer {
namespace test {

// Records each InstallerObserver call as text: "folder", "starting(1)",
// "returned", "total(12)", "step", "error(37055,text,detail)" (text in
// UTF-8) and "success".
class RecordingInstallerObserver {
 public:
  RecordingInstallerObserver();
  ~RecordingInstallerObserver();

  // Decodes |message| and replays it here; false when it was dropped.
  bool Replay(const base::Pickle& message);

  void OnStartingNewMainProcess(bool value);
  void OnReturnedToPreviousMainProcess();
  void OnInstallFolderCreated();
  void OnTotalSteps(int total_steps);
  void OnStep();
  void OnError(int code,
               const std::wstring& message,
               const std::string& detail);
  void OnSuccess();

  const std::vector<std::string>& calls() const { return calls_; }

 private:
  std::vector<std::string> calls_;
};

// Raw bytes of messages, little-endian as on the wire.
std::string Int32Bytes(int32_t value);
// The signature as a pickled narrow string, padding included.
std::string SignatureBytes();
// |payload| behind a 4-byte header holding its size.
std::string WithPickleHeader(const std::string& payload);
// Upper-case hex digits of |bytes|, or "-" when empty (the test sender's
// script form).
std::string ScriptHex(const std::string& bytes);

}  // namespace test
}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_TEST_INSTALLER_MESSAGE_TEST_UTIL_H_
