// The address the promotional web content sends the main window in a
// copy-data message (tag 999): read within the block's own size, never past
// it, and turned into the address opened when the program ends.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "platform/windows_api.h"

namespace ui {

inline constexpr ULONG_PTR kAdUrlCopyDataTag = 999;
inline constexpr size_t kMaxCopyDataBytes = 1023;

// The thank-you page of the trial edition; the block's "x-url=" piece is
// added after a "&".
inline constexpr char kThankYouPage[] = "https://update.brimvale.example/thankyou/?linkid=5001";

// nullopt for another tag, a null block, or a text that is no web address.
// At most min(`size`, 1023) bytes are read, up to the first zero byte (ANSI
// code page).
[[nodiscard]] std::optional<std::wstring> ReceivedAdUrl(ULONG_PTR tag, const void* data, DWORD size,
                                                        bool trial_ad_edition);

}  // namespace ui
