// An MSXML 3 DOM document and a cursor on one of its nodes. XmlReader walks
// and reads the document through the cursor, XmlWriter builds it, and
// SaveIndented turns it into the indented text of our XML files.
//
// COM must be initialised on the thread that uses the document. The
// operations log nothing: their results say whether they worked.

#ifndef DESKTOP_WINDOWS_INSTALLER_XML_DOCUMENT_H_
#define DESKTOP_WINDOWS_INSTALLER_XML_DOCUMENT_H_

#include <windows.h>

#include <msxml2.h>
#include <wrl/client.h>

#include <string>

#include "base/files/file_path.h"

namespace installer {

class XmlDocument {
 public:
  XmlDocument();
  XmlDocument(const XmlDocument&) = delete;
  XmlDocument& operator=(const XmlDocument&) = delete;
  ~XmlDocument();

  // Replaces the document by a new empty one whose document node is the
  // cursor, so that the first XmlWriter::StartElement makes the root.
  bool Create();

  // Replaces the document by the parsed content of |path|; the cursor is
  // the document node. A missing or malformed file fails.
  bool Load(const base::FilePath& path);

  // SaveIndented refuses documents whose elements nest deeper.
  static constexpr int kMaxDepth = 256;

  // The document as UTF-8 text: an XML declaration line, then the elements
  // indented by one blank per level, lines ended by a line feed, and a
  // final line feed. Tabs in the serialisation become blanks and carriage
  // returns are dropped, inside texts and attribute values as well. The
  // MSXML SAX reader parses the document for the SAX writer to print.
  bool SaveIndented(std::string* output) const;

  // For XmlReader and XmlWriter.
  IXMLDOMDocument* document() const { return document_.Get(); }
  IXMLDOMNode* current_node() const { return current_node_.Get(); }
  void set_current_node(Microsoft::WRL::ComPtr<IXMLDOMNode> node);
  // The cursor as an element; null when it is none.
  Microsoft::WRL::ComPtr<IXMLDOMElement> GetCurrentElement() const;

 private:
  // Declared in this order so that the cursor is released first.
  Microsoft::WRL::ComPtr<IXMLDOMDocument> document_;
  Microsoft::WRL::ComPtr<IXMLDOMNode> current_node_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_XML_DOCUMENT_H_
