#include "desktop/windows/installer/test/scoped_batch_tools.h"

#include <windows.h>

#include "base/files/file_util.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/string_split.h"
#include "base/threading/platform_thread.h"
#include "base/time/time.h"
#include "desktop/windows/installer/test/installer_process.h"

namespace installer {
namespace test {

namespace {

constexpr wchar_t kPath[] = L"PATH";

}  // namespace

ScopedBatchTools::ScopedBatchTools() {
  wchar_t buffer[32767];
  const DWORD length = ::GetEnvironmentVariableW(kPath, buffer, 32767);
  old_path_.assign(buffer, length < 32767 ? length : 0);
  if (!folder_.CreateUniqueTempDir())
    return;
  const base::FilePath stand_in =
      GetBuildBinDir().Append(L"batch_tool_stand_in.exe");
  for (const wchar_t* name : {L"tasklist.exe", L"find.exe"}) {
    if (!base::CopyFile(stand_in, folder_.GetPath().Append(name)))
      return;
  }
  const std::wstring path = folder_.GetPath().value() + L";" + old_path_;
  ready_ = ::SetEnvironmentVariableW(kPath, path.c_str()) != FALSE;
}

ScopedBatchTools::~ScopedBatchTools() {
  if (ready_)
    ::SetEnvironmentVariableW(kPath, old_path_.c_str());
}

std::vector<bool> ScopedBatchTools::Answers(uint32_t pid) const {
  std::string log;
  base::ReadFileToString(folder_.GetPath().Append(L"tasklist.log"), &log);
  const std::string prefix = base::NumberToString(pid) + " ";
  std::vector<bool> answers;
  for (const std::string& line : base::SplitString(
           log, "\n", base::TRIM_WHITESPACE, base::SPLIT_WANT_NONEMPTY)) {
    if (line.rfind(prefix, 0) == 0)
      answers.push_back(line.substr(prefix.size()) == "running");
  }
  return answers;
}

bool ScopedBatchTools::WaitForAnswers(uint32_t pid, size_t count) const {
  const base::TimeTicks deadline =
      base::TimeTicks::Now() + base::TimeDelta::FromSeconds(60);
  while (Answers(pid).size() < count) {
    if (base::TimeTicks::Now() > deadline)
      return false;
    base::PlatformThread::Sleep(base::TimeDelta::FromMilliseconds(100));
  }
  return true;
}

void ScopedBatchTools::EndProcess(uint32_t pid) {
  const base::FilePath ended = folder_.GetPath().Append(L"tasklist.ended");
  std::string text;
  base::ReadFileToString(ended, &text);
  text += base::NumberToString(pid) + "\n";
  base::WriteFile(ended, text.data(), static_cast<int>(text.size()));
}

}  // namespace test
}  // namespace installer
