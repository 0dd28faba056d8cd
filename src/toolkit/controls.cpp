#include "toolkit/controls.h"

#include "platform/text.h"
#include "toolkit/containers.h"
#include "toolkit/skin_resources.h"

namespace toolkit {
namespace {

std::wstring IntText(int value) { return platform::DecimalText(value); }

}  // namespace

// ---- Label ----------------------------------------------------------------

Label::Label(std::wstring class_name) : Control(std::move(class_name)) {}

bool Label::ApplyAttribute(std::wstring_view name, const std::wstring& value) {
  if (name == L"autocalcwidth") {
    auto_width_ = ParseBool(value).value_or(false);
    NeedLayout();
    return true;
  }
  return Control::ApplyAttribute(name, value);
}

void Label::SetText(const std::wstring& text) {
  has_markup_ = HasMarkup(text);
  markup_ = has_markup_ ? ParseMarkup(text) : MarkupText{};
  if (!has_markup_) link_rects_.clear();
  Control::SetText(text);
  Invalidate();
}

Size Label::Measure(Size available) {
  Size size = Control::Measure(available);
  if (auto_width_ && host() != nullptr) {
    const std::wstring shown = has_markup_ ? PlainText(markup_) : DisplayText();
    const Size text = MeasureTextForLayout(host()->resources(), host()->dpi(), shown, font_, 0, TextFlags::kNone);
    const Edges pad = ScaleBy(text_padding_, host()->dpi());
    size.cx = text.cx + pad.left + pad.right;
  }
  return size;
}

bool Label::TakesMouse() const { return has_markup_ && !markup_.links.empty() && Control::TakesMouse(); }

int Label::LinkAt(Point point) const {
  for (const auto& [link, rect] : link_rects_) {
    if (rect.Contains(point)) return link;
  }
  return -1;
}

HCURSOR Label::CursorAt(Point point) const {
  return LinkAt(point) >= 0 ? ::LoadCursorW(nullptr, IDC_HAND) : nullptr;
}

bool Label::HandleEvent(const UiEvent& event) {
  if (!has_markup_ || markup_.links.empty()) return Control::HandleEvent(event);
  if (!IsEnabledInTree()) return false;
  if (event.type == UiEventType::kButtonDown) {
    pressed_link_ = LinkAt(event.point);
    return true;
  }
  if (event.type == UiEventType::kButtonUp) {
    const int link = LinkAt(event.point);
    if (link >= 0 && link == pressed_link_) Notify(L"link", link, markup_.links[static_cast<size_t>(link)]);
    pressed_link_ = -1;
    return true;
  }
  return Control::HandleEvent(event);
}

void Label::PaintText(Painter& painter) {
  if (has_markup_) {
    PaintMarkup(painter);
    return;
  }
  Control::PaintText(painter);
}

void Label::PaintMarkup(Painter& painter) {
  link_rects_.clear();
  const Rect area = TextRect();
  const bool multi_line = HasFlag(text_flags_, TextFlags::kMultiLine);
  const Argb base_color = CurrentTextColor();
  struct Piece {
    const MarkupRun* run;
    std::wstring text;
    HFONT font;
    Size size;
  };
  // Break runs into words when wrapping, then lay pieces out into lines.
  std::vector<std::vector<Piece>> lines(1);
  int x = 0;
  int line_height = painter.MeasureText(L"Ag", font_, 0, TextFlags::kNone).cy;
  for (const MarkupRun& run : markup_.runs) {
    if (run.line_break) {
      lines.emplace_back();
      x = 0;
      continue;
    }
    HFONT font = painter.resources().FontVariant(run.font >= 0 ? run.font : font_, painter.dpi(), run.bold,
                                                  run.italic, run.underline);
    size_t pos = 0;
    while (pos < run.text.size()) {
      size_t end = run.text.size();
      if (multi_line) {
        const size_t space = run.text.find(L' ', pos);
        end = space == std::wstring::npos ? run.text.size() : space + 1;
      }
      Piece piece{&run, run.text.substr(pos, end - pos), font, {}};
      piece.size = painter.MeasureTextWithFont(piece.text, font, 0, TextFlags::kNone);
      line_height = std::max(line_height, piece.size.cy);
      if (multi_line && x > 0 && x + piece.size.cx > area.width()) {
        lines.emplace_back();
        x = 0;
      }
      x += piece.size.cx;
      lines.back().push_back(std::move(piece));
      pos = end;
    }
  }
  const int total_height = line_height * static_cast<int>(lines.size());
  int y = area.top;
  if (!HasFlag(text_flags_, TextFlags::kTop)) {
    y = HasFlag(text_flags_, TextFlags::kBottom) ? area.bottom - total_height
                                                 : area.top + (area.height() - total_height) / 2;
  }
  for (const auto& line : lines) {
    int width = 0;
    for (const Piece& piece : line) width += piece.size.cx;
    int left = area.left;
    if (HasFlag(text_flags_, TextFlags::kCenter)) left += (area.width() - width) / 2;
    else if (HasFlag(text_flags_, TextFlags::kRight)) left = area.right - width;
    for (const Piece& piece : line) {
      const Rect r{left, y, std::min(left + piece.size.cx, area.right), y + line_height};
      const Argb color = piece.run->color != 0 ? piece.run->color : base_color;
      painter.DrawTextWithFont(piece.text, r, piece.font, color, TextFlags::kNone);
      if (piece.run->link >= 0) link_rects_.emplace_back(piece.run->link, r);
      left += piece.size.cx;
    }
    y += line_height;
  }
}

// ---- Button, Option, CheckBox ----------------------------------------------

Button::Button(std::wstring class_name) : Label(std::move(class_name)) {
  text_flags_ = text_flags_ | TextFlags::kCenter;
}

void Button::Activate() { Notify(L"click"); }

Option::Option(std::wstring class_name) : Button(std::move(class_name)), toggles_(this->class_name() == L"CheckBox") {
  text_flags_ = TextFlags(unsigned(text_flags_) & ~unsigned(TextFlags::kCenter));
}

bool Option::ApplyAttribute(std::wstring_view name, const std::wstring& value) {
  if (name == L"group") group_ = value;
  else if (name == L"selected" || name == L"check") SetSelected(ParseBool(value).value_or(false), false);
  else return Button::ApplyAttribute(name, value);
  return true;
}

void Option::SetSelected(bool selected, bool notify) {
  if (selected == selected_) return;
  selected_ = selected;
  Invalidate();
  // One option of a group is selected at a time, across the whole window.
  if (selected_ && !group_.empty() && host() != nullptr && host()->root() != nullptr) {
    std::vector<Control*> pending{host()->root()};
    while (!pending.empty()) {
      Control* control = pending.back();
      pending.pop_back();
      for (size_t i = 0; i < control->child_count(); ++i) pending.push_back(control->child(i));
      auto* other = dynamic_cast<Option*>(control);
      if (other != nullptr && other != this && other->group_ == group_ && other->selected_) {
        other->selected_ = false;
        other->Invalidate();
        if (notify) other->Notify(L"selectchanged");
      }
    }
  }
  if (notify) Notify(L"selectchanged");
}

void Option::Activate() {
  Notify(L"click");
  if (toggles_ || group_.empty()) {
    SetSelected(toggles_ ? !selected_ : true, true);
  } else {
    SetSelected(true, true);
  }
}

// ---- Progress, Slider, ScrollBar --------------------------------------------

Progress::Progress(std::wstring class_name) : Label(std::move(class_name)) {
  text_flags_ = text_flags_ | TextFlags::kCenter;
}

bool Progress::ApplyAttribute(std::wstring_view name, const std::wstring& value) {
  if (name == L"min") min_ = ParseInt(value).value_or(min_);
  else if (name == L"max") max_ = ParseInt(value).value_or(max_);
  else if (name == L"value") { SetValue(ParseInt(value).value_or(value_)); return true; }
  else if (name == L"hor") horizontal_ = ParseBool(value).value_or(true);
  else if (name == L"forecolor") fore_color_ = ParseColor(value).value_or(0);
  else if (name == L"isstretchfore") {}
  else return Label::ApplyAttribute(name, value);
  if (max_ <= min_) max_ = min_ + 1;
  SetValue(value_);
  Invalidate();
  return true;
}

std::optional<std::wstring> Progress::GetAttribute(std::wstring_view name) const {
  if (name == L"value") return IntText(value_);
  if (name == L"min") return IntText(min_);
  if (name == L"max") return IntText(max_);
  return Label::GetAttribute(name);
}

void Progress::SetValue(int value) {
  value = std::clamp(value, min_, max_);
  if (value == value_) return;
  value_ = value;
  Invalidate();
}

Rect Progress::FillRect() const {
  Rect fill = rect_;
  const long long range = static_cast<long long>(max_) - min_;
  const long long done = static_cast<long long>(value_) - min_;
  if (horizontal_) {
    fill.right = fill.left + static_cast<int>(rect_.width() * done / std::max(1LL, range));
  } else {
    fill.top = fill.bottom - static_cast<int>(rect_.height() * done / std::max(1LL, range));
  }
  return fill;
}

void Progress::PaintStatusImages(Painter& painter) {
  if (!normal_image_.empty()) (void)painter.DrawImage(normal_image_, rect_);
  const Rect fill = FillRect();
  if (fill.empty()) return;
  painter.FillRect(fill, fore_color_);
  if (!fore_image_.empty()) {
    ScopedClip clip(painter, fill);
    (void)painter.DrawImage(fore_image_, rect_);
  }
}

Slider::Slider() : Progress(L"Slider") {}

bool Slider::ApplyAttribute(std::wstring_view name, const std::wstring& value) {
  if (name == L"thumbsize") thumb_size_ = ParseSize(value).value_or(thumb_size_);
  else if (name == L"thumbimage") thumb_image_ = ParseImageDescription(value);
  else if (name == L"thumbhotimage" || name == L"thumbpushedimage" || name == L"step") {}
  else return Progress::ApplyAttribute(name, value);
  Invalidate();
  return true;
}

void Slider::SetFromPoint(Point point) {
  const long long range = static_cast<long long>(max_) - min_;
  const long long position = horizontal_ ? point.x - rect_.left : rect_.bottom - point.y;
  const long long length = std::max(1, horizontal_ ? rect_.width() : rect_.height());
  const int before = value_;
  SetValue(min_ + static_cast<int>(range * std::clamp(position, 0LL, length) / length));
  if (value_ != before) Notify(L"valuechanged");
}

bool Slider::HandleEvent(const UiEvent& event) {
  if (!IsEnabledInTree()) return false;
  switch (event.type) {
    case UiEventType::kButtonDown:
      dragging_ = true;
      SetFromPoint(event.point);
      return true;
    case UiEventType::kMouseMove:
      if (dragging_) SetFromPoint(event.point);
      return true;
    case UiEventType::kButtonUp:
      dragging_ = false;
      return true;
    case UiEventType::kKeyDown:
      if (event.key == VK_LEFT || event.key == VK_DOWN || event.key == VK_RIGHT || event.key == VK_UP) {
        const int before = value_;
        SetValue(value_ + ((event.key == VK_LEFT || event.key == VK_DOWN) ? -1 : 1));
        if (before != value_) Notify(L"valuechanged");
        return true;
      }
      return false;
    default:
      return Progress::HandleEvent(event);
  }
}

void Slider::PaintStatusImages(Painter& painter) {
  Progress::PaintStatusImages(painter);
  const Rect fill = FillRect();
  const int w = painter.Scale(thumb_size_.cx), h = painter.Scale(thumb_size_.cy);
  const int cx = horizontal_ ? fill.right : rect_.left + rect_.width() / 2;
  const int cy = horizontal_ ? rect_.top + rect_.height() / 2 : fill.top;
  const Rect thumb{cx - w / 2, cy - h / 2, cx - w / 2 + w, cy - h / 2 + h};
  if (!thumb_image_.empty() && painter.DrawImage(thumb_image_, thumb)) return;
  painter.FillRect(thumb, 0xFF606060, w / 2);
}

ScrollBar::ScrollBar() : Progress(L"ScrollBar") {}

bool ScrollBar::ScrollBy(int delta) {
  const int before = value_;
  SetValue(value_ - delta / WHEEL_DELTA * std::max(1, (max_ - min_) / 10));
  if (before == value_) return false;
  Notify(L"scroll");
  return true;
}

bool ScrollBar::HandleEvent(const UiEvent& event) {
  if (event.type == UiEventType::kButtonDown && IsEnabledInTree()) {
    const bool before_thumb = horizontal_ ? event.point.x < FillRect().right : event.point.y < rect_.top + rect_.height() / 2;
    (void)ScrollBy(before_thumb ? WHEEL_DELTA : -WHEEL_DELTA);
    return true;
  }
  return Progress::HandleEvent(event);
}

void ScrollBar::PaintStatusImages(Painter& painter) {
  painter.FillRect(rect_, 0xFFE8E8E8);
  const long long range = std::max(1LL, static_cast<long long>(max_) - min_);
  if (horizontal_) {
    const int thumb = std::max(painter.Scale(12), rect_.width() / 5);
    const int left = rect_.left + static_cast<int>((rect_.width() - thumb) * (value_ - min_) / range);
    painter.FillRect({left, rect_.top, left + thumb, rect_.bottom}, 0xFF909090, painter.Scale(3));
  } else {
    const int thumb = std::max(painter.Scale(12), rect_.height() / 5);
    const int top = rect_.top + static_cast<int>((rect_.height() - thumb) * (value_ - min_) / range);
    painter.FillRect({rect_.left, top, rect_.right, top + thumb}, 0xFF909090, painter.Scale(3));
  }
}

// ---- Edit --------------------------------------------------------------------

Edit::Edit(std::wstring class_name) : Label(std::move(class_name)), rich_(this->class_name().ends_with(L"RichEdit")) {
  // Rich text is usually longer than a field's 255 characters (a licence).
  if (rich_) max_chars_ = 1 << 20;
}

bool Edit::ApplyAttribute(std::wstring_view name, const std::wstring& value) {
  if (name == L"password") password_ = ParseBool(value).value_or(false);
  else if (name == L"readonly") read_only_ = ParseBool(value).value_or(false);
  else if (name == L"maxchar") max_chars_ = std::clamp(ParseInt(value).value_or(255), 1, 1 << 20);
  else if (name == L"nativebkcolor") native_bk_color_ = ParseColor(value).value_or(native_bk_color_);
  else if (name == L"wordwrap") word_wrap_ = ParseBool(value).value_or(true);
  else if (name == L"numberonly" || name == L"rich" || name == L"vscrollbar" || name == L"autovscroll" ||
           name == L"wantreturn" || name == L"wantctrlreturn" || name == L"transparent" || name == L"autohscroll") {}
  else return Label::ApplyAttribute(name, value);
  return true;
}

void Edit::SetText(const std::wstring& text) {
  Label::SetText(text);
  if (native != nullptr) {
    const int length = ::GetWindowTextLengthW(native);
    std::wstring current(static_cast<size_t>(std::max(0, length)) + 1, L'\0');
    current.resize(static_cast<size_t>(std::max(0, ::GetWindowTextW(native, current.data(), length + 1))));
    if (current != text) ::SetWindowTextW(native, text.c_str());
  }
}

void Edit::TextChangedByUser(const std::wstring& text) {
  if (text == this->text()) return;
  Label::SetText(text);
  Notify(L"textchanged");
}

void Edit::PaintText(Painter& painter) {
  if (native != nullptr) return;  // the native child draws its own text
  if (password_) {
    painter.DrawText(std::wstring(text().size(), L'\x25CF'), TextRect(), font_, CurrentTextColor(), text_flags_);
    return;
  }
  Control::PaintText(painter);
}

// ---- Combo -------------------------------------------------------------------

Combo::Combo(std::wstring class_name) : Label(std::move(class_name)) {}

void Combo::FinishBuild() {
  std::vector<std::wstring> items;
  for (auto& child : children_) items.push_back(child->text());
  children_.clear();
  if (!items.empty()) SetItems(std::move(items));
}

void Combo::SetItems(std::vector<std::wstring> items) {
  items_ = std::move(items);
  if (selected_ >= static_cast<int>(items_.size())) selected_ = -1;
  if (selected_ < 0 && !items_.empty()) selected_ = 0;
  Invalidate();
}

bool Combo::SelectItem(int index, bool notify) {
  if (index < 0 || index >= static_cast<int>(items_.size())) return false;
  if (index == selected_) return true;
  selected_ = index;
  Invalidate();
  if (notify) Notify(L"itemselect", index);
  return true;
}

std::optional<std::wstring> Combo::GetAttribute(std::wstring_view name) const {
  if (name == L"index" || name == L"cursel") return IntText(selected_);
  if (name == L"text") return selected_ >= 0 ? items_[static_cast<size_t>(selected_)] : std::wstring();
  if (name == L"count") return IntText(static_cast<int>(items_.size()));
  return Label::GetAttribute(name);
}

bool Combo::HandleEvent(const UiEvent& event) {
  if (event.type == UiEventType::kKeyDown && IsEnabledInTree() && (event.key == VK_DOWN || event.key == VK_UP)) {
    (void)SelectItem(selected_ + (event.key == VK_DOWN ? 1 : -1), true);
    return true;
  }
  return Control::HandleEvent(event);
}

void Combo::Activate() {
  if (host() == nullptr || items_.empty()) return;
  (void)host()->OpenDropDown(this, items_, selected_);  // without a native window there is nothing to drop
}

bool Combo::ApplyAttribute(std::wstring_view name, const std::wstring& value) {
  if (name == L"itemcount") {
    drop_rows_ = std::clamp(ParseInt(value).value_or(drop_rows_), 1, 100);
    return true;
  }
  if (name == L"dropboxsize") {
    // "width,height": a height limits the list (0 keeps the row count).
    const auto comma = value.find(L',');
    if (comma != std::wstring::npos) drop_height_ = std::clamp(ParseInt(value.substr(comma + 1)).value_or(0), 0, 4000);
    return true;
  }
  return Label::ApplyAttribute(name, value);
}

void Combo::PaintText(Painter& painter) {
  Rect area = TextRect();
  const int arrow = painter.Scale(8);
  const int cx = rect_.right - painter.Scale(10);
  const int cy = rect_.top + rect_.height() / 2;
  // A small drop-down triangle drawn as stacked lines.
  for (int i = 0; i < arrow / 2; ++i) {
    painter.FillRect({cx - arrow / 2 + i, cy - arrow / 4 + i, cx + arrow / 2 - i, cy - arrow / 4 + i + 1}, CurrentTextColor());
  }
  area.right = std::max(area.left, area.right - painter.Scale(18));
  if (selected_ >= 0) painter.DrawText(items_[static_cast<size_t>(selected_)], area, font_, CurrentTextColor(), text_flags_);
}

// ---- GifAnim ----------------------------------------------------------------

GifAnim::GifAnim() : Control(L"GifAnim") {}

GifAnim::~GifAnim() {
  if (host() != nullptr && running_) host()->KillControlTimer(this, 1);
}

bool GifAnim::ApplyAttribute(std::wstring_view name, const std::wstring& value) {
  if (name == L"autoplay") {
    auto_play_ = ParseBool(value).value_or(true);
    return true;
  }
  if (name == L"autosize") return true;
  return Control::ApplyAttribute(name, value);
}

void GifAnim::Schedule(const DecodedImage* image) {
  if (host() == nullptr || image == nullptr || image->frames.size() < 2) return;
  host()->SetControlTimer(this, 1, static_cast<UINT>(image->delays_ms[image_frame_ % image->delays_ms.size()]));
  running_ = true;
}

void GifAnim::Paint(Painter& painter, const Rect& dirty) {
  Control::Paint(painter, dirty);
  if (!running_ && auto_play_) Schedule(painter.resources().Image(bk_image_));
}

void GifAnim::OnTimer(UINT id) {
  if (id != 1 || host() == nullptr) return;
  const DecodedImage* image = host()->resources().Image(bk_image_);
  if (image == nullptr || image->frames.empty()) return;
  image_frame_ = (image_frame_ + 1) % image->frames.size();
  Invalidate();
  Schedule(image);
}

// ---- DateTime ----------------------------------------------------------------

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
  return ReadNumber(text, 4, year) && dash() && ReadNumber(text, 2, month) && dash() &&
         ReadNumber(text, 2, day);
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
    if (ParseDate(value, year, month, day) && year >= 1601 && month >= 1 &&
        month <= 12 && day >= 1 && day <= 31) {
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

// ---- WebBrowser --------------------------------------------------------------

WebBrowser::WebBrowser(std::wstring class_name) : Control(std::move(class_name)) {}

bool WebBrowser::ApplyAttribute(std::wstring_view name, const std::wstring& value) {
  if (name == L"homepage" || name == L"url") home_page_ = value;
  else if (name == L"clsid") clsid_ = value;
  else if (name == L"navigatetimeout") navigate_timeout_ms_ = static_cast<DWORD>(std::clamp(ParseInt(value).value_or(15000), 100, 600000));
  else if (name == L"autonavi" || name == L"delaycreate") {}
  else return Control::ApplyAttribute(name, value);
  return true;
}

std::optional<std::wstring> WebBrowser::GetAttribute(std::wstring_view name) const {
  if (name == L"homepage" || name == L"url") return home_page_;
  return Control::GetAttribute(name);
}

}  // namespace toolkit
