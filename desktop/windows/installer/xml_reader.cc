#include "desktop/windows/installer/xml_reader.h"

#include <utility>

#include "base/logging.h"
#include "base/win/scoped_bstr.h"
#include "base/win/scoped_variant.h"
#include "desktop/windows/installer/xml_text.h"

using Microsoft::WRL::ComPtr;

namespace installer {

namespace {

bool IsElement(IXMLDOMNode* node, bool* is_element) {
  DOMNodeType type = NODE_INVALID;
  if (FAILED(node->get_nodeType(&type)))
    return false;
  *is_element = type == NODE_ELEMENT;
  return true;
}

XmlReader::ScopedSiblingFaultForTesting* g_sibling_fault = nullptr;

}  // namespace

XmlReader::ScopedSiblingFaultForTesting::ScopedSiblingFaultForTesting(
    std::string element_name,
    SiblingFailure failure)
    : element_name_(std::move(element_name)), failure_(failure) {
  DCHECK(!g_sibling_fault);
  g_sibling_fault = this;
}

XmlReader::ScopedSiblingFaultForTesting::~ScopedSiblingFaultForTesting() {
  g_sibling_fault = nullptr;
}

XmlReader::XmlReader(XmlDocument* document) : document_(document) {
  DCHECK(document_);
}

XmlReader::MoveResult XmlReader::FirstChildElement() {
  IXMLDOMNode* current = document_->current_node();
  if (!current)
    return kFailed;
  // The DOM's getters answer S_FALSE and null when there is no such node.
  ComPtr<IXMLDOMNode> child;
  if (FAILED(current->get_firstChild(child.GetAddressOf())))
    return kFailed;
  return MoveToElementFrom(std::move(child));
}

XmlReader::MoveResult XmlReader::NextSiblingElement(SiblingFailure* failure) {
  SiblingFailure unused;
  if (!failure)
    failure = &unused;
  *failure = SiblingFailure::kNone;
  IXMLDOMNode* current = document_->current_node();
  ComPtr<IXMLDOMNode> sibling;
  if (!current || IsSiblingFaultInjected(SiblingFailure::kNextNode) ||
      FAILED(current->get_nextSibling(sibling.GetAddressOf()))) {
    *failure = SiblingFailure::kNextNode;
    return kFailed;
  }
  const MoveResult result = IsSiblingFaultInjected(SiblingFailure::kSkipping)
                                ? kFailed
                                : MoveToElementFrom(std::move(sibling));
  if (result == kFailed)
    *failure = SiblingFailure::kSkipping;
  return result;
}

XmlReader::MoveResult XmlReader::Parent() {
  IXMLDOMNode* current = document_->current_node();
  if (!current)
    return kFailed;
  ComPtr<IXMLDOMNode> parent;
  if (FAILED(current->get_parentNode(parent.GetAddressOf())))
    return kFailed;
  if (!parent)
    return kNoElement;
  bool is_element = false;
  if (!IsElement(parent.Get(), &is_element))
    return kFailed;
  if (!is_element)
    return kNoElement;
  document_->set_current_node(std::move(parent));
  return kMoved;
}

bool XmlReader::GetNodeName(std::string* name) const {
  IXMLDOMNode* current = document_->current_node();
  base::win::ScopedBstr bstr;
  if (!current || FAILED(current->get_nodeName(bstr.Receive())))
    return false;
  *name = BstrToUtf8(bstr.Get());
  return true;
}

bool XmlReader::GetText(std::string* text) const {
  IXMLDOMNode* current = document_->current_node();
  base::win::ScopedBstr bstr;
  if (!current || FAILED(current->get_text(bstr.Receive())))
    return false;
  *text = BstrToUtf8(bstr.Get());
  return true;
}

bool XmlReader::GetAttribute(std::string_view name, std::string* value) const {
  ComPtr<IXMLDOMElement> element = document_->GetCurrentElement();
  if (!element)
    return false;
  base::win::ScopedBstr bstr_name;
  Utf8ToBstr(name, &bstr_name);
  base::win::ScopedVariant attribute;
  // A missing attribute answers S_FALSE with a null variant.
  if (element->getAttribute(bstr_name, attribute.Receive()) != S_OK)
    return false;
  if (attribute.type() == VT_NULL || attribute.type() == VT_EMPTY)
    return false;
  if (attribute.type() != VT_BSTR) {
    VARIANT converted;
    ::VariantInit(&converted);
    if (FAILED(
            ::VariantChangeType(&converted, attribute.AsInput(), 0, VT_BSTR)))
      return false;
    attribute.Reset(converted);
  }
  *value = BstrToUtf8(V_BSTR(attribute.ptr()));
  return true;
}

bool XmlReader::IsSiblingFaultInjected(SiblingFailure failure) const {
  std::string name;
  return g_sibling_fault && g_sibling_fault->failure_ == failure &&
         GetNodeName(&name) && name == g_sibling_fault->element_name_;
}

XmlReader::MoveResult XmlReader::MoveToElementFrom(ComPtr<IXMLDOMNode> node) {
  while (node) {
    bool is_element = false;
    if (!IsElement(node.Get(), &is_element))
      return kFailed;
    if (is_element) {
      document_->set_current_node(std::move(node));
      return kMoved;
    }
    ComPtr<IXMLDOMNode> next;
    if (FAILED(node->get_nextSibling(next.GetAddressOf())))
      return kFailed;
    node = std::move(next);
  }
  return kNoElement;
}

}  // namespace installer
