#include "desktop/windows/installer/xml_document.h"

#include <shlwapi.h>

#include <utility>

#include "base/logging.h"
#include "base/strings/string_util.h"
#include "base/win/scoped_bstr.h"
#include "base/win/scoped_variant.h"
#include "desktop/windows/installer/msxml_ids.h"
#include "desktop/windows/installer/sax_content_forwarder.h"
#include "desktop/windows/installer/xml_text.h"

using Microsoft::WRL::ComPtr;

namespace installer {

namespace {

constexpr char kXmlDeclaration[] = "<?xml version=\"1.0\"?>\n";
constexpr wchar_t kLexicalHandlerProperty[] =
    L"http://xml.org/sax/properties/lexical-handler";
constexpr wchar_t kDeclarationHandlerProperty[] =
    L"http://xml.org/sax/properties/declaration-handler";

template <typename Interface>
HRESULT QueryFor(IUnknown* object, REFIID iid, ComPtr<Interface>& result) {
  return object->QueryInterface(
      iid, reinterpret_cast<void**>(result.ReleaseAndGetAddressOf()));
}

template <typename Interface>
HRESULT CreateInProc(REFCLSID clsid, REFIID iid, ComPtr<Interface>& result) {
  return ::CoCreateInstance(
      clsid, nullptr, CLSCTX_INPROC_SERVER, iid,
      reinterpret_cast<void**>(result.ReleaseAndGetAddressOf()));
}

// A writer that writes UTF-8 into a stream, with the handler interfaces the
// SAX reader feeds.
struct SaxWriter {
  ComPtr<IMXWriter> writer;
  ComPtr<ISAXContentHandler> content_handler;
  ComPtr<ISAXErrorHandler> error_handler;
  ComPtr<ISAXDTDHandler> dtd_handler;
};

bool CreateSaxWriter(SaxWriter* sax, IStream* output) {
  if (FAILED(CreateInProc(kClsidMXXMLWriter30, kIidIMXWriter, sax->writer)) ||
      FAILED(QueryFor(sax->writer.Get(), kIidISAXContentHandler,
                      sax->content_handler)) ||
      FAILED(QueryFor(sax->writer.Get(), kIidISAXErrorHandler,
                      sax->error_handler)) ||
      FAILED(
          QueryFor(sax->writer.Get(), kIidISAXDTDHandler, sax->dtd_handler))) {
    return false;
  }
  // Not the writer's own string output: Wine's garbles it where a write
  // crosses one of its 2048-character buffers (a tag "</file>" comes out
  // as "</fifi>"), so longer documents could not be read back.
  base::win::ScopedVariant stream_output(static_cast<IUnknown*>(output));
  base::win::ScopedBstr encoding(L"UTF-8");
  return SUCCEEDED(sax->writer->put_byteOrderMark(VARIANT_FALSE)) &&
         SUCCEEDED(sax->writer->put_omitXMLDeclaration(VARIANT_TRUE)) &&
         SUCCEEDED(sax->writer->put_indent(VARIANT_TRUE)) &&
         SUCCEEDED(sax->writer->put_encoding(encoding.Get())) &&
         SUCCEEDED(sax->writer->put_output(stream_output));
}

bool ConnectSaxReader(const SaxWriter& sax, ComPtr<ISAXXMLReader>& reader) {
  if (FAILED(CreateInProc(kClsidSAXXMLReader30, kIidISAXXMLReader, reader)))
    return false;
  ComPtr<ISAXContentHandler> forwarder;
  forwarder.Attach(new SaxContentForwarder(sax.content_handler));
  base::win::ScopedVariant writer_variant(
      static_cast<IUnknown*>(sax.writer.Get()));
  return SUCCEEDED(reader->putContentHandler(forwarder.Get())) &&
         SUCCEEDED(reader->putErrorHandler(sax.error_handler.Get())) &&
         SUCCEEDED(reader->putDTDHandler(sax.dtd_handler.Get())) &&
         SUCCEEDED(
             reader->putProperty(kLexicalHandlerProperty, writer_variant)) &&
         SUCCEEDED(
             reader->putProperty(kDeclarationHandlerProperty, writer_variant));
}

// The writer indents with tabs and ends lines with CR LF; our files use one
// blank per level and bare line feeds. Line breaks before and after the
// root element are the writer's own and are replaced by ours.
std::string FinishSerialisation(std::string body) {
  body = std::string(base::TrimString(body, "\r\n", base::TRIM_ALL));
  std::string result = kXmlDeclaration + body;
  base::RemoveChars(result, "\r", &result);
  base::ReplaceChars(result, "\t", " ", &result);
  result += '\n';
  return result;
}

// The document would take a path as a URL, and a folder name holding "%20"
// or "#" would then name another file: it reads a stream instead.
bool LoadFile(IXMLDOMDocument* document, const base::FilePath& path) {
  ComPtr<IStream> stream;
  if (FAILED(::SHCreateStreamOnFileEx(
          path.value().c_str(), STGM_READ | STGM_SHARE_DENY_WRITE,
          FILE_ATTRIBUTE_NORMAL, FALSE, nullptr, stream.GetAddressOf()))) {
    return false;
  }
  base::win::ScopedVariant source(static_cast<IUnknown*>(stream.Get()));
  // S_FALSE and false: the file is not well-formed.
  VARIANT_BOOL loaded = VARIANT_FALSE;
  return SUCCEEDED(document->load(source, &loaded)) && loaded == VARIANT_TRUE;
}

}  // namespace

XmlDocument::XmlDocument() = default;

XmlDocument::~XmlDocument() = default;

bool XmlDocument::Create() {
  current_node_.Reset();
  document_.Reset();
  ComPtr<IXMLDOMDocument> document;
  if (FAILED(
          CreateInProc(kClsidDOMDocument30, kIidIXMLDOMDocument, document)) ||
      FAILED(document->put_async(VARIANT_FALSE)) ||
      FAILED(document->put_validateOnParse(VARIANT_FALSE)) ||
      FAILED(document->put_resolveExternals(VARIANT_FALSE))) {
    return false;
  }
  ComPtr<IXMLDOMNode> document_node;
  if (FAILED(QueryFor(document.Get(), kIidIXMLDOMNode, document_node)))
    return false;
  document_ = std::move(document);
  current_node_ = std::move(document_node);
  return true;
}

bool XmlDocument::Load(const base::FilePath& path) {
  if (Create() && LoadFile(document_.Get(), path))
    return true;
  current_node_.Reset();
  document_.Reset();
  return false;
}

bool XmlDocument::SaveIndented(std::string* output) const {
  DCHECK(output);
  if (!document_)
    return false;
  SaxWriter sax;
  ComPtr<ISAXXMLReader> reader;
  ComPtr<IStream> stream;
  if (FAILED(::CreateStreamOnHGlobal(nullptr, TRUE, stream.GetAddressOf())) ||
      !CreateSaxWriter(&sax, stream.Get()) || !ConnectSaxReader(sax, reader)) {
    return false;
  }
  // The reader walks the DOM it is given and the writer prints the events.
  base::win::ScopedVariant source(static_cast<IDispatch*>(document_.Get()));
  if (FAILED(reader->parse(source)))
    return false;
  HGLOBAL memory = nullptr;
  STATSTG stat = {};
  if (FAILED(sax.writer->flush()) ||
      FAILED(::GetHGlobalFromStream(stream.Get(), &memory)) ||
      FAILED(stream->Stat(&stat, STATFLAG_NONAME))) {
    return false;
  }
  const char* bytes = static_cast<const char*>(::GlobalLock(memory));
  if (!bytes)
    return false;
  std::string body(bytes, static_cast<size_t>(stat.cbSize.QuadPart));
  ::GlobalUnlock(memory);
  *output = FinishSerialisation(std::move(body));
  return true;
}

void XmlDocument::set_current_node(ComPtr<IXMLDOMNode> node) {
  DCHECK(node);
  current_node_ = std::move(node);
}

ComPtr<IXMLDOMElement> XmlDocument::GetCurrentElement() const {
  DOMNodeType type = NODE_INVALID;
  ComPtr<IXMLDOMElement> element;
  if (!current_node_ || FAILED(current_node_->get_nodeType(&type)) ||
      type != NODE_ELEMENT ||
      FAILED(QueryFor(current_node_.Get(), kIidIXMLDOMElement, element))) {
    return nullptr;
  }
  return element;
}

}  // namespace installer
