#include "components/crash_handler/runtime_crash.h"

#include <wchar.h>

#include <iterator>

namespace crash_handler {

namespace {

// Copies at most 127 characters and terminates; null stays empty.
void CopyAssertionText(const wchar_t* text, wchar_t (&field)[128]) {
  if (!text)
    return;
  wcsncpy(field, text, std::size(field) - 1);
  field[std::size(field) - 1] = L'\0';
}

}  // namespace

MDRawAssertionInfo MakeInvalidParameterAssertion(const wchar_t* expression,
                                                 const wchar_t* function,
                                                 const wchar_t* file,
                                                 unsigned int line) {
  MDRawAssertionInfo assertion = {};
  CopyAssertionText(expression, assertion.expression);
  CopyAssertionText(function, assertion.function);
  CopyAssertionText(file, assertion.file);
  assertion.line = line;
  assertion.type = kAssertionTypeInvalidParameter;
  return assertion;
}

}  // namespace crash_handler
