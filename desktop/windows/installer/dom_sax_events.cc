#include "desktop/windows/installer/dom_sax_events.h"

#include <wrl/client.h>

#include "base/logging.h"
#include "base/strings/string16.h"
#include "base/win/scoped_bstr.h"
#include "base/win/scoped_variant.h"
#include "desktop/windows/installer/msxml_ids.h"

using Microsoft::WRL::ComPtr;

namespace installer {

namespace {

int Length(BSTR text) {
  return static_cast<int>(::SysStringLen(text));
}

// The value of |node| (a text or an attribute) as a string.
bool GetValue(IXMLDOMNode* node, base::win::ScopedBstr* value) {
  base::win::ScopedVariant variant;
  if (FAILED(node->get_nodeValue(variant.Receive())))
    return false;
  const bool is_text = variant.type() == VT_BSTR;
  if (!is_text && variant.type() != VT_NULL && variant.type() != VT_EMPTY)
    return false;
  // An empty text may come as no string at all.
  const BSTR text = is_text ? V_BSTR(variant.ptr()) : nullptr;
  return value->Allocate(base::StringPiece16(text ? text : L"",
                                             ::SysStringLen(text))) != nullptr;
}

class Walker {
 public:
  Walker(ISAXContentHandler* handler, IMXAttributes* attributes)
      : handler_(handler), attributes_(attributes) {}

  bool ReportChildren(IXMLDOMNode* parent, int depth) {
    if (depth > kMaxDomDepth)
      return false;
    ComPtr<IXMLDOMNode> child;
    if (FAILED(parent->get_firstChild(child.GetAddressOf())))
      return false;
    while (child) {
      if (!ReportNode(child.Get(), depth))
        return false;
      ComPtr<IXMLDOMNode> next;
      if (FAILED(child->get_nextSibling(next.GetAddressOf())))
        return false;
      child = std::move(next);
    }
    return true;
  }

 private:
  bool ReportNode(IXMLDOMNode* node, int depth) {
    DOMNodeType type = NODE_INVALID;
    if (FAILED(node->get_nodeType(&type)))
      return false;
    switch (type) {
      case NODE_ELEMENT:
        return ReportElement(node, depth);
      case NODE_TEXT:
      case NODE_CDATA_SECTION: {
        base::win::ScopedBstr text;
        return GetValue(node, &text) &&
               SUCCEEDED(handler_->characters(text.Get(), Length(text.Get())));
      }
      default:
        return false;
    }
  }

  bool ReportElement(IXMLDOMNode* element, int depth) {
    base::win::ScopedBstr name;
    if (FAILED(element->get_nodeName(name.Receive())) ||
        !SetAttributes(element)) {
      return false;
    }
    ComPtr<ISAXAttributes> sax_attributes;
    if (FAILED(attributes_->QueryInterface(
            kIidISAXAttributes,
            reinterpret_cast<void**>(sax_attributes.GetAddressOf()))) ||
        FAILED(handler_->startElement(L"", 0, L"", 0, name.Get(),
                                      Length(name.Get()),
                                      sax_attributes.Get()))) {
      return false;
    }
    return ReportChildren(element, depth + 1) &&
           SUCCEEDED(handler_->endElement(L"", 0, L"", 0, name.Get(),
                                          Length(name.Get())));
  }

  bool SetAttributes(IXMLDOMNode* element) {
    if (FAILED(attributes_->clear()))
      return false;
    ComPtr<IXMLDOMNamedNodeMap> map;
    long count = 0;
    if (FAILED(element->get_attributes(map.GetAddressOf())) || !map ||
        FAILED(map->get_length(&count))) {
      return false;
    }
    base::win::ScopedBstr empty(L"");
    base::win::ScopedBstr cdata(L"CDATA");
    for (long i = 0; i < count; ++i) {
      ComPtr<IXMLDOMNode> attribute;
      base::win::ScopedBstr name;
      base::win::ScopedBstr value;
      if (FAILED(map->get_item(i, attribute.GetAddressOf())) || !attribute ||
          FAILED(attribute->get_nodeName(name.Receive())) ||
          !GetValue(attribute.Get(), &value) ||
          FAILED(attributes_->addAttribute(empty.Get(), empty.Get(), name.Get(),
                                           cdata.Get(), value.Get()))) {
        return false;
      }
    }
    return true;
  }

  ISAXContentHandler* const handler_;
  IMXAttributes* const attributes_;
};

}  // namespace

bool ReportDomToSax(IXMLDOMNode* document,
                    ISAXContentHandler* handler,
                    IMXAttributes* attributes) {
  DCHECK(document && handler && attributes);
  return SUCCEEDED(handler->startDocument()) &&
         Walker(handler, attributes).ReportChildren(document, 0) &&
         SUCCEEDED(handler->endDocument());
}

}  // namespace installer
