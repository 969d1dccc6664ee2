// A SAX content handler that passes the events of a SAX reader on to a
// writer. Wine's MXXMLWriter30 answers putDocumentLocator with E_NOTIMPL,
// and SAXXMLReader30 then abandons the parse: the forwarder accepts the
// locator in the writer's place. It also ends the parse at an element
// nested deeper than a limit, which each system's reader would draw
// elsewhere.

#ifndef DESKTOP_WINDOWS_INSTALLER_SAX_CONTENT_FORWARDER_H_
#define DESKTOP_WINDOWS_INSTALLER_SAX_CONTENT_FORWARDER_H_

#include <windows.h>

#include <msxml2.h>
#include <wrl/client.h>

namespace installer {

class SaxContentForwarder : public ISAXContentHandler {
 public:
  // The reference count starts at 1; the caller owns that reference. An
  // element nested deeper than |max_depth| fails the parse.
  SaxContentForwarder(Microsoft::WRL::ComPtr<ISAXContentHandler> target,
                      int max_depth);
  SaxContentForwarder(const SaxContentForwarder&) = delete;
  SaxContentForwarder& operator=(const SaxContentForwarder&) = delete;

  // IUnknown:
  HRESULT WINAPI QueryInterface(REFIID riid, void** object) override;
  ULONG WINAPI AddRef() override;
  ULONG WINAPI Release() override;

  // ISAXContentHandler:
  HRESULT WINAPI putDocumentLocator(ISAXLocator* locator) override;
  HRESULT WINAPI startDocument() override;
  HRESULT WINAPI endDocument() override;
  HRESULT WINAPI startPrefixMapping(const wchar_t* prefix,
                                    int prefix_length,
                                    const wchar_t* uri,
                                    int uri_length) override;
  HRESULT WINAPI endPrefixMapping(const wchar_t* prefix,
                                  int prefix_length) override;
  HRESULT WINAPI startElement(const wchar_t* namespace_uri,
                              int namespace_uri_length,
                              const wchar_t* local_name,
                              int local_name_length,
                              const wchar_t* qualified_name,
                              int qualified_name_length,
                              ISAXAttributes* attributes) override;
  HRESULT WINAPI endElement(const wchar_t* namespace_uri,
                            int namespace_uri_length,
                            const wchar_t* local_name,
                            int local_name_length,
                            const wchar_t* qualified_name,
                            int qualified_name_length) override;
  HRESULT WINAPI characters(const wchar_t* chars, int length) override;
  HRESULT WINAPI ignorableWhitespace(const wchar_t* chars, int length) override;
  HRESULT WINAPI processingInstruction(const wchar_t* target,
                                       int target_length,
                                       const wchar_t* data,
                                       int data_length) override;
  HRESULT WINAPI skippedEntity(const wchar_t* name, int name_length) override;

 private:
  // Only Release deletes the object.
  virtual ~SaxContentForwarder();

  LONG ref_count_ = 1;
  Microsoft::WRL::ComPtr<ISAXContentHandler> target_;
  const int max_depth_;
  // Of the element whose content is reported now; 0 outside the root.
  int depth_ = 0;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SAX_CONTENT_FORWARDER_H_
