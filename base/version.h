// A dotted version number such as "45.0.2531.0".

#ifndef BASE_VERSION_H_
#define BASE_VERSION_H_

#include <stdint.h>

#include <iosfwd>
#include <string>
#include <vector>

#include "base/strings/string16.h"

namespace base {

class Version {
 public:
  // An invalid version.
  Version();
  Version(const Version& other);
  Version& operator=(const Version& other);
  ~Version();

  // Parses one or more non-negative decimal components joined by ".", each
  // at most 2^32 - 1. No sign, whitespace or empty component is accepted,
  // and the first component may not have a leading zero ("01.2" is invalid,
  // "1.02" is 1.2). Anything else gives an invalid version.
  explicit Version(StringPiece version_str);

  // Takes the components as they are; an empty list is invalid.
  explicit Version(std::vector<uint32_t> components);

  bool IsValid() const;

  // -1, 0 or 1. Missing trailing components count as zero, so 1.2 equals
  // 1.2.0.0. Both versions must be valid (DCHECKed).
  int CompareTo(const Version& other) const;

  // The components joined by ".", or "invalid".
  std::string GetString() const;

  const std::vector<uint32_t>& components() const { return components_; }

 private:
  std::vector<uint32_t> components_;
};

bool operator==(const Version& v1, const Version& v2);
bool operator!=(const Version& v1, const Version& v2);
bool operator<(const Version& v1, const Version& v2);
bool operator<=(const Version& v1, const Version& v2);
bool operator>(const Version& v1, const Version& v2);
bool operator>=(const Version& v1, const Version& v2);
std::ostream& operator<<(std::ostream& stream, const Version& v);

}  // namespace base

#endif  // BASE_VERSION_H_
