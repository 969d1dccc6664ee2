// The messages a backend process sends to the front end over the installer
// mailslot, one per InstallerObserver event. Each is a base::Pickle holding
// the signature ":Installer message:" as a narrow string, the type as an
// int32, then the fields of the type.
//
//   // Backend:
//   sender.Send(MakeTotalStepsMessage(12));
//
//   // Front end, in IPCReceiver::Delegate::OnMessageReceived:
//   InstallerMessage message;
//   if (DecodeInstallerMessage(pickle, &message)) {
//     for (InstallerObserver& observer : observers_)
//       ReplayInstallerMessage(message, &observer);
//   }

#ifndef DESKTOP_WINDOWS_INSTALLER_IPC_INSTALLER_MESSAGE_H_
#define DESKTOP_WINDOWS_INSTALLER_IPC_INSTALLER_MESSAGE_H_

#include <stddef.h>

#include <memory>
#include <string>

#include "base/pickle.h"

namespace installer {

enum InstallerMessageType {
  IPC_MESSAGE_STARTING_NEW_MAIN_PROCESS = 0,
  IPC_MESSAGE_RETURNED_TO_PREVIOUS_MAIN_PROCESS = 1,
  IPC_MESSAGE_INSTALL_FOLDER_CREATED = 2,
  IPC_MESSAGE_TOTAL_STEPS = 3,
  IPC_MESSAGE_STEP = 4,
  IPC_MESSAGE_ERROR = 5,
  IPC_MESSAGE_SUCCESS = 6,
  IPC_MESSAGE_TYPE_LAST = IPC_MESSAGE_SUCCESS,
};

// The largest mailslot message, header included. The mailslot is created
// with it; bigger messages are never built, written or accepted.
constexpr size_t kMaxInstallerMessageSize = 2048;

extern const char kInstallerMessageSignature[];

// The endpoint name ("kelvo_installer\" followed by the folder) that both
// IPCSender::Connect and IPCReceiver::Connect take. Pass the canonical text
// of the install folder, so that every spelling of one folder (case, a
// trailing separator) meets at the same mailslot.
std::wstring GetInstallerEndpointName(
    const std::wstring& canonical_install_folder);

// Builders of each message type. All but the folder-created message log
// their "Sending ..." line at verbose level 1.
std::unique_ptr<base::Pickle> MakeStartingNewMainProcessMessage(bool value);
std::unique_ptr<base::Pickle> MakeReturnedToPreviousMainProcessMessage();
std::unique_ptr<base::Pickle> MakeInstallFolderCreatedMessage();
std::unique_ptr<base::Pickle> MakeTotalStepsMessage(int total_steps);
std::unique_ptr<base::Pickle> MakeStepMessage();
// |message| and |detail| are cut (ending in "...", never inside a character)
// as far as needed for the whole message to fit kMaxInstallerMessageSize:
// each text keeps at least half of the room, more when the other needs less.
std::unique_ptr<base::Pickle> MakeErrorMessage(int code,
                                               const std::wstring& message,
                                               const std::string& detail);
std::unique_ptr<base::Pickle> MakeSuccessMessage();

// One decoded message: its type and the fields that type carries.
struct InstallerMessage {
  InstallerMessageType type = IPC_MESSAGE_STEP;
  // IPC_MESSAGE_STARTING_NEW_MAIN_PROCESS.
  bool starting_flag = false;
  // IPC_MESSAGE_TOTAL_STEPS.
  int total_steps = 0;
  // IPC_MESSAGE_ERROR: the string-table id of the text to show, the text
  // for its placeholder (may be empty) and the English detail for logs.
  int error_code = 0;
  std::wstring error_message;
  std::string error_detail;
};

// Decodes one received message into |*message|, logging what it received
// (verbose 1) or why it refuses the message
// (warning or error). False when the message is to be dropped: no signature, no
// type, a type out of range or fields that cannot be read.
[[nodiscard]] bool DecodeInstallerMessage(const base::Pickle& pickle,
                                          InstallerMessage* message);

// Calls the InstallerObserver operation that |message| stands for on
// |observer| (any type with those operations).
template <typename Observer>
void ReplayInstallerMessage(const InstallerMessage& message,
                            Observer* observer) {
  switch (message.type) {
    case IPC_MESSAGE_STARTING_NEW_MAIN_PROCESS:
      observer->OnStartingNewMainProcess(message.starting_flag);
      return;
    case IPC_MESSAGE_RETURNED_TO_PREVIOUS_MAIN_PROCESS:
      observer->OnReturnedToPreviousMainProcess();
      return;
    case IPC_MESSAGE_INSTALL_FOLDER_CREATED:
      observer->OnInstallFolderCreated();
      return;
    case IPC_MESSAGE_TOTAL_STEPS:
      observer->OnTotalSteps(message.total_steps);
      return;
    case IPC_MESSAGE_STEP:
      observer->OnStep();
      return;
    case IPC_MESSAGE_ERROR:
      observer->OnError(message.error_code, message.error_message,
                        message.error_detail);
      return;
    case IPC_MESSAGE_SUCCESS:
      observer->OnSuccess();
      return;
  }
}

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_IPC_INSTALLER_MESSAGE_H_
