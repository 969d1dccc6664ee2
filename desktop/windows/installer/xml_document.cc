#include "desktop/windows/installer/xml_document.h"

#include <memory>
#include <utility>

#include "base/files/file.h"
#include "base/logging.h"
#include "base/strings/string_util.h"
#include "base/win/scoped_bstr.h"
#include "base/win/scoped_variant.h"
#include "desktop/windows/installer/dom_sax_events.h"
#include "desktop/windows/installer/msxml_ids.h"
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

// Creates a writer that writes UTF-8 into |output|, indented.
bool CreateSaxWriter(IStream* output,
                     ComPtr<IMXWriter>& writer,
                     ComPtr<ISAXContentHandler>& handler) {
  if (FAILED(CreateInProc(kClsidMXXMLWriter30, kIidIMXWriter, writer)) ||
      FAILED(QueryFor(writer.Get(), kIidISAXContentHandler, handler))) {
    return false;
  }
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
  ComPtr<IMXWriter> writer;
  ComPtr<ISAXContentHandler> handler;
  ComPtr<IMXAttributes> attributes;
  ComPtr<IXMLDOMNode> document_node;
  if (FAILED(QueryFor(document_.Get(), kIidIXMLDOMNode, document_node)) ||
      !CreateSaxWriter(stream.Get(), writer, handler) ||
      FAILED(
          CreateInProc(kClsidSAXAttributes30, kIidIMXAttributes, attributes)) ||
      !ReportDomToSax(document_node.Get(), handler.Get(), attributes.Get()) ||
      FAILED(writer->flush())) {
    return false;
  }
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
