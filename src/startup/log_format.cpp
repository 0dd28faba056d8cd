#include "startup/log_format.h"

#include "platform/text.h"
#include "platform/windows_api.h"

namespace startup {
namespace {

std::wstring NarrowToWide(std::string_view text) {
  if (text.empty()) return {};
  const int length = static_cast<int>(std::min<size_t>(text.size(), 1u << 30));
  if (::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), length, nullptr, 0) > 0) {
    return platform::Utf8ToWide(text);
  }
  return platform::AnsiToWide(text);
}

struct Directive {
  bool left = false;
  bool zero = false;
  size_t width = 0;
  wchar_t conversion = 0;
};

enum class LetterCase : uint8_t { Lower, Upper };
// Only numbers take zero padding.
enum class Field : uint8_t { Text, Number };

std::wstring Digits(uint64_t value, unsigned base, LetterCase letters) {
  const wchar_t* digits = letters == LetterCase::Upper ? L"0123456789ABCDEF" : L"0123456789abcdef";
  std::wstring text;
  do {
    text.insert(text.begin(), digits[value % base]);
    value /= base;
  } while (value != 0);
  return text;
}

std::wstring Pad(std::wstring text, const Directive& directive, Field field) {
  if (text.size() >= directive.width) return text;
  const size_t fill = directive.width - text.size();
  if (directive.left) return text + std::wstring(fill, L' ');
  if (directive.zero && field == Field::Number) {
    const size_t sign = (!text.empty() && text[0] == L'-') ? 1 : 0;
    return text.insert(sign, fill, L'0');
  }
  return std::wstring(fill, L' ') + text;
}

std::wstring Convert(const Directive& directive, const LogArg* arg) {
  if (arg == nullptr) return L"<?>";
  const bool is_text = arg->kind() == LogArg::Kind::Wide || arg->kind() == LogArg::Kind::Narrow;
  switch (directive.conversion) {
    case L's':
    case L'S':
      if (!is_text) return L"<?>";
      return Pad(arg->kind() == LogArg::Kind::Wide ? std::wstring(arg->wide()) : NarrowToWide(arg->narrow()), directive,
                 Field::Text);
    case L'd':
    case L'i': {
      if (is_text) return L"<?>";
      const int64_t value = arg->as_signed();
      const uint64_t magnitude = value < 0 ? ~static_cast<uint64_t>(value) + 1 : static_cast<uint64_t>(value);
      return Pad((value < 0 ? L"-" : L"") + Digits(magnitude, 10, LetterCase::Lower), directive, Field::Number);
    }
    case L'u':
      if (is_text) return L"<?>";
      return Pad(Digits(arg->as_unsigned(), 10, LetterCase::Lower), directive, Field::Number);
    case L'x':
    case L'X':
      if (is_text) return L"<?>";
      return Pad(Digits(arg->as_unsigned(), 16, directive.conversion == L'X' ? LetterCase::Upper : LetterCase::Lower),
                 directive, Field::Number);
    default: return L"<?>";
  }
}

}  // namespace

std::wstring FormatLogText(std::string_view format, std::initializer_list<LogArg> args) {
  const std::wstring wide_format = NarrowToWide(format);
  std::wstring out;
  const LogArg* next = args.begin();
  auto take = [&]() -> const LogArg* { return next != args.end() ? next++ : nullptr; };

  for (size_t i = 0; i < wide_format.size(); ++i) {
    const wchar_t c = wide_format[i];
    if (c != L'%') {
      out += c;
      continue;
    }
    if (i + 1 < wide_format.size() && wide_format[i + 1] == L'%') {
      out += L'%';
      ++i;
      continue;
    }
    Directive directive;
    size_t j = i + 1;
    for (; j < wide_format.size() && (wide_format[j] == L'-' || wide_format[j] == L'0'); ++j) {
      (wide_format[j] == L'-' ? directive.left : directive.zero) = true;
    }
    for (; j < wide_format.size() && wide_format[j] >= L'0' && wide_format[j] <= L'9'; ++j) {
      directive.width = std::min<size_t>(directive.width * 10 + (wide_format[j] - L'0'), 256);
    }
    // Length modifiers only say how wide the C argument was; ours carry their type.
    while (j < wide_format.size() && (wide_format[j] == L'l' || wide_format[j] == L'h' || wide_format[j] == L'I' ||
                                      wide_format[j] == L'6' || wide_format[j] == L'4')) {
      ++j;
    }
    if (j >= wide_format.size()) {
      out += wide_format.substr(i);
      break;
    }
    directive.conversion = wide_format[j];
    out += Convert(directive, take());
    i = j;
  }
  return out;
}

}  // namespace startup
