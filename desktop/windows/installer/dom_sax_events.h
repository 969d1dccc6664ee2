// Walks a DOM and reports its elements and texts to a SAX content handler,
// the events a SAX reader given the document reports on Windows. The XML
// document prints itself this way through the SAX writer: Wine's reader,
// given a document, serialises it and parses the text again, in time that
// grew with the square of the document's size.

#ifndef DESKTOP_WINDOWS_INSTALLER_DOM_SAX_EVENTS_H_
#define DESKTOP_WINDOWS_INSTALLER_DOM_SAX_EVENTS_H_

#include <windows.h>

#include <msxml2.h>

namespace installer {

// Reports |document| (a document node) to |handler| from startDocument to
// endDocument. Elements carry their attributes, in the order they were
// first set, through |attributes|, an MXAttributes object that is cleared
// for each element. Documents of elements and texts only, as XmlWriter
// builds them: false for any other kind of node, for nesting deeper than
// kMaxDomDepth, and for a failing call.
bool ReportDomToSax(IXMLDOMNode* document,
                    ISAXContentHandler* handler,
                    IMXAttributes* attributes);

// Deeper documents are refused rather than walked.
constexpr int kMaxDomDepth = 256;

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_DOM_SAX_EVENTS_H_
