// Sends installer messages to a mailslot as a backend would, for the IPC
// tests:
//
//   ipc_test_sender.exe --mailslot=NAME --script=FILE [--direct]
//
// NAME is the endpoint name (what follows "\\.\mailslot\"). Launched as an
// installer backend instead (a copy named installer.exe), it takes the
// mailslot of its `installfolder` and the script beside itself, the file
// named like the program followed by ".script", and appends its command
// line to the file named like the program followed by ".log". FILE holds one
// command a line:
//   connect                 opens the mailslot; prints "connect 1" or
//                           "connect 0"
//   starting 0|1, returned, folder, total N, step, success
//                           one message of that type
//   error CODE TEXT DETAIL  an error message; TEXT and DETAIL are the hex
//                           digits of UTF-8 text, "-" when empty
//   big SIZE                a step message padded to SIZE bytes (a multiple
//                           of 4)
//   raw HEX                 these bytes as one message, "-" for none
//                           (--direct only)
//   sleep MS                waits
//   wait-event NAME MS      waits until the named event is set; ends the
//                           process with 3 when MS pass first (NAME may
//                           hold blanks)
//   close                   closes
//   touch PATH              creates the empty file PATH (the rest of the
//                           line), for a test to see
//                           that the script got there
//   exit N                  ends the process with exit code N
//   crash                   ends the process with an access violation
// The messages go through IPCSender, success and error as results. With
// --direct each is written at once with WriteFile from this thread,
// unchecked, so that a test can send what IPCSender refuses.
//
// Exits with 0 when every line ran, 2 on a bad command line or script line.

#include <windows.h>

#include <stdio.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "base/at_exit.h"
#include "base/command_line.h"
#include "base/files/file_util.h"
#include "base/path_service.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/utf_string_conversions.h"
#include "base/win/scoped_handle.h"
#include "desktop/windows/installer/installer_object_names.h"
#include "desktop/windows/installer/ipc/installer_message.h"
#include "desktop/windows/installer/ipc/ipc_sender.h"
#include "desktop/windows/installer/ipc/ipc_util.h"
#include "desktop/windows/installer/product/installer_switches.h"

namespace installer {
namespace {

constexpr int kBadUsage = 2;

bool DecodeHexText(const std::string& hex, std::string* text) {
  text->clear();
  if (hex == "-")
    return true;
  std::vector<uint8_t> bytes;
  if (!base::HexStringToBytes(hex, &bytes))
    return false;
  text->assign(bytes.begin(), bytes.end());
  return true;
}

constexpr int kEventNotSet = 3;

void WaitForEvent(const std::wstring& name, DWORD ms) {
  base::win::ScopedHandle event(::OpenEventW(SYNCHRONIZE, FALSE, name.c_str()));
  if (!event.IsValid() ||
      ::WaitForSingleObject(event.Get(), ms) != WAIT_OBJECT_0) {
    fprintf(stderr, "event %ls not set\n", name.c_str());
    ::ExitProcess(kEventNotSet);
  }
}

class ScriptRunner {
 public:
  ScriptRunner(const std::wstring& name, bool direct)
      : name_(name), direct_(direct) {}

  // Runs one line; false when it cannot be understood.
  bool Run(const std::string& line);

 private:
  bool RunMessage(const std::string& command, std::istringstream* arguments);
  std::unique_ptr<base::Pickle> MakeError(std::istringstream* arguments);
  std::unique_ptr<base::Pickle> MakeBig(std::istringstream* arguments);
  void Connect();
  void Close();
  void Send(std::unique_ptr<base::Pickle> message);
  void WriteDirect(const void* bytes, size_t size);

  const std::wstring name_;
  const bool direct_;
  IPCSender sender_;
  base::win::ScopedHandle direct_mailslot_;
};

bool ScriptRunner::Run(const std::string& line) {
  std::istringstream arguments(line);
  std::string command;
  if (!(arguments >> command))
    return true;
  if (command == "connect") {
    Connect();
  } else if (command == "close") {
    Close();
  } else if (command == "sleep") {
    int ms = 0;
    if (!(arguments >> ms))
      return false;
    ::Sleep(ms);
  } else if (command == "wait-event") {
    // The name may hold blanks (a folder's): the time is the last word.
    std::string rest;
    std::getline(arguments >> std::ws, rest);
    const size_t blank = rest.rfind(' ');
    unsigned ms = 0;
    if (blank == std::string::npos ||
        !base::StringToUint(rest.substr(blank + 1), &ms)) {
      return false;
    }
    WaitForEvent(base::UTF8ToWide(rest.substr(0, blank)), ms);
  } else if (command == "touch") {
    std::string path;
    std::getline(arguments >> std::ws, path);
    if (path.empty())
      return false;
    base::WriteFile(base::FilePath(base::UTF8ToWide(path)), "", 0);
  } else if (command == "exit") {
    int code = 0;
    if (!(arguments >> code))
      return false;
    ::ExitProcess(code);
  } else if (command == "crash") {
    *static_cast<volatile int*>(nullptr) = 0;
  } else if (command == "raw") {
    std::string hex, bytes;
    if (!direct_ || !(arguments >> hex) || !DecodeHexText(hex, &bytes))
      return false;
    WriteDirect(bytes.data(), bytes.size());
  } else {
    return RunMessage(command, &arguments);
  }
  return true;
}

bool ScriptRunner::RunMessage(const std::string& command,
                              std::istringstream* arguments) {
  std::unique_ptr<base::Pickle> message;
  int number = 0;
  if (command == "starting" && (*arguments >> number))
    message = MakeStartingNewMainProcessMessage(number != 0);
  else if (command == "returned")
    message = MakeReturnedToPreviousMainProcessMessage();
  else if (command == "folder")
    message = MakeInstallFolderCreatedMessage();
  else if (command == "total" && (*arguments >> number))
    message = MakeTotalStepsMessage(number);
  else if (command == "step")
    message = MakeStepMessage();
  else if (command == "success")
    message = MakeSuccessMessage();
  else if (command == "error")
    message = MakeError(arguments);
  else if (command == "big")
    message = MakeBig(arguments);
  if (!message)
    return false;
  if (!direct_ && (command == "success" || command == "error"))
    sender_.SendResult(std::move(message));
  else
    Send(std::move(message));
  return true;
}

std::unique_ptr<base::Pickle> ScriptRunner::MakeError(
    std::istringstream* arguments) {
  int code = 0;
  std::string text_hex, detail_hex, text, detail;
  if (!(*arguments >> code >> text_hex >> detail_hex) ||
      !DecodeHexText(text_hex, &text) || !DecodeHexText(detail_hex, &detail)) {
    return nullptr;
  }
  return MakeErrorMessage(code, base::UTF8ToWide(text), detail);
}

std::unique_ptr<base::Pickle> ScriptRunner::MakeBig(
    std::istringstream* arguments) {
  std::unique_ptr<base::Pickle> message = MakeStepMessage();
  size_t size = 0;
  if (!(*arguments >> size) || size < message->size() || size % 4 != 0)
    return nullptr;
  const std::string padding(size - message->size(), '\0');
  message->WriteBytes(padding.data(), static_cast<int>(padding.size()));
  return message;
}

void ScriptRunner::Connect() {
  bool connected;
  if (direct_) {
    direct_mailslot_.Set(::CreateFileW(GetMailslotFullName(name_).c_str(),
                                       GENERIC_WRITE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE,
                                       nullptr, OPEN_EXISTING, 0, nullptr));
    connected = direct_mailslot_.IsValid();
  } else {
    connected = sender_.Connect(name_);
  }
  printf("connect %d\n", connected ? 1 : 0);
  fflush(stdout);
}

void ScriptRunner::Close() {
  if (direct_)
    direct_mailslot_.Close();
  else
    sender_.Close();
}

void ScriptRunner::Send(std::unique_ptr<base::Pickle> message) {
  if (direct_)
    WriteDirect(message->data(), message->size());
  else
    sender_.Send(std::move(message));
}

void ScriptRunner::WriteDirect(const void* bytes, size_t size) {
  DWORD written = 0;
  if (!::WriteFile(direct_mailslot_.Get(), bytes, static_cast<DWORD>(size),
                   &written, nullptr)) {
    fprintf(stderr, "write of %zu bytes failed: %lu\n", size, ::GetLastError());
  }
}

int RunScript() {
  const base::CommandLine& command_line =
      *base::CommandLine::ForCurrentProcess();
  std::wstring name = command_line.GetSwitchValueNative("mailslot");
  if (name.empty() && command_line.HasSwitch(switches::kInstallfolder)) {
    name = InstallerObjectNames::ForFolder(
               command_line.GetSwitchValuePath(switches::kInstallfolder))
               .mailslot_endpoint;
  }
  base::FilePath script_path = command_line.GetSwitchValuePath("script");
  base::FilePath own_exe;
  if (script_path.empty() && base::PathService::Get(base::FILE_EXE, &own_exe)) {
    script_path = base::FilePath(own_exe.value() + L".script");
    // Played as a backend, it records its runs as the stand-in does.
    const std::string run = base::WideToUTF8(::GetCommandLineW()) + "\n";
    const base::FilePath log(own_exe.value() + L".log");
    const int size = static_cast<int>(run.size());
    if (base::PathExists(log))
      base::AppendToFile(log, run.data(), size);
    else
      base::WriteFile(log, run.data(), size);
  }
  std::string script;
  if (name.empty() || !base::ReadFileToString(script_path, &script)) {
    fprintf(stderr, "usage: --mailslot=NAME --script=FILE [--direct]\n");
    return kBadUsage;
  }
  ScriptRunner runner(name, command_line.HasSwitch("direct"));
  std::istringstream lines(script);
  for (std::string line; std::getline(lines, line);) {
    if (!runner.Run(line)) {
      fprintf(stderr, "bad script line: %s\n", line.c_str());
      return kBadUsage;
    }
  }
  return 0;
}

}  // namespace
}  // namespace installer

int main() {
  base::AtExitManager at_exit;
  base::CommandLine::Init(0, nullptr);
  return installer::RunScript();
}
