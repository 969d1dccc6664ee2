#include "desktop/common/autoupdate/updatechecker/gs_file_store.h"

#include <utility>

#include "base/logging.h"
#include "base/values.h"
#include "components/prefs/json_pref_store.h"

namespace installer {

namespace {

// The "GS" member of |store|: null with true when there is none, null with
// false when it is not an object.
bool FindEntries(const JsonPrefStore& store,
                 const base::DictionaryValue** entries) {
  *entries = nullptr;
  const base::Value* value = nullptr;
  if (!store.GetValue(GsFileStore::kEntriesKey, &value))
    return true;
  return value->GetAsDictionary(entries);
}

}  // namespace

GsFileStore::GsFileStore() : thread_("GsTaskThread") {}

GsFileStore::~GsFileStore() {
  Close();
}

bool GsFileStore::Open(const base::FilePath& path) {
  DCHECK(!store_);
  if (!thread_.Start()) {
    LOG(ERROR) << "[AU] GS: Couldn't start the storage thread";
    return false;
  }
  store_ = new JsonPrefStore(path, thread_.task_runner());
  store_->ReadPrefs();
  return true;
}

void GsFileStore::Close() {
  // The last reference may go on the thread after the write; the thread's
  // own Stop runs that write first.
  store_ = nullptr;
  thread_.Stop();
}

bool GsFileStore::ReadAll(
    std::unique_ptr<base::DictionaryValue>* entries) const {
  DCHECK(store_);
  const base::DictionaryValue* stored = nullptr;
  if (!FindEntries(*store_, &stored))
    return false;
  *entries =
      stored ? stored->DeepCopy() : std::make_unique<base::DictionaryValue>();
  return true;
}

bool GsFileStore::Write(const std::string& key, const std::string& value) {
  DCHECK(store_);
  if (store_->ReadOnly())
    return false;
  std::unique_ptr<base::DictionaryValue> entries;
  if (!ReadAll(&entries))
    return false;
  if (value.empty())
    entries->RemoveWithoutPathExpansion(key, nullptr);
  else
    entries->SetStringWithoutPathExpansion(key, value);
  store_->SetValue(kEntriesKey, std::move(entries));
  store_->CommitPendingWrite();
  return true;
}

}  // namespace installer
