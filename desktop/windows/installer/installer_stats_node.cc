#include "desktop/windows/installer/installer_stats_node.h"

#include <limits>
#include <memory>
#include <set>
#include <vector>

#include "base/logging.h"
#include "base/strings/string_util.h"
#include "base/strings/stringprintf.h"
#include "base/synchronization/lock.h"
#include "base/values.h"

namespace installer {

namespace {

constexpr char kFetchesKey[] = "fetches";
constexpr char kDownloadChunksKey[] = "download_chunks";
constexpr char kIpKey[] = "ip";

std::string WithSuffix(base::StringPiece key, base::StringPiece suffix) {
  std::string result(key);
  result.append(suffix);
  return result;
}

}  // namespace

std::string FormatStatsTime(base::Time time) {
  base::Time::Exploded exploded;
  time.UTCExplode(&exploded);
  return base::StringPrintf("%02d-%02d-%02d %02d:%02d:%02d.%03d", exploded.year,
                            exploded.month, exploded.day_of_month,
                            exploded.hour, exploded.minute, exploded.second,
                            exploded.millisecond);
}

InstallerStatsNode::InstallerStatsNode(base::DictionaryValue* dictionary,
                                       base::Lock* lock,
                                       base::TimeTicks start)
    : dictionary_(dictionary), lock_(lock), start_(start) {
  DCHECK(dictionary_);
  DCHECK(lock_);
}

InstallerStatsNode::InstallerStatsNode(const InstallerStatsNode& other) =
    default;
InstallerStatsNode& InstallerStatsNode::operator=(
    const InstallerStatsNode& other) = default;
InstallerStatsNode::~InstallerStatsNode() = default;

void InstallerStatsNode::SetString(base::StringPiece key,
                                   base::StringPiece value) {
  base::AutoLock hold(*lock_);
  dictionary_->SetString(key, value);
}

void InstallerStatsNode::SetInteger(base::StringPiece key, int value) {
  base::AutoLock hold(*lock_);
  dictionary_->SetInteger(key, value);
}

void InstallerStatsNode::SetInteger64(base::StringPiece key, int64_t value) {
  base::AutoLock hold(*lock_);
  if (value >= std::numeric_limits<int>::min() &&
      value <= std::numeric_limits<int>::max()) {
    dictionary_->SetInteger(key, static_cast<int>(value));
  } else {
    // Exact up to 2^53, far beyond any byte count the installer sees.
    dictionary_->SetDouble(key, static_cast<double>(value));
  }
}

void InstallerStatsNode::IncrementInteger(base::StringPiece key) {
  base::AutoLock hold(*lock_);
  int value = 0;
  dictionary_->GetInteger(key, &value);
  if (value < std::numeric_limits<int>::max())
    ++value;
  dictionary_->SetInteger(key, value);
}

void InstallerStatsNode::Remove(base::StringPiece key) {
  base::AutoLock hold(*lock_);
  dictionary_->Remove(key, nullptr);
}

InstallerStatsNode InstallerStatsNode::AppendListEntry(base::StringPiece key) {
  base::AutoLock hold(*lock_);
  base::ListValue* list = nullptr;
  if (!dictionary_->GetList(key, &list))
    list = dictionary_->SetList(key, std::make_unique<base::ListValue>());
  // The list owns its entries through pointers, so the new dictionary keeps
  // its address however many entries follow.
  base::Value* entry = list->Append(std::make_unique<base::DictionaryValue>());
  base::DictionaryValue* dictionary = nullptr;
  entry->GetAsDictionary(&dictionary);
  return InstallerStatsNode(dictionary, lock_, start_);
}

void InstallerStatsNode::RecordTime(base::StringPiece key) {
  const base::TimeDelta elapsed = base::TimeTicks::Now() - start_;
  SetString(WithSuffix(key, ".time"), FormatStatsTime(base::Time::Now()));
  const int64_t milliseconds = elapsed.InMilliseconds();
  SetInteger(WithSuffix(key, ".elapsed"),
             milliseconds > std::numeric_limits<int>::max()
                 ? std::numeric_limits<int>::max()
                 : static_cast<int>(milliseconds));
}

void InstallerStatsNode::RecordTimestamp(base::StringPiece key) {
  SetString(key, FormatStatsTime(base::Time::Now()));
}

void InstallerStatsNode::RecordFetchStats() {
  int chunks = 0;
  std::set<std::string> ips;
  {
    base::AutoLock hold(*lock_);
    const base::ListValue* fetches = nullptr;
    if (!dictionary_->GetList(kFetchesKey, &fetches))
      return;
    for (const std::unique_ptr<base::Value>& fetch : *fetches) {
      const base::DictionaryValue* fetch_dictionary = nullptr;
      const base::ListValue* fetch_chunks = nullptr;
      if (!fetch->GetAsDictionary(&fetch_dictionary) ||
          !fetch_dictionary->GetList(kDownloadChunksKey, &fetch_chunks)) {
        continue;
      }
      chunks += static_cast<int>(fetch_chunks->GetSize());
      for (const std::unique_ptr<base::Value>& chunk : *fetch_chunks) {
        const base::DictionaryValue* chunk_dictionary = nullptr;
        std::string ip;
        if (chunk->GetAsDictionary(&chunk_dictionary) &&
            chunk_dictionary->GetString(kIpKey, &ip)) {
          ips.insert(ip);
        }
      }
    }
  }
  SetInteger("wininet_retries", chunks);
  SetString(
      "download_ips",
      base::JoinString(std::vector<std::string>(ips.begin(), ips.end()), "; "));
}

}  // namespace installer
