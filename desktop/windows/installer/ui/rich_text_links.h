// Turns the HTML anchors of a localised text ("... <a href="tos">Terms</a>")
// into plain text plus the character ranges that a rich edit control shows
// as links, and finds which link a click hit.
//
//   LinkedText linked = ParseLinkedText(l10n::GetLocalizedStringF(...));
//   SetWindowText(rich_edit, linked.text.c_str());
//   for (const TextLink& link : linked.links) ...  // CFE_LINK on the range
//
// Only <a href="..."> with a double-quoted address is an anchor; anything
// else, including a malformed or unclosed anchor, stays literal text.

#ifndef DESKTOP_WINDOWS_INSTALLER_UI_RICH_TEXT_LINKS_H_
#define DESKTOP_WINDOWS_INSTALLER_UI_RICH_TEXT_LINKS_H_

#include <string>
#include <vector>

namespace installer {

struct TextLink {
  // Characters [start, end) of the plain text.
  long start = 0;
  long end = 0;
  std::wstring address;
};

struct LinkedText {
  std::wstring text;
  std::vector<TextLink> links;
};

LinkedText ParseLinkedText(const std::wstring& html);

// The link that holds character |position|, or null.
const TextLink* FindLinkAt(const LinkedText& linked, long position);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_UI_RICH_TEXT_LINKS_H_
