#include "desktop/windows/installer/process/temp_folder_probe.h"

#include <windows.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "base/files/file.h"
#include "base/logging.h"
#include "base/process/launch.h"
#include "base/strings/utf_string_conversions.h"
#include "base/synchronization/lock.h"
#include "base/time/time.h"
#include "base/win/scoped_handle.h"
#include "desktop/windows/installer/process/launch_lock.h"
#include "desktop/windows/installer/product/installer_switches.h"

namespace installer {

namespace {

// How long the probe copy of the installer may take to answer "--version".
constexpr base::TimeDelta kProbeTimeout = base::TimeDelta::FromSeconds(30);
// Names tried beside the probe's own when another file holds it.
constexpr int kOtherCopyNames = 10;
constexpr int kCopyPiece = 64 * 1024;

// Copies |source| into |copy|, which goes with its partial content when a
// read or a write (a full disk) fails.
bool CopyInto(const base::FilePath& source, base::NewFile* copy) {
  base::File from(source, base::File::FLAG_OPEN | base::File::FLAG_READ);
  if (!from.IsValid()) {
    LOG(WARNING) << "Cannot read the probe " << source;
    return false;
  }
  std::vector<char> buffer(kCopyPiece);
  for (int64_t offset = 0;;) {
    const int read = from.Read(offset, buffer.data(), kCopyPiece);
    if (read < 0) {
      PLOG(WARNING) << "Cannot read the probe " << source;
      return false;
    }
    if (read == 0)
      return true;
    if (!copy->Write(buffer.data(), read))
      return false;
    offset += read;
  }
}

// Whether the held |copy| holds exactly what |source| holds: another
// program may have written it before it was held.
bool IsSameContent(const base::FilePath& source, base::NewFile* copy) {
  base::File from(source, base::File::FLAG_OPEN | base::File::FLAG_READ);
  if (!from.IsValid())
    return false;
  std::vector<char> expected(kCopyPiece);
  std::vector<char> found(kCopyPiece);
  for (int64_t offset = 0;;) {
    const int read = from.Read(offset, expected.data(), kCopyPiece);
    if (read < 0)
      return false;
    // Pieces of one size from both: a short read of the copy is a change.
    int got = 0;
    while (got < read) {
      const int more = copy->Read(offset + got, found.data() + got, read - got);
      if (more <= 0)
        return false;
      got += more;
    }
    if (!std::equal(expected.begin(), expected.begin() + read, found.begin()))
      return false;
    if (read == 0) {
      char beyond = 0;
      return copy->Read(offset, &beyond, 1) == 0;
    }
    offset += read;
  }
}

base::Process LaunchProbe(const base::FilePath& copy) {
  base::AutoLock hold(GetProcessLaunchLock());
  // The answer goes nowhere: that the probe starts is what counts, and its
  // text must not reach whoever reads this process's output.
  SECURITY_ATTRIBUTES inheritable = {sizeof(inheritable), nullptr, TRUE};
  base::win::ScopedHandle no_output(
      ::CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    &inheritable, OPEN_EXISTING, 0, nullptr));
  base::LaunchOptions options;
  options.start_hidden = true;
  if (no_output.IsValid()) {
    options.inherit_handles = true;
    options.handles_to_inherit = {no_output.Get()};
    options.stdout_handle = no_output.Get();
  }
  return base::LaunchProcess(
      L"\"" + copy.value() + L"\" --" + base::ASCIIToWide(switches::kVersion),
      options);
}

}  // namespace

// static
std::unique_ptr<TempFolderProbe> TempFolderProbe::Start(
    const base::FilePath& folder,
    const base::FilePath& probe_exe) {
  base::NewFile copy = base::NewFile::Create(
      folder.Append(probe_exe.BaseName()), kOtherCopyNames);
  if (!copy.IsValid() || !CopyInto(probe_exe, &copy)) {
    LOG(WARNING) << "Cannot copy the probe to " << folder;
    return nullptr;
  }
  if (!copy.Seal() || !IsSameContent(probe_exe, &copy)) {
    LOG(ERROR) << "The probe's copy " << copy.path()
               << " changed after it was written: not started";
    return nullptr;
  }
  base::Process process = LaunchProbe(copy.path());
  if (!process.IsValid()) {
    PLOG(WARNING) << "Cannot start a program in " << folder;
    return nullptr;
  }
  return std::unique_ptr<TempFolderProbe>(
      new TempFolderProbe(std::move(copy), std::move(process)));
}

TempFolderProbe::TempFolderProbe(base::NewFile copy, base::Process process)
    : copy_(std::move(copy)), process_(std::move(process)) {}

TempFolderProbe::~TempFolderProbe() {
  Finish();
}

void TempFolderProbe::Finish() {
  if (!process_.IsValid())
    return;
  const bool ended = process_.WaitForExitWithTimeout(kProbeTimeout, nullptr);
  process_.Close();
  if (ended) {
    copy_.Delete();
    return;
  }
  LOG(WARNING) << "The probe " << copy_.path() << " still runs: it stays";
  copy_.Keep();
}

}  // namespace installer
