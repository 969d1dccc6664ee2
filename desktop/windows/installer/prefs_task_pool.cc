#include "desktop/windows/installer/prefs_task_pool.h"

#include <algorithm>

#include "base/base64.h"
#include "base/json/json_reader.h"
#include "base/lazy_instance_helpers.h"
#include "base/logging.h"
#include "base/strings/string_util.h"
#include "base/threading/platform_thread.h"
#include "base/threading/sequenced_worker_pool.h"
#include "base/time/time.h"
#include "base/values.h"
#include "components/prefs/json_pref_store.h"

namespace installer {

const char kInstallerPrefsFileName[] = "installer_prefs.json";
const char kInstallerPrefsIncludeFileName[] = "installer_prefs_include.json";
const char kLocalStateFileName[] = "Local State";

namespace {

base::LazySingleton<PrefsTaskPool> g_prefs_task_pool;

}  // namespace

// static
PrefsTaskPool* PrefsTaskPool::GetInstance() {
  return g_prefs_task_pool.Get();
}

PrefsTaskPool::PrefsTaskPool()
    : pool_(base::MakeRefCounted<base::SequencedWorkerPool>(kMaxThreads,
                                                            "PrefsTaskPool")) {}

PrefsTaskPool::~PrefsTaskPool() {
  if (pool_)
    Shutdown();
}

bool PrefsTaskPool::Shutdown(base::TimeDelta max_wait_for_stores) {
  DCHECK(pool_) << "Shutdown twice";
  if (!pool_)
    return true;
  // Waiting comes first: a store released during the wait may still queue
  // its last write, which the shutdown then runs.
  bool stores_released =
      !wait_on_shutdown_ || WaitForStores(max_wait_for_stores);
  bool writes_done = pool_->Shutdown(kMaxWaitForWrites);
  pool_ = nullptr;
  return stores_released && writes_done;
}

bool PrefsTaskPool::WaitForStores(base::TimeDelta max_wait) {
  // Every store holds the pool through its task runner.
  base::TimeTicks end = base::TimeTicks::Now() + max_wait;
  while (!pool_->HasOneRef()) {
    base::TimeDelta left = end - base::TimeTicks::Now();
    if (left <= base::TimeDelta()) {
      LOG(ERROR) << "Pref stores still open after " << max_wait.InMilliseconds()
                 << " ms; their later changes will not be written";
      return false;
    }
    base::PlatformThread::Sleep(std::min(left, kStoreReleasePollInterval));
  }
  return true;
}

PrefsTaskPool* GetPrefsTaskPool() {
  return PrefsTaskPool::GetInstance();
}

scoped_refptr<JsonPrefStore> OpenJsonPrefStore(PrefsTaskPool* pool,
                                               const base::FilePath& path) {
  DCHECK(pool->pool()) << "The prefs task pool is shut down";
  scoped_refptr<base::SequencedTaskRunner> runner;
  if (pool->pool())
    runner = JsonPrefStore::GetTaskRunnerForFile(path, pool->pool());
  auto store = base::MakeRefCounted<JsonPrefStore>(path, std::move(runner));
  store->ReadPrefs();
  return store;
}

std::unique_ptr<base::DictionaryValue> ExtractJsonObjectFromText(
    const std::string& text) {
  base::StringPiece encoded =
      base::TrimWhitespaceASCII(text, base::TRIM_TRAILING);
  std::string decoded;
  if (!base::Base64Decode(encoded, &decoded))
    return nullptr;
  size_t begin = decoded.find('{');
  size_t end = decoded.rfind('}');
  if (begin == std::string::npos || end == std::string::npos || end < begin)
    return nullptr;
  return base::DictionaryValue::From(base::JSONReader::Read(
      base::StringPiece(decoded).substr(begin, end - begin + 1)));
}

}  // namespace installer
