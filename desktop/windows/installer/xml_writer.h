// Builds an XmlDocument at its cursor: elements, attributes and texts. The
// writer does not own the document, which must have been made with
// XmlDocument::Create or Load.

#ifndef DESKTOP_WINDOWS_INSTALLER_XML_WRITER_H_
#define DESKTOP_WINDOWS_INSTALLER_XML_WRITER_H_

#include <string_view>

#include "desktop/windows/installer/xml_document.h"

namespace installer {

class XmlWriter {
 public:
  explicit XmlWriter(XmlDocument* document);
  XmlWriter(const XmlWriter&) = delete;
  XmlWriter& operator=(const XmlWriter&) = delete;

  // Appends a new element as the last child of the cursor and moves the
  // cursor to it.
  bool StartElement(std::string_view name);
  // Moves the cursor to its parent element. At the root element there is
  // none: false, and the cursor stays.
  bool EndElement();
  // Sets an attribute of the element at the cursor. Attributes are
  // serialised in the order in which they were first set.
  bool SetAttribute(std::string_view name, std::string_view value);
  // Replaces the text of the node at the cursor.
  bool SetText(std::string_view text);

 private:
  XmlDocument* const document_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_XML_WRITER_H_
