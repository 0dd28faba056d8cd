#include "ui/link_text.h"

#include <algorithm>

#include "platform/text.h"

namespace ui {
namespace {

constexpr wchar_t kLinkColour[] = L"{c #0x3196f7}";

}  // namespace

std::wstring FormatLinks(std::wstring template_text, const std::vector<std::wstring>& phrases) {
  // Marks are looked up in the template as written (a phrase holding "%2"
  // is not a mark), then replaced from the last position backwards so the
  // earlier positions stay valid whatever order the language puts them in.
  struct Mark {
    size_t at;
    size_t length;
    size_t phrase;
  };
  std::vector<Mark> marks;
  for (size_t i = 0; i < phrases.size(); ++i) {
    const std::wstring mark = L"%" + platform::DecimalText(i + 1);
    const size_t at = template_text.find(mark);
    if (at == std::wstring::npos) break;
    marks.push_back({at, mark.size(), i});
  }
  std::sort(marks.begin(), marks.end(), [](const Mark& a, const Mark& b) { return a.at > b.at; });
  for (const Mark& mark : marks) {
    const std::wstring& phrase = phrases[mark.phrase];
    template_text.replace(mark.at, mark.length, L"{a " + phrase + L"}" + kLinkColour + phrase + L"{/c}{/a}");
  }
  return template_text;
}

std::wstring WholeTextLink(const std::wstring& text) {
  std::wstring plain;
  for (wchar_t c : text) {
    if (c != L'{' && c != L'}') plain += c;
  }
  return std::wstring(L"{a  }") + kLinkColour + plain + L"{/c}{/a}";
}

}  // namespace ui
