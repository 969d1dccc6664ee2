#include "desktop/windows/installer/xml_document.h"

#include <shlwapi.h>

#include <memory>
#include <utility>

#include "base/files/file.h"
#include "base/logging.h"
#include "base/strings/string_util.h"
#include "base/win/scoped_bstr.h"
#include "base/win/scoped_variant.h"
#include "desktop/windows/installer/msxml_ids.h"
#include "desktop/windows/installer/sax_content_forwarder.h"
#include "desktop/windows/installer/service/com_util.h"
#include "desktop/windows/installer/string_output_stream.h"
#include "desktop/windows/installer/xml_text.h"

using Microsoft::WRL::ComPtr;

namespace installer {

namespace {

constexpr char kXmlDeclaration[] = "<?xml version=\"1.0\"?>\n";

template <typename Interface>
HRESULT CreateInProc(REFCLSID clsid, REFIID iid, ComPtr<Interface>& result) {
  return ::CoCreateInstance(
      clsid, nullptr, CLSCTX_INPROC_SERVER, iid,
      reinterpret_cast<void**>(result.ReleaseAndGetAddressOf()));
}

constexpr wchar_t kLexicalHandlerProperty[] =
    L"http://xml.org/sax/properties/lexical-handler";
constexpr wchar_t kDeclarationHandlerProperty[] =
    L"http://xml.org/sax/properties/declaration-handler";

// A writer that writes UTF-8 into a stream, with the handler interfaces the
// SAX reader feeds.
struct SaxWriter {
  ComPtr<IMXWriter> writer;
  ComPtr<ISAXContentHandler> content_handler;
  ComPtr<ISAXErrorHandler> error_handler;
  ComPtr<ISAXDTDHandler> dtd_handler;
};

// Creates a writer that writes UTF-8 into |output|, indented.
bool CreateSaxWriter(IStream* output, SaxWriter* sax) {
  if (FAILED(CreateInProc(kClsidMXXMLWriter30, kIidIMXWriter, sax->writer)) ||
      FAILED(QueryFor(sax->writer.Get(), kIidISAXContentHandler,
                      sax->content_handler)) ||
      FAILED(QueryFor(sax->writer.Get(), kIidISAXErrorHandler,
                      sax->error_handler)) ||
      FAILED(
          QueryFor(sax->writer.Get(), kIidISAXDTDHandler, sax->dtd_handler))) {
    return false;
  }
  IMXWriter* const writer = sax->writer.Get();
  // Not the writer's own string output: Wine's garbles it where a write
  // crosses one of its 2048-character buffers (a tag "</file>" comes out
  // as "</fifi>"), so longer documents could not be read back.
  base::win::ScopedVariant stream_output(static_cast<IUnknown*>(output));
  base::win::ScopedBstr encoding(L"UTF-8");
  return SUCCEEDED(writer->put_byteOrderMark(VARIANT_FALSE)) &&
         SUCCEEDED(writer->put_omitXMLDeclaration(VARIANT_TRUE)) &&
         SUCCEEDED(writer->put_indent(VARIANT_TRUE)) &&
         SUCCEEDED(writer->put_encoding(encoding.Get())) &&
         SUCCEEDED(writer->put_output(stream_output));
}

// A SAX reader that reports what it parses to |sax|'s writer, refusing
// elements nested deeper than |max_depth|.
bool ConnectSaxReader(const SaxWriter& sax,
                      int max_depth,
                      ComPtr<ISAXXMLReader>& reader) {
  if (FAILED(CreateInProc(kClsidSAXXMLReader30, kIidISAXXMLReader, reader)))
    return false;
  ComPtr<ISAXContentHandler> forwarder;
  forwarder.Attach(new SaxContentForwarder(sax.content_handler, max_depth));
  base::win::ScopedVariant writer(static_cast<IUnknown*>(sax.writer.Get()));
  return SUCCEEDED(reader->putContentHandler(forwarder.Get())) &&
         SUCCEEDED(reader->putErrorHandler(sax.error_handler.Get())) &&
         SUCCEEDED(reader->putDTDHandler(sax.dtd_handler.Get())) &&
         SUCCEEDED(reader->putProperty(kLexicalHandlerProperty, writer)) &&
         SUCCEEDED(reader->putProperty(kDeclarationHandlerProperty, writer));
}

// The text of |document| as a stream for the reader to parse. Given the
// document itself, Wine's reader serialises it into one string and parses
// that, in time that grows with the square of the document's size (57 s
// for the log of 1.6 million files, 80 MB); from a stream it parses the
// same text in pieces, in time linear in its size. Null on failure.
ComPtr<IStream> SaveToStream(IXMLDOMDocument* document) {
  ComPtr<StringOutputStream> saved;
  saved.Attach(new StringOutputStream());
  base::win::ScopedVariant target(static_cast<IUnknown*>(saved.Get()));
  if (FAILED(document->save(target)))
    return nullptr;
  // Our files have no carriage returns, and Wine's reader would report one
  // of a text as a line feed: they go before the parse, written out or as
  // character references.
  std::string text;
  base::RemoveChars(saved->text(), "\r", &text);
  for (const char* reference : {"&#13;", "&#xD;", "&#xd;"})
    base::ReplaceSubstringsAfterOffset(&text, 0, reference, "");
  ComPtr<IStream> stream;
  stream.Attach(::SHCreateMemStream(reinterpret_cast<const BYTE*>(text.data()),
                                    static_cast<UINT>(text.size())));
  return stream;
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

// The largest file Load reads; an install log of a million files is about
// 50 MB.
constexpr int64_t kMaxLoadSize = 512 * 1024 * 1024;

struct SafeArrayDeleter {
  void operator()(SAFEARRAY* array) const { ::SafeArrayDestroy(array); }
};
using ScopedSafeArray = std::unique_ptr<SAFEARRAY, SafeArrayDeleter>;

// The bytes of |path|, in the form the document loads from memory; null
// when the file cannot be read or is too large.
ScopedSafeArray ReadFileBytes(const base::FilePath& path) {
  // Others may read it meanwhile, not change it.
  base::File file(path, base::File::FLAG_OPEN | base::File::FLAG_READ |
                            base::File::FLAG_EXCLUSIVE_WRITE);
  const int64_t length = file.IsValid() ? file.GetLength() : -1;
  if (length < 0 || length > kMaxLoadSize)
    return nullptr;
  ScopedSafeArray bytes(
      ::SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(length)));
  void* data = nullptr;
  if (!bytes || FAILED(::SafeArrayAccessData(bytes.get(), &data)))
    return nullptr;
  const int read =
      length ? file.Read(0, static_cast<char*>(data), static_cast<int>(length))
             : 0;
  ::SafeArrayUnaccessData(bytes.get());
  if (read != length)
    return nullptr;
  return bytes;
}

// Loads the document from the file's bytes in memory. A path would be taken
// as a URL, and a folder name holding "%20" or "#" would then name another
// file; a stream was copied by the document into a block that it grew by a
// few kilobytes at a time, which took time in the square of the size.
bool LoadFile(IXMLDOMDocument* document, const base::FilePath& path) {
  ScopedSafeArray bytes = ReadFileBytes(path);
  if (!bytes)
    return false;
  VARIANT source;
  ::VariantInit(&source);
  source.vt = VT_ARRAY | VT_UI1;
  source.parray = bytes.get();
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
  ComPtr<StringOutputStream> stream;
  stream.Attach(new StringOutputStream());
  SaxWriter sax;
  ComPtr<ISAXXMLReader> reader;
  if (!CreateSaxWriter(stream.Get(), &sax) ||
      !ConnectSaxReader(sax, kMaxDepth, reader)) {
    return false;
  }
  // The reader parses the document and the writer prints what it reports.
  ComPtr<IStream> text = SaveToStream(document_.Get());
  if (!text)
    return false;
  base::win::ScopedVariant source(static_cast<IUnknown*>(text.Get()));
  if (FAILED(reader->parse(source)) || FAILED(sax.writer->flush()))
    return false;
  *output = FinishSerialisation(stream->text());
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
