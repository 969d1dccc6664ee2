#include "components/prefs/pref_file_writer.h"

#include <iterator>
#include <utility>

#include "base/files/important_file_writer.h"
#include "base/json/json_file_value_serializer.h"
#include "base/json/json_writer.h"
#include "base/logging.h"
#include "base/values.h"

namespace {

// The object in |path| as it is now. |usable| is false when the file exists
// but cannot be read; a missing or malformed file gives null and usable.
std::unique_ptr<base::DictionaryValue> ReadCurrentFile(
    const base::FilePath& path,
    bool* usable) {
  base::JSONFileValueDeserializer deserializer(path);
  int error_code = 0;
  std::string error_message;
  std::unique_ptr<base::Value> value =
      deserializer.Deserialize(&error_code, &error_message);
  *usable = true;
  switch (error_code) {
    case base::JSONFileValueDeserializer::JSON_ACCESS_DENIED:
    case base::JSONFileValueDeserializer::JSON_CANNOT_READ_FILE:
    case base::JSONFileValueDeserializer::JSON_FILE_LOCKED:
      LOG(ERROR) << "Not writing " << path << ": " << error_message;
      *usable = false;
      return nullptr;
    case base::JSONFileValueDeserializer::JSON_NO_SUCH_FILE:
      return nullptr;
    default:
      break;
  }
  std::unique_ptr<base::DictionaryValue> object =
      base::DictionaryValue::From(std::move(value));
  if (!object) {
    LOG(WARNING) << "Replacing " << path
                 << ", which holds no JSON object: " << error_message;
  }
  return object;
}

}  // namespace

PrefFileWriter::Change::Change(std::string key,
                               std::unique_ptr<base::Value> value)
    : key(std::move(key)), value(std::move(value)) {}
PrefFileWriter::Change::Change(Change&&) = default;
PrefFileWriter::Change& PrefFileWriter::Change::operator=(Change&&) = default;
PrefFileWriter::Change::~Change() = default;

PrefFileWriter::PrefFileWriter(const base::FilePath& path) : path_(path) {}

PrefFileWriter::~PrefFileWriter() = default;

void PrefFileWriter::RecordChange(const std::string& key,
                                  const base::Value* value,
                                  const base::DictionaryValue& prefs) {
  std::unique_ptr<base::Value> value_copy = value ? value->DeepCopy() : nullptr;
  std::unique_ptr<base::DictionaryValue> prefs_copy = prefs.DeepCopy();
  base::AutoLock lock(lock_);
  changes_.emplace_back(key, std::move(value_copy));
  latest_prefs_ = std::move(prefs_copy);
}

bool PrefFileWriter::MarkWriteQueued() {
  base::AutoLock lock(lock_);
  if (write_queued_ || changes_.empty())
    return false;
  write_queued_ = true;
  return true;
}

void PrefFileWriter::OnWriteNotQueued() {
  base::AutoLock lock(lock_);
  write_queued_ = false;
}

bool PrefFileWriter::HasUnqueuedChanges() {
  base::AutoLock lock(lock_);
  return !write_queued_ && !changes_.empty();
}

void PrefFileWriter::WritePendingChanges() {
  std::vector<Change> changes;
  std::unique_ptr<base::DictionaryValue> prefs;
  {
    base::AutoLock lock(lock_);
    // Changes recorded from here on need a task of their own.
    write_queued_ = false;
    changes.swap(changes_);
    prefs = std::move(latest_prefs_);
  }
  if (changes.empty() || ApplyChangesToFile(path_, changes, *prefs))
    return;
  // Kept for the next write of this store, ahead of what came meanwhile.
  base::AutoLock lock(lock_);
  changes.insert(changes.end(), std::make_move_iterator(changes_.begin()),
                 std::make_move_iterator(changes_.end()));
  changes_.swap(changes);
  if (!latest_prefs_)
    latest_prefs_ = std::move(prefs);
}

// static
bool PrefFileWriter::ApplyChangesToFile(const base::FilePath& path,
                                        const std::vector<Change>& changes,
                                        const base::DictionaryValue& fallback) {
  bool usable = true;
  std::unique_ptr<base::DictionaryValue> contents =
      ReadCurrentFile(path, &usable);
  if (!usable)
    return false;
  if (!contents)
    contents = fallback.DeepCopy();
  for (const Change& change : changes) {
    if (change.value)
      contents->Set(change.key, change.value->DeepCopy());
    else
      contents->Remove(change.key, nullptr);
  }
  std::string json;
  if (!base::JSONWriter::Write(*contents, &json)) {
    LOG(ERROR) << "Not writing " << path
               << ": a value cannot be expressed in JSON";
    return false;
  }
  return base::ImportantFileWriter::WriteFileAtomically(path, json);
}
