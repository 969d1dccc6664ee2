#include "desktop/windows/crash_reporter/named_counter_file.h"

#include <windows.h>

#include <algorithm>
#include <limits>
#include <memory>

#include "base/files/file.h"
#include "base/json/json_reader.h"
#include "base/json/json_writer.h"
#include "base/logging.h"
#include "base/values.h"

namespace crash_reporter {

namespace {

// While another process holds the file.
constexpr int kMaxFailuresInARow = 10;
constexpr base::TimeDelta kRetryDelay = base::TimeDelta::FromMilliseconds(100);
// When the object goes away.
constexpr int kFinalAttempts = 10;
constexpr base::TimeDelta kFinalRetryDelay =
    base::TimeDelta::FromMilliseconds(50);

int32_t SaturatedAdd(int32_t a, int32_t b) {
  int64_t sum = static_cast<int64_t>(a) + b;
  sum = std::clamp<int64_t>(sum, std::numeric_limits<int32_t>::min(),
                            std::numeric_limits<int32_t>::max());
  return static_cast<int32_t>(sum);
}

void AddCounts(const NamedCounterFile::Counts& from,
               NamedCounterFile::Counts* to) {
  for (const auto& [name, delta] : from)
    (*to)[name] = SaturatedAdd((*to)[name], delta);
}

// Writes all of |data| at |offset|.
bool WriteAll(base::File* file, int64_t offset, const std::string& data) {
  size_t done = 0;
  while (done < data.size()) {
    int written = file->Write(offset + done, data.data() + done,
                              static_cast<int>(data.size() - done));
    if (written <= 0)
      return false;
    done += written;
  }
  return true;
}

}  // namespace

NamedCounterFile::NamedCounterFile(const base::FilePath& path)
    : path_(path), wake_event_(::CreateEventW(nullptr, FALSE, FALSE, nullptr)) {
  if (!wake_event_.IsValid() ||
      !base::PlatformThread::Create(0, this, &thread_)) {
    PLOG(ERROR) << "Cannot start the writer of " << path_;
  }
}

NamedCounterFile::~NamedCounterFile() {
  {
    base::AutoLock lock(lock_);
    stop_ = true;
  }
  if (thread_.is_null()) {
    if (!pending_.empty())
      LOG(WARNING) << "Crash counts lost: no writer for " << path_;
    return;
  }
  ::SetEvent(wake_event_.Get());
  base::PlatformThread::Join(thread_);
}

void NamedCounterFile::Add(const std::string& name, int32_t delta, bool wake) {
  {
    base::AutoLock lock(lock_);
    pending_[name] = SaturatedAdd(pending_[name], delta);
  }
  if (wake)
    ::SetEvent(wake_event_.Get());
}

void NamedCounterFile::ThreadMain() {
  base::PlatformThread::SetName("NamedCounterFile");
  int failures = 0;
  for (;;) {
    ::WaitForSingleObject(wake_event_.Get(), INFINITE);
    {
      base::AutoLock lock(lock_);
      if (stop_)
        break;
    }
    if (Flush()) {
      failures = 0;
      continue;
    }
    if (++failures < kMaxFailuresInARow) {
      ::SetEvent(wake_event_.Get());
      base::PlatformThread::Sleep(kRetryDelay);
    } else {
      LOG(WARNING) << "Cannot write " << path_ << " after " << failures
                   << " attempts; the counts wait for the next addition";
      failures = 0;
    }
  }
  for (int attempt = 0; attempt < kFinalAttempts; ++attempt) {
    if (Flush())
      return;
    base::PlatformThread::Sleep(kFinalRetryDelay);
  }
  LOG(ERROR) << "Crash counts lost: cannot write " << path_;
}

bool NamedCounterFile::Flush() {
  Counts taken;
  {
    base::AutoLock lock(lock_);
    taken.swap(pending_);
  }
  if (taken.empty() || WriteToFile(taken))
    return true;
  base::AutoLock lock(lock_);
  AddCounts(taken, &pending_);
  return false;
}

bool NamedCounterFile::WriteToFile(const Counts& counts) {
  // Exclusive: other writers wait until our sum is in the file.
  base::File file(path_, base::File::FLAG_OPEN_ALWAYS | base::File::FLAG_READ |
                             base::File::FLAG_WRITE |
                             base::File::FLAG_EXCLUSIVE_READ |
                             base::File::FLAG_EXCLUSIVE_WRITE);
  if (!file.IsValid())
    return false;
  int64_t old_length = file.created() ? 0 : file.GetLength();
  Counts merged;
  if (old_length < 0 || !ReadFileCounts(&file, old_length, &merged))
    return false;
  AddCounts(counts, &merged);

  base::DictionaryValue dictionary;
  for (const auto& [name, count] : merged)
    dictionary.SetIntegerWithoutPathExpansion(name, count);
  std::string json;
  if (!base::JSONWriter::Write(dictionary, &json))
    return false;
  // Every write below leaves a valid JSON text behind, blanks being allowed
  // after it: first the file grows with blanks, then the new text (padded
  // to the old length) replaces the old in place, then the blanks go.
  int64_t new_length = static_cast<int64_t>(json.size());
  if (new_length > old_length &&
      !WriteAll(
          &file, old_length,
          std::string(static_cast<size_t>(new_length - old_length), ' '))) {
    LOG(WARNING) << "Cannot grow " << path_;
    return false;
  }
  std::string padded = json;
  if (old_length > new_length)
    padded.append(static_cast<size_t>(old_length - new_length), ' ');
  if (!WriteAll(&file, 0, padded) || !file.SetLength(new_length)) {
    LOG(WARNING) << "Cannot write " << path_;
    return false;
  }
  return true;
}

bool NamedCounterFile::ReadFileCounts(base::File* file,
                                      int64_t length,
                                      Counts* counts) {
  // An empty file is one whose writer died before it wrote anything.
  if (length == 0)
    return true;
  if (length > kMaxFileSize) {
    LOG(WARNING) << path_ << " is too large for a counter file";
    return false;
  }
  std::string text(static_cast<size_t>(length), '\0');
  int64_t done = 0;
  while (done < length) {
    int read = file->Read(done, &text[done], static_cast<int>(length - done));
    if (read <= 0)
      return false;
    done += read;
  }
  std::unique_ptr<base::DictionaryValue> dictionary =
      base::DictionaryValue::From(base::JSONReader::Read(text));
  if (!dictionary) {
    // Somebody else's data: left as it is, our counts wait in memory.
    LOG(WARNING) << path_ << " is not a JSON dictionary";
    return false;
  }
  for (base::DictionaryValue::Iterator it(*dictionary); !it.IsAtEnd();
       it.Advance()) {
    int count = 0;
    if (it.value().GetAsInteger(&count))
      (*counts)[it.key()] = count;
  }
  return true;
}

}  // namespace crash_reporter
