#include "desktop/windows/installer/ipc/installer_message.h"

#include <utility>

#include "base/logging.h"

namespace installer {

const char kInstallerMessageSignature[] = ":Installer message:";

namespace {

const wchar_t kEndpointPrefix[] = L"kelvo_installer\\";
const char kEllipsis[] = "...";
const wchar_t kWideEllipsis[] = L"...";
constexpr size_t kEllipsisLength = 3;

bool IsHighSurrogate(wchar_t unit) {
  return unit >= 0xD800 && unit <= 0xDBFF;
}

size_t AlignedSize(size_t bytes) {
  return (bytes + 3) & ~static_cast<size_t>(3);
}

// The bytes of an error message besides its two texts: header, signature,
// type, code and both length fields.
constexpr size_t kErrorMessageFixedSize = 44;
// What both texts may take together, padding included; a multiple of 4.
constexpr size_t kErrorTextRoom =
    kMaxInstallerMessageSize - kErrorMessageFixedSize;
// What a text always may keep when both are long; both multiples of 4.
constexpr size_t kErrorMessageShare = kErrorTextRoom / 2 / 4 * 4;
constexpr size_t kErrorDetailShare = kErrorTextRoom - kErrorMessageShare;

std::unique_ptr<base::Pickle> NewMessage(InstallerMessageType type) {
  auto pickle = std::make_unique<base::Pickle>();
  pickle->WriteString(kInstallerMessageSignature);
  pickle->WriteInt(type);
  return pickle;
}

// Cuts |text| to at most |max_units| UTF-16 units ending in "...", without
// splitting a surrogate pair.
void ShortenWide(size_t max_units, std::wstring* text) {
  if (text->size() <= max_units)
    return;
  DCHECK_GE(max_units, kEllipsisLength);
  size_t keep = max_units - kEllipsisLength;
  if (keep > 0 && IsHighSurrogate((*text)[keep - 1]))
    --keep;
  text->resize(keep);
  text->append(kWideEllipsis);
}

// Cuts |text| to at most |max_bytes| bytes ending in "...", without
// splitting a UTF-8 sequence.
void ShortenNarrow(size_t max_bytes, std::string* text) {
  if (text->size() <= max_bytes)
    return;
  DCHECK_GE(max_bytes, kEllipsisLength);
  size_t keep = max_bytes - kEllipsisLength;
  // A continuation byte at the cut means its sequence started before it.
  while (keep > 0 && ((*text)[keep] & 0xC0) == 0x80)
    --keep;
  text->resize(keep);
  text->append(kEllipsis);
}

void FitErrorTexts(std::wstring* message, std::string* detail) {
  const size_t message_bytes = AlignedSize(message->size() * sizeof(wchar_t));
  const size_t detail_bytes = AlignedSize(detail->size());
  if (message_bytes + detail_bytes <= kErrorTextRoom)
    return;
  size_t message_room = kErrorMessageShare;
  size_t detail_room = kErrorDetailShare;
  if (detail_bytes < kErrorDetailShare)
    message_room = kErrorTextRoom - detail_bytes;
  else if (message_bytes < kErrorMessageShare)
    detail_room = kErrorTextRoom - message_bytes;
  VLOG(1) << "Shortening the texts of an IPC_MESSAGE_ERROR to fit a mailslot "
             "message";
  ShortenWide(message_room / sizeof(wchar_t), message);
  ShortenNarrow(detail_room, detail);
}

// Reads the fields of |message->type| from |iterator|.
bool ReadFields(base::PickleIterator* iterator, InstallerMessage* message) {
  switch (message->type) {
    case IPC_MESSAGE_STARTING_NEW_MAIN_PROCESS:
      return iterator->ReadBool(&message->starting_flag);
    case IPC_MESSAGE_TOTAL_STEPS:
      return iterator->ReadInt(&message->total_steps);
    case IPC_MESSAGE_ERROR:
      return iterator->ReadInt(&message->error_code) &&
             iterator->ReadString16(&message->error_message) &&
             iterator->ReadString(&message->error_detail);
    case IPC_MESSAGE_RETURNED_TO_PREVIOUS_MAIN_PROCESS:
    case IPC_MESSAGE_INSTALL_FOLDER_CREATED:
    case IPC_MESSAGE_STEP:
    case IPC_MESSAGE_SUCCESS:
      return true;
  }
  return false;
}

void LogInvalid(InstallerMessageType type) {
  switch (type) {
    case IPC_MESSAGE_STARTING_NEW_MAIN_PROCESS:
      LOG(ERROR)
          << "Received invalid IPC_MESSAGE_STARTING_NEW_MAIN_PROCESS message";
      return;
    case IPC_MESSAGE_TOTAL_STEPS:
      LOG(ERROR) << "Received invalid IPC_MESSAGE_TOTAL_STEPS message";
      return;
    case IPC_MESSAGE_ERROR:
      LOG(ERROR) << "Received invalid IPC_MESSAGE_ERROR message";
      return;
    default:
      NOTREACHED();
  }
}

void LogReceived(const InstallerMessage& message) {
  switch (message.type) {
    case IPC_MESSAGE_STARTING_NEW_MAIN_PROCESS:
      VLOG(1) << "IPC_MESSAGE_STARTING_NEW_MAIN_PROCESS("
              << message.starting_flag << ") received";
      return;
    case IPC_MESSAGE_RETURNED_TO_PREVIOUS_MAIN_PROCESS:
      VLOG(1) << "IPC_MESSAGE_RETURNED_TO_PREVIOUS_MAIN_PROCESS received";
      return;
    case IPC_MESSAGE_INSTALL_FOLDER_CREATED:
      return;
    case IPC_MESSAGE_TOTAL_STEPS:
      VLOG(1) << "IPC_MESSAGE_TOTAL_STEPS(" << message.total_steps
              << ") received";
      return;
    case IPC_MESSAGE_STEP:
      VLOG(1) << "IPC_MESSAGE_STEP received";
      return;
    case IPC_MESSAGE_ERROR:
      VLOG(1) << "IPC_MESSAGE_ERROR(" << message.error_code << ","
              << message.error_message << "," << message.error_detail
              << ") received";
      return;
    case IPC_MESSAGE_SUCCESS:
      VLOG(1) << "IPC_MESSAGE_SUCCESS received";
      return;
  }
}

}  // namespace

std::wstring GetInstallerEndpointName(
    const std::wstring& canonical_install_folder) {
  return kEndpointPrefix + canonical_install_folder;
}

std::unique_ptr<base::Pickle> MakeStartingNewMainProcessMessage(bool value) {
  VLOG(1) << "Sending IPC_MESSAGE_STARTING_NEW_MAIN_PROCESS(" << value << ")";
  std::unique_ptr<base::Pickle> pickle =
      NewMessage(IPC_MESSAGE_STARTING_NEW_MAIN_PROCESS);
  pickle->WriteBool(value);
  return pickle;
}

std::unique_ptr<base::Pickle> MakeReturnedToPreviousMainProcessMessage() {
  VLOG(1) << "Sending IPC_MESSAGE_RETURNED_TO_PREVIOUS_MAIN_PROCESS";
  return NewMessage(IPC_MESSAGE_RETURNED_TO_PREVIOUS_MAIN_PROCESS);
}

std::unique_ptr<base::Pickle> MakeInstallFolderCreatedMessage() {
  return NewMessage(IPC_MESSAGE_INSTALL_FOLDER_CREATED);
}

std::unique_ptr<base::Pickle> MakeTotalStepsMessage(int total_steps) {
  VLOG(1) << "Sending IPC_MESSAGE_TOTAL_STEPS(" << total_steps << ")";
  std::unique_ptr<base::Pickle> pickle = NewMessage(IPC_MESSAGE_TOTAL_STEPS);
  pickle->WriteInt(total_steps);
  return pickle;
}

std::unique_ptr<base::Pickle> MakeStepMessage() {
  VLOG(1) << "Sending IPC_MESSAGE_STEP";
  return NewMessage(IPC_MESSAGE_STEP);
}

std::unique_ptr<base::Pickle> MakeErrorMessage(int code,
                                               const std::wstring& message,
                                               const std::string& detail) {
  VLOG(1) << "Sending IPC_MESSAGE_ERROR(" << code << "," << message << ","
          << detail << ")";
  std::wstring fitted_message = message;
  std::string fitted_detail = detail;
  FitErrorTexts(&fitted_message, &fitted_detail);
  std::unique_ptr<base::Pickle> pickle = NewMessage(IPC_MESSAGE_ERROR);
  pickle->WriteInt(code);
  pickle->WriteString16(fitted_message);
  pickle->WriteString(fitted_detail);
  DCHECK_LE(pickle->size(), kMaxInstallerMessageSize);
  return pickle;
}

std::unique_ptr<base::Pickle> MakeSuccessMessage() {
  VLOG(1) << "Sending IPC_MESSAGE_SUCCESS";
  return NewMessage(IPC_MESSAGE_SUCCESS);
}

bool DecodeInstallerMessage(const base::Pickle& pickle,
                            InstallerMessage* message) {
  base::PickleIterator iterator(pickle);
  std::string signature;
  if (!iterator.ReadString(&signature) ||
      signature != kInstallerMessageSignature) {
    LOG(WARNING) << "Received a message without installer signature";
    return false;
  }
  int type;
  if (!iterator.ReadInt(&type))
    return false;
  if (type < 0 || type > IPC_MESSAGE_TYPE_LAST) {
    LOG(WARNING) << "Received installer message with invalid type";
    return false;
  }
  InstallerMessage decoded;
  decoded.type = static_cast<InstallerMessageType>(type);
  if (!ReadFields(&iterator, &decoded)) {
    LogInvalid(decoded.type);
    return false;
  }
  LogReceived(decoded);
  *message = std::move(decoded);
  return true;
}

}  // namespace installer
