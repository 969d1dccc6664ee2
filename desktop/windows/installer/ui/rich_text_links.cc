#include "desktop/windows/installer/ui/rich_text_links.h"

namespace installer {

namespace {

constexpr wchar_t kAnchorStart[] = L"<a href=\"";
constexpr wchar_t kAnchorClose[] = L"</a>";

}  // namespace

LinkedText ParseLinkedText(const std::wstring& html) {
  LinkedText result;
  size_t position = 0;
  while (position < html.size()) {
    const size_t anchor = html.find(kAnchorStart, position);
    if (anchor == std::wstring::npos)
      break;
    const size_t address_start = anchor + std::size(kAnchorStart) - 1;
    const size_t address_end = html.find(L'"', address_start);
    const size_t tag_end = address_end == std::wstring::npos
                               ? std::wstring::npos
                               : html.find(L'>', address_end);
    const size_t close = tag_end == std::wstring::npos
                             ? std::wstring::npos
                             : html.find(kAnchorClose, tag_end);
    // The tag must end right after the quoted address.
    if (close == std::wstring::npos || tag_end != address_end + 1) {
      result.text.append(html, position, address_start - position);
      position = address_start;
      continue;
    }
    result.text.append(html, position, anchor - position);
    TextLink link;
    link.address = html.substr(address_start, address_end - address_start);
    link.start = static_cast<long>(result.text.size());
    result.text.append(html, tag_end + 1, close - tag_end - 1);
    link.end = static_cast<long>(result.text.size());
    result.links.push_back(std::move(link));
    position = close + std::size(kAnchorClose) - 1;
  }
  if (position < html.size())
    result.text.append(html, position, std::wstring::npos);
  return result;
}

const TextLink* FindLinkAt(const LinkedText& linked, long position) {
  for (const TextLink& link : linked.links) {
    if (position >= link.start && position < link.end)
      return &link;
  }
  return nullptr;
}

}  // namespace installer
