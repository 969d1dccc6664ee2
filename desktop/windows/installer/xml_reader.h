// Walks an XmlDocument element by element and reads names, texts and
// attributes at its cursor. The reader does not own the document.

#ifndef DESKTOP_WINDOWS_INSTALLER_XML_READER_H_
#define DESKTOP_WINDOWS_INSTALLER_XML_READER_H_

#include <string>
#include <string_view>

#include "desktop/windows/installer/xml_document.h"

namespace installer {

class XmlReader {
 public:
  // What a cursor move did. Only kMoved changes the cursor.
  enum MoveResult {
    kMoved = 0,
    kNoElement = 1,
    kFailed = 2,  // A COM call failed.
  };

  explicit XmlReader(XmlDocument* document);
  XmlReader(const XmlReader&) = delete;
  XmlReader& operator=(const XmlReader&) = delete;

  // Moves to the first child element, skipping text, comments and other
  // nodes.
  MoveResult FirstChildElement();
  // Where a move to the next sibling element failed.
  enum class SiblingFailure {
    kNone,
    kNextNode,  // Reaching the node after the cursor.
    kSkipping,  // Passing over the nodes that are no elements.
  };
  // Moves to the next sibling element, skipping other nodes. |failure|,
  // when given, tells where a kFailed move failed.
  MoveResult NextSiblingElement(SiblingFailure* failure = nullptr);

  // Makes every move to the next sibling from an element named
  // |element_name| fail at |failure| while alive. Tests only.
  class ScopedSiblingFaultForTesting {
   public:
    ScopedSiblingFaultForTesting(std::string element_name,
                                 SiblingFailure failure);
    ScopedSiblingFaultForTesting(const ScopedSiblingFaultForTesting&) = delete;
    ScopedSiblingFaultForTesting& operator=(
        const ScopedSiblingFaultForTesting&) = delete;
    ~ScopedSiblingFaultForTesting();

   private:
    friend class XmlReader;
    const std::string element_name_;
    const SiblingFailure failure_;
  };
  // Moves to the parent when it is an element: from the root element there
  // is no way up to the document node.
  MoveResult Parent();

  bool GetNodeName(std::string* name) const;
  // The text of the node and all its descendants.
  bool GetText(std::string* text) const;
  // False when the cursor is not on an element or the attribute is missing.
  bool GetAttribute(std::string_view name, std::string* value) const;

 private:
  // Makes |node|, or else its first following sibling that is an element,
  // the cursor.
  MoveResult MoveToElementFrom(Microsoft::WRL::ComPtr<IXMLDOMNode> node);
  // Whether a test makes the move from the cursor fail at |failure|.
  bool IsSiblingFaultInjected(SiblingFailure failure) const;

  XmlDocument* const document_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_XML_READER_H_
