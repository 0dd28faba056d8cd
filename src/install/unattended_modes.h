// The two launch modes without a window: the unattended install (the whole
// pipeline with the configured folder and language, shown nowhere) and the
// companion fetch (download the companion downloader and start it
// unattended). The entry point calls them through its mode bodies.
#pragma once

#include <string>

#include "install/download_pipeline.h"

namespace install {

// The option map of an unattended run: the default install folder and the
// configured language.
[[nodiscard]] OptionMap UnattendedOptions(const std::string& language);

// Runs the pipeline headless; the result is logged and returned for tests.
PipelineResult RunUnattendedInstall(const std::string& language);

enum class CompanionFetchEnd { Started, Refused, DownloadFailed, SignatureRefused, StartFailed };

// Checks REFERNUMBER and the address first; downloads `url` to `target`
// over three connections (certificates verified) and starts the file.
CompanionFetchEnd RunCompanionFetch(const std::wstring& refer_number, const std::string& url,
                                    const std::wstring& target);

}  // namespace install
