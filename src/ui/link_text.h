// Link mark-up of the options page's labels: the licence sentence with its
// clickable phrases, and a label that is one link as a whole.
#pragma once

#include <string>
#include <vector>

namespace ui {

// Replaces "%1", "%2", … of `template_text` in turn by a link whose target
// and text is the phrase. Stops at the first phrase whose mark is missing,
// so a template with only "%2" stays unchanged.
[[nodiscard]] std::wstring FormatLinks(std::wstring template_text, const std::vector<std::wstring>& phrases);

// The whole text as one link (blank target); braces in it, which would be
// read as mark-up, are dropped.
[[nodiscard]] std::wstring WholeTextLink(const std::wstring& text);

}  // namespace ui
