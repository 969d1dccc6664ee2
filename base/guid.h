// Random (version 4) GUIDs as text.

#ifndef BASE_GUID_H_
#define BASE_GUID_H_

#include <stdint.h>

#include <string>

#include "base/strings/string16.h"

namespace base {

// A new random GUID in lower case, "xxxxxxxx-xxxx-4xxx-yxxx-xxxxxxxxxxxx"
// with y one of 8, 9, a, b. Returns an empty string when the system random
// source fails (logged).
std::string GenerateGUID();

// Whether |guid| has the 8-4-4-4-12 hex digit layout, digits in either case,
// without braces.
bool IsValidGUID(StringPiece guid);
bool IsValidGUID(StringPiece16 guid);

// As IsValidGUID, but only lower-case digits: the form GenerateGUID makes.
bool IsValidGUIDOutputString(StringPiece guid);

// The text of the GUID made of these 128 bits (no version bits are set).
std::string RandomDataToGUIDString(const uint64_t bytes[2]);

}  // namespace base

#endif  // BASE_GUID_H_
