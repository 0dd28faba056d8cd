#include "toolkit/date_time.h"

#include "platform/text.h"

namespace toolkit {

// The date is written and read by hand: the C runtime's wide printf and scanf
// would add about 25 KB to the shipped program for these two lines.
namespace {

std::wstring PaddedDecimal(unsigned value, size_t width) {
  std::wstring text = platform::DecimalText(value);
  if (text.size() < width) text.insert(0, width - text.size(), L'0');
  return text;
}

// Reads up to `max_digits` digits after optional blanks, like scanf's %Nu.
bool ReadNumber(std::wstring_view& text, size_t max_digits, unsigned& value) {
  while (!text.empty() && (text.front() == L' ' || (text.front() >= L'\t' && text.front() <= L'\r'))) {
    text.remove_prefix(1);
  }
  size_t digits = 0;
  value = 0;
  while (digits < max_digits && digits < text.size() && text[digits] >= L'0' && text[digits] <= L'9') {
    value = value * 10 + static_cast<unsigned>(text[digits] - L'0');
    ++digits;
  }
  text.remove_prefix(digits);
  return digits > 0;
}

// "YYYY-M-D" with one to four year digits and one or two for month and day;
// anything after the day is ignored.
bool ParseDate(std::wstring_view text, unsigned& year, unsigned& month, unsigned& day) {
  auto dash = [&text] {
    if (text.empty() || text.front() != L'-') return false;
    text.remove_prefix(1);
    return true;
  };
  return ReadNumber(text, 4, year) && dash() && ReadNumber(text, 2, month) && dash() && ReadNumber(text, 2, day);
}

}  // namespace

DateTime::DateTime() : Label(L"DateTime") {
  ::GetLocalTime(&date_);
  Show();
}

void DateTime::Show() {
  Label::SetText(PaddedDecimal(date_.wYear, 4) + L"-" + PaddedDecimal(date_.wMonth, 2) + L"-" +
                 PaddedDecimal(date_.wDay, 2));
}

bool DateTime::ApplyAttribute(std::wstring_view name, const std::wstring& value) {
  if (name == L"value" || name == L"text") {
    SYSTEMTIME t = date_;
    unsigned year = 0, month = 0, day = 0;
    if (ParseDate(value, year, month, day) && year >= 1601 && month >= 1 && month <= 12 && day >= 1 && day <= 31) {
      t.wYear = static_cast<WORD>(year);
      t.wMonth = static_cast<WORD>(month);
      t.wDay = static_cast<WORD>(day);
      FILETIME check;
      if (::SystemTimeToFileTime(&t, &check)) date_ = t;
    }
    Show();
    return true;
  }
  return Label::ApplyAttribute(name, value);
}

std::optional<std::wstring> DateTime::GetAttribute(std::wstring_view name) const {
  if (name == L"value") return text();
  return Label::GetAttribute(name);
}

bool DateTime::HandleEvent(const UiEvent& event) {
  if (event.type == UiEventType::kKeyDown && (event.key == VK_UP || event.key == VK_DOWN) && IsEnabledInTree()) {
    // Step one day through FILETIME arithmetic so month ends roll over.
    FILETIME file_time;
    if (!::SystemTimeToFileTime(&date_, &file_time)) return true;
    ULARGE_INTEGER value{{file_time.dwLowDateTime, file_time.dwHighDateTime}};
    const unsigned long long day = 24ULL * 3600 * 10000000;
    value.QuadPart = event.key == VK_UP ? value.QuadPart + day : value.QuadPart - day;
    file_time = {value.LowPart, value.HighPart};
    SYSTEMTIME next;
    if (::FileTimeToSystemTime(&file_time, &next)) date_ = next;
    Show();
    Notify(L"textchanged");
    return true;
  }
  return Label::HandleEvent(event);
}

}  // namespace toolkit
