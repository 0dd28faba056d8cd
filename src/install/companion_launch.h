// Starting companion programs: this program again in companion-fetch mode
// after a successful install, and the fetched companion downloader in the
// unattended mode. Inputs that come from the release server are checked
// first: the refer number becomes part of a file name, the address part of
// a parameter text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace install {

inline constexpr size_t kMaxReferNumberLength = 32;
inline constexpr size_t kMaxCompanionUrlLength = 2048;

// At most 32 characters, none of which could lead out of the temporary
// folder or break the file name "<time>.<refer number>.exe" or the
// parameter text: no path separators, "..", ":", quotes, blanks, control
// characters or the characters a file name cannot hold. Empty is sound (the
// release may name no refer number).
[[nodiscard]] bool IsSoundReferNumber(const std::wstring& refer_number);

// An http or https address with a host, without blanks, quotes, control
// characters or the parameter separator "|||".
[[nodiscard]] bool IsSoundCompanionUrl(const std::wstring& url);

// " INSTALL_TYPE=2 ||| REFERNUMBER=<r> ||| RECOMMEND_URL=<u>", or nullopt
// (logged) when either input is unsound.
[[nodiscard]] std::optional<std::wstring> CompanionFetchParameters(const std::wstring& refer_number,
                                                                   const std::wstring& url);

// What the downloaded companion is started with.
inline constexpr wchar_t kCompanionInstallParameters[] = L" DATA=1 ||| INSTALL_TYPE=1";

enum class CompanionStart { Started, Skipped, Failed };

// Starts `own_executable` in companion-fetch mode without waiting; Skipped
// when the inputs are unsound.
[[nodiscard]] CompanionStart StartCompanionFetch(const std::wstring& own_executable, const std::wstring& refer_number,
                                                 const std::wstring& url);

// Starts the fetched companion downloader unattended, without waiting.
[[nodiscard]] CompanionStart StartFetchedCompanion(const std::wstring& downloaded_file);

}  // namespace install
