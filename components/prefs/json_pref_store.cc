#include "components/prefs/json_pref_store.h"

#include <windows.h>

#include <memory>
#include <utility>

#include "base/bind.h"
#include "base/json/json_file_value_serializer.h"
#include "base/location.h"
#include "base/logging.h"
#include "base/strings/utf_string_conversions.h"
#include "base/synchronization/waitable_event.h"
#include "base/threading/sequenced_worker_pool.h"
#include "base/values.h"
#include "components/prefs/pref_file_writer.h"

namespace {

JsonPrefStore::PrefReadError ToPrefReadError(int deserializer_error) {
  switch (deserializer_error) {
    case base::JSONFileValueDeserializer::JSON_ACCESS_DENIED:
      return JsonPrefStore::PREF_READ_ERROR_ACCESS_DENIED;
    case base::JSONFileValueDeserializer::JSON_CANNOT_READ_FILE:
      return JsonPrefStore::PREF_READ_ERROR_FILE_OTHER;
    case base::JSONFileValueDeserializer::JSON_FILE_LOCKED:
      return JsonPrefStore::PREF_READ_ERROR_FILE_LOCKED;
    case base::JSONFileValueDeserializer::JSON_NO_SUCH_FILE:
      return JsonPrefStore::PREF_READ_ERROR_NO_FILE;
    default:
      return JsonPrefStore::PREF_READ_ERROR_JSON_PARSE;
  }
}

// Writing over a file we could not read would lose what it holds.
bool IsReadOnlyError(JsonPrefStore::PrefReadError error) {
  switch (error) {
    case JsonPrefStore::PREF_READ_ERROR_JSON_TYPE:
    case JsonPrefStore::PREF_READ_ERROR_ACCESS_DENIED:
    case JsonPrefStore::PREF_READ_ERROR_FILE_OTHER:
    case JsonPrefStore::PREF_READ_ERROR_FILE_LOCKED:
    case JsonPrefStore::PREF_READ_ERROR_FILE_NOT_SPECIFIED:
      return true;
    default:
      return false;
  }
}

// Windows compares file names by their upper-case form.
std::string GetSequenceName(const base::FilePath& path) {
  std::wstring name = path.value();
  for (wchar_t& c : name) {
    if (c == L'/')
      c = L'\\';
  }
  if (!name.empty())
    ::CharUpperBuffW(&name[0], static_cast<DWORD>(name.size()));
  return base::WideToUTF8(name);
}

}  // namespace

// static
scoped_refptr<base::SequencedTaskRunner> JsonPrefStore::GetTaskRunnerForFile(
    const base::FilePath& pref_filename,
    base::SequencedWorkerPool* pool) {
  return pool->GetSequencedTaskRunnerWithShutdownBehavior(
      pool->GetNamedSequenceToken(GetSequenceName(pref_filename)),
      base::SequencedWorkerPool::BLOCK_SHUTDOWN);
}

JsonPrefStore::JsonPrefStore(
    const base::FilePath& pref_filename,
    scoped_refptr<base::SequencedTaskRunner> file_task_runner)
    : path_(pref_filename),
      file_task_runner_(std::move(file_task_runner)),
      writer_(base::MakeRefCounted<PrefFileWriter>(pref_filename)),
      prefs_(std::make_unique<base::DictionaryValue>()) {}

JsonPrefStore::~JsonPrefStore() {
  CommitPendingWrite();
  if (writer_->HasUnqueuedChanges())
    LOG(ERROR) << "Changes to " << path_ << " are lost";
}

bool JsonPrefStore::GetValue(const std::string& key,
                             const base::Value** result) const {
  return prefs_->Get(key, result);
}

void JsonPrefStore::SetValue(const std::string& key,
                             std::unique_ptr<base::Value> value) {
  DCHECK(value) << key;
  const base::Value* old_value = nullptr;
  if (prefs_->Get(key, &old_value) && value->Equals(old_value))
    return;
  const base::Value* stored = prefs_->Set(key, std::move(value));
  OnValueChanged(key, stored);
}

void JsonPrefStore::RemoveValue(const std::string& key) {
  if (prefs_->Remove(key, nullptr))
    OnValueChanged(key, nullptr);
}

JsonPrefStore::PrefReadError JsonPrefStore::ReadPrefs() {
  initialized_ = true;
  if (path_.empty()) {
    LOG(ERROR) << "A pref store without a file cannot read";
    read_error_ = PREF_READ_ERROR_FILE_NOT_SPECIFIED;
    read_only_ = true;
    return read_error_;
  }
  // A store of this file may have changed it a moment ago. A runner that
  // takes no tasks has no writes queued either.
  if (WaitForQueuedTasks(kMaxWaitForQueuedWrites) == WaitResult::kTimedOut) {
    LOG(WARNING) << "Reading " << path_
                 << " before the writes queued for it finished";
  }

  base::JSONFileValueDeserializer deserializer(path_);
  int error_code = 0;
  std::string error_message;
  std::unique_ptr<base::Value> value =
      deserializer.Deserialize(&error_code, &error_message);
  std::unique_ptr<base::DictionaryValue> object;
  if (value) {
    object = base::DictionaryValue::From(std::move(value));
    read_error_ = object ? PREF_READ_ERROR_NONE : PREF_READ_ERROR_JSON_TYPE;
    if (!object)
      error_message = "not a JSON object";
  } else {
    read_error_ = ToPrefReadError(error_code);
  }
  prefs_ =
      object ? std::move(object) : std::make_unique<base::DictionaryValue>();
  read_only_ = IsReadOnlyError(read_error_);
  if (read_error_ != PREF_READ_ERROR_NONE &&
      read_error_ != PREF_READ_ERROR_NO_FILE) {
    LOG(WARNING) << "Failed to read prefs from " << path_ << " (" << read_error_
                 << "): " << error_message;
  }
  return read_error_;
}

void JsonPrefStore::CommitPendingWrite() {
  PostWriteIfNeeded();
}

bool JsonPrefStore::CommitPendingWriteAndWait(base::TimeDelta max_wait) {
  if (!PostWriteIfNeeded())
    return false;
  switch (WaitForQueuedTasks(max_wait)) {
    case WaitResult::kDone:
      return true;
    case WaitResult::kNotPossible:
      LOG(ERROR) << "Cannot wait for the writes of " << path_;
      return false;
    case WaitResult::kTimedOut:
      LOG(ERROR) << "The writes of " << path_ << " did not finish in "
                 << max_wait.InMilliseconds() << " ms";
      return false;
  }
  return false;
}

void JsonPrefStore::OnValueChanged(const std::string& key,
                                   const base::Value* value) {
  if (read_only_) {
    if (!read_only_reported_) {
      LOG(WARNING) << "Not writing " << path_
                   << ": it could not be read (error " << read_error_ << ")";
      read_only_reported_ = true;
    }
    return;
  }
  writer_->RecordChange(key, value, *prefs_);
  PostWriteIfNeeded();
}

bool JsonPrefStore::PostWriteIfNeeded() {
  if (!writer_->MarkWriteQueued())
    return true;
  if (file_task_runner_ &&
      file_task_runner_->PostTask(
          FROM_HERE,
          base::BindOnce(&PrefFileWriter::WritePendingChanges, writer_))) {
    return true;
  }
  writer_->OnWriteNotQueued();
  LOG(WARNING) << "Cannot write " << path_ << " now: its runner takes no tasks";
  return false;
}

JsonPrefStore::WaitResult JsonPrefStore::WaitForQueuedTasks(
    base::TimeDelta max_wait) {
  // From the sequence itself the wait could never end.
  if (!file_task_runner_ || file_task_runner_->RunsTasksOnCurrentThread())
    return WaitResult::kNotPossible;
  // Shared with the task, which may run after a wait that gave up.
  auto done = std::make_shared<base::WaitableEvent>(
      base::WaitableEvent::ResetPolicy::MANUAL,
      base::WaitableEvent::InitialState::NOT_SIGNALED);
  if (!file_task_runner_->PostTask(
          FROM_HERE, base::BindOnce(
                         [](std::shared_ptr<base::WaitableEvent> event) {
                           event->Signal();
                         },
                         done))) {
    return WaitResult::kNotPossible;
  }
  return done->TimedWait(max_wait) ? WaitResult::kDone : WaitResult::kTimedOut;
}
