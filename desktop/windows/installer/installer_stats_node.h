// A writer's handle on one dictionary of the installer's statistics: the
// root, or an entry of a list in it. Every node of one InstallerStats shares
// its lock and start time, so writers on any thread see one consistent tree.
// Nodes are cheap to copy; none may outlive its InstallerStats.
//
// Keys are dotted paths: "os.version.major" is "major" in "version" in "os"
// of the node's dictionary; missing dictionaries on the way are created.
// Keys and string values are UTF-8.

#ifndef DESKTOP_WINDOWS_INSTALLER_INSTALLER_STATS_NODE_H_
#define DESKTOP_WINDOWS_INSTALLER_INSTALLER_STATS_NODE_H_

#include <stdint.h>

#include <string>

#include "base/strings/string16.h"
#include "base/time/time.h"

namespace base {
class DictionaryValue;
class Lock;
}  // namespace base

namespace installer {

// |time| in UTC as the statistics write it: "2026-12-05 15:20:07.042".
std::string FormatStatsTime(base::Time time);

class InstallerStatsNode {
 public:
  // |dictionary| and |lock| are not owned and must outlive the node;
  // |lock| guards every access to the tree that |dictionary| belongs to.
  InstallerStatsNode(base::DictionaryValue* dictionary,
                     base::Lock* lock,
                     base::TimeTicks start);
  InstallerStatsNode(const InstallerStatsNode& other);
  InstallerStatsNode& operator=(const InstallerStatsNode& other);
  ~InstallerStatsNode();

  // Each operation holds the lock for its whole duration.
  void SetString(base::StringPiece key, base::StringPiece value);
  void SetInteger(base::StringPiece key, int value);
  // An integer beyond the 32-bit range (a byte count) is stored as a JSON
  // number with a fraction-free double.
  void SetInteger64(base::StringPiece key, int64_t value);
  // Stores the integer at |key| plus one; a missing key, or one holding
  // something else, counts as 0.
  void IncrementInteger(base::StringPiece key);
  // Removes |key| when present.
  void Remove(base::StringPiece key);
  // Appends an empty dictionary to the list at |key| (a new list when there
  // is none) and returns the node that writes into it.
  InstallerStatsNode AppendListEntry(base::StringPiece key);
  // |key| + ".time": now as FormatStatsTime writes it; |key| + ".elapsed":
  // the milliseconds from the start to now. The two are written one after
  // the other, not atomically together.
  void RecordTime(base::StringPiece key);
  // |key|: now as FormatStatsTime writes it.
  void RecordTimestamp(base::StringPiece key);
  // Sums up the download entries of the list "fetches": "wininet_retries" =
  // the number of their "download_chunks" entries, "download_ips" = the
  // distinct "ip" texts of those chunks, sorted, joined with "; ". Writes
  // nothing when there is no "fetches" list.
  void RecordFetchStats();

  base::TimeTicks start() const { return start_; }

 private:
  base::DictionaryValue* dictionary_;
  base::Lock* lock_;
  base::TimeTicks start_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_INSTALLER_STATS_NODE_H_
