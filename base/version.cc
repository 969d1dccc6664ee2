#include "base/version.h"

#include <algorithm>
#include <ostream>

#include "base/logging.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/string_split.h"

namespace base {

namespace {

bool ParseVersionNumbers(StringPiece version_str,
                         std::vector<uint32_t>* parsed) {
  std::vector<StringPiece> numbers =
      SplitStringPiece(version_str, ".", KEEP_WHITESPACE, SPLIT_WANT_ALL);
  if (numbers.empty())
    return false;
  for (size_t i = 0; i < numbers.size(); ++i) {
    unsigned number;
    if (!StringToUint(numbers[i], &number))
      return false;
    // Leading zeros are refused in the first component only; later ones
    // read as their value ("1.02" is 1.2).
    if (i == 0 && UintToString(number) != numbers[i])
      return false;
    parsed->push_back(number);
  }
  return true;
}

int CompareVersionComponents(const std::vector<uint32_t>& a,
                             const std::vector<uint32_t>& b) {
  const size_t count = std::max(a.size(), b.size());
  for (size_t i = 0; i < count; ++i) {
    uint32_t a_part = i < a.size() ? a[i] : 0;
    uint32_t b_part = i < b.size() ? b[i] : 0;
    if (a_part != b_part)
      return a_part < b_part ? -1 : 1;
  }
  return 0;
}

}  // namespace

Version::Version() = default;
Version::Version(const Version& other) = default;
Version& Version::operator=(const Version& other) = default;
Version::~Version() = default;

Version::Version(StringPiece version_str) {
  std::vector<uint32_t> parsed;
  if (ParseVersionNumbers(version_str, &parsed))
    components_ = std::move(parsed);
}

Version::Version(std::vector<uint32_t> components)
    : components_(std::move(components)) {}

bool Version::IsValid() const {
  return !components_.empty();
}

int Version::CompareTo(const Version& other) const {
  DCHECK(IsValid());
  DCHECK(other.IsValid());
  return CompareVersionComponents(components_, other.components_);
}

std::string Version::GetString() const {
  if (!IsValid())
    return "invalid";
  std::string version;
  for (size_t i = 0; i < components_.size(); ++i) {
    if (i > 0)
      version.push_back('.');
    version.append(UintToString(components_[i]));
  }
  return version;
}

bool operator==(const Version& v1, const Version& v2) {
  return v1.CompareTo(v2) == 0;
}
bool operator!=(const Version& v1, const Version& v2) {
  return !(v1 == v2);
}
bool operator<(const Version& v1, const Version& v2) {
  return v1.CompareTo(v2) < 0;
}
bool operator<=(const Version& v1, const Version& v2) {
  return v1.CompareTo(v2) <= 0;
}
bool operator>(const Version& v1, const Version& v2) {
  return v1.CompareTo(v2) > 0;
}
bool operator>=(const Version& v1, const Version& v2) {
  return v1.CompareTo(v2) >= 0;
}

std::ostream& operator<<(std::ostream& stream, const Version& v) {
  return stream << v.GetString();
}

}  // namespace base
