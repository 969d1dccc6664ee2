#include "desktop/windows/installer/sax_content_forwarder.h"

#include <utility>

#include "base/logging.h"
#include "desktop/windows/installer/msxml_ids.h"

namespace installer {

SaxContentForwarder::SaxContentForwarder(
    Microsoft::WRL::ComPtr<ISAXContentHandler> target,
    int max_depth)
    : target_(std::move(target)), max_depth_(max_depth) {
  DCHECK(target_);
}

SaxContentForwarder::~SaxContentForwarder() = default;

HRESULT SaxContentForwarder::QueryInterface(REFIID riid, void** object) {
  if (!object)
    return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) ||
      IsEqualIID(riid, kIidISAXContentHandler)) {
    *object = static_cast<ISAXContentHandler*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG SaxContentForwarder::AddRef() {
  return static_cast<ULONG>(::InterlockedIncrement(&ref_count_));
}

ULONG SaxContentForwarder::Release() {
  LONG count = ::InterlockedDecrement(&ref_count_);
  DCHECK_GE(count, 0);
  if (count == 0)
    delete this;
  return static_cast<ULONG>(count);
}

HRESULT SaxContentForwarder::putDocumentLocator(ISAXLocator* locator) {
  HRESULT hr = target_->putDocumentLocator(locator);
  // The writer has no use for positions; refusing them must not end the
  // parse.
  return hr == E_NOTIMPL ? S_OK : hr;
}

HRESULT SaxContentForwarder::startDocument() {
  return target_->startDocument();
}

HRESULT SaxContentForwarder::endDocument() {
  return target_->endDocument();
}

HRESULT SaxContentForwarder::startPrefixMapping(const wchar_t* prefix,
                                                int prefix_length,
                                                const wchar_t* uri,
                                                int uri_length) {
  return target_->startPrefixMapping(prefix, prefix_length, uri, uri_length);
}

HRESULT SaxContentForwarder::endPrefixMapping(const wchar_t* prefix,
                                              int prefix_length) {
  return target_->endPrefixMapping(prefix, prefix_length);
}

HRESULT SaxContentForwarder::startElement(const wchar_t* namespace_uri,
                                          int namespace_uri_length,
                                          const wchar_t* local_name,
                                          int local_name_length,
                                          const wchar_t* qualified_name,
                                          int qualified_name_length,
                                          ISAXAttributes* attributes) {
  if (depth_ >= max_depth_)
    return E_FAIL;
  ++depth_;
  return target_->startElement(namespace_uri, namespace_uri_length, local_name,
                               local_name_length, qualified_name,
                               qualified_name_length, attributes);
}

HRESULT SaxContentForwarder::endElement(const wchar_t* namespace_uri,
                                        int namespace_uri_length,
                                        const wchar_t* local_name,
                                        int local_name_length,
                                        const wchar_t* qualified_name,
                                        int qualified_name_length) {
  --depth_;
  return target_->endElement(namespace_uri, namespace_uri_length, local_name,
                             local_name_length, qualified_name,
                             qualified_name_length);
}

HRESULT SaxContentForwarder::characters(const wchar_t* chars, int length) {
  return target_->characters(chars, length);
}

HRESULT SaxContentForwarder::ignorableWhitespace(const wchar_t* chars,
                                                 int length) {
  return target_->ignorableWhitespace(chars, length);
}

HRESULT SaxContentForwarder::processingInstruction(const wchar_t* target,
                                                   int target_length,
                                                   const wchar_t* data,
                                                   int data_length) {
  return target_->processingInstruction(target, target_length, data,
                                        data_length);
}

HRESULT SaxContentForwarder::skippedEntity(const wchar_t* name,
                                           int name_length) {
  return target_->skippedEntity(name, name_length);
}

}  // namespace installer
