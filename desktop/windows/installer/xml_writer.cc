#include "desktop/windows/installer/xml_writer.h"

#include <utility>

#include "base/logging.h"
#include "base/win/scoped_bstr.h"
#include "base/win/scoped_variant.h"
#include "desktop/windows/installer/xml_reader.h"
#include "desktop/windows/installer/xml_text.h"

using Microsoft::WRL::ComPtr;

namespace installer {

XmlWriter::XmlWriter(XmlDocument* document) : document_(document) {
  DCHECK(document_);
}

bool XmlWriter::StartElement(std::string_view name) {
  IXMLDOMDocument* document = document_->document();
  IXMLDOMNode* current = document_->current_node();
  if (!document || !current)
    return false;
  base::win::ScopedBstr bstr_name;
  Utf8ToBstr(name, &bstr_name);
  ComPtr<IXMLDOMElement> element;
  if (FAILED(document->createElement(bstr_name, element.GetAddressOf())))
    return false;
  ComPtr<IXMLDOMNode> appended;
  if (FAILED(current->appendChild(element.Get(), appended.GetAddressOf())) ||
      !appended) {
    return false;
  }
  document_->set_current_node(std::move(appended));
  return true;
}

bool XmlWriter::EndElement() {
  return XmlReader(document_).Parent() == XmlReader::kMoved;
}

bool XmlWriter::SetAttribute(std::string_view name, std::string_view value) {
  ComPtr<IXMLDOMElement> element = document_->GetCurrentElement();
  if (!element)
    return false;
  base::win::ScopedBstr bstr_name;
  Utf8ToBstr(name, &bstr_name);
  base::win::ScopedVariant variant_value;
  Utf8ToVariant(value, &variant_value);
  return SUCCEEDED(element->setAttribute(bstr_name, variant_value));
}

bool XmlWriter::SetText(std::string_view text) {
  IXMLDOMNode* current = document_->current_node();
  if (!current)
    return false;
  base::win::ScopedBstr bstr_text;
  Utf8ToBstr(text, &bstr_text);
  return SUCCEEDED(current->put_text(bstr_text));
}

}  // namespace installer
