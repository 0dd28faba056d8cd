#include "toolkit/markup.h"

namespace toolkit {
namespace {

struct Style {
  Argb color = 0;
  int link = -1;
  int font = -1;
  bool bold = false;
  bool italic = false;
  bool underline = false;
};

std::wstring Trimmed(std::wstring text) {
  const size_t first = text.find_first_not_of(L' ');
  if (first == std::wstring::npos) return {};
  return text.substr(first, text.find_last_not_of(L' ') - first + 1);
}

}  // namespace

bool HasMarkup(const std::wstring& text) {
  for (const wchar_t* tag : {L"{a", L"{c", L"{b}", L"{u}", L"{i}", L"{n}", L"{f "}) {
    if (text.find(tag) != std::wstring::npos) return true;
  }
  return false;
}

MarkupText ParseMarkup(const std::wstring& text) {
  MarkupText result;
  std::vector<std::pair<wchar_t, Style>> stack;  // open tag letter and the style before it
  Style style;
  std::wstring pending;
  auto flush = [&] {
    if (pending.empty()) return;
    MarkupRun run;
    run.text = std::move(pending);
    run.color = style.color;
    run.link = style.link;
    run.font = style.font;
    run.bold = style.bold;
    run.italic = style.italic;
    run.underline = style.underline;
    result.runs.push_back(std::move(run));
    pending.clear();
  };
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t open = text.find(L'{', pos);
    const size_t close = open == std::wstring::npos ? open : text.find(L'}', open);
    if (close == std::wstring::npos) {
      pending.append(text, pos, std::wstring::npos);
      break;
    }
    pending.append(text, pos, open - pos);
    const std::wstring tag = text.substr(open + 1, close - open - 1);
    pos = close + 1;
    const wchar_t letter = tag.empty() ? L'\0' : tag[0];
    const std::wstring argument = tag.size() > 1 ? Trimmed(tag.substr(1)) : std::wstring();
    const bool known_open =
        (letter == L'a' || letter == L'c' || letter == L'b' || letter == L'u' || letter == L'i' || letter == L'f') &&
        (tag.size() == 1 || tag[1] == L' ');
    if (tag == L"n") {
      flush();
      MarkupRun run;
      run.line_break = true;
      result.runs.push_back(run);
    } else if (tag.size() == 2 && tag[0] == L'/') {
      if (stack.empty() || stack.back().first != tag[1]) {
        pending += L"{" + tag + L"}";
        continue;
      }
      flush();
      style = stack.back().second;
      stack.pop_back();
    } else if (known_open && stack.size() < 64) {
      flush();
      stack.emplace_back(letter, style);
      switch (letter) {
        case L'a':
          style.link = static_cast<int>(result.links.size());
          result.links.push_back(argument);
          break;
        case L'c': style.color = ParseColor(argument).value_or(style.color); break;
        case L'b': style.bold = true; break;
        case L'u': style.underline = true; break;
        case L'i': style.italic = true; break;
        case L'f': style.font = ParseInt(argument).value_or(style.font); break;
        default: break;
      }
    } else {
      pending += L"{" + tag + L"}";
    }
  }
  flush();
  return result;
}

std::wstring PlainText(const MarkupText& markup) {
  std::wstring text;
  for (const MarkupRun& run : markup.runs) text += run.line_break ? L"\n" : run.text;
  return text;
}

}  // namespace toolkit
