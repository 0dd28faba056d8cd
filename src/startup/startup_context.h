// What the entry point owns for the run of the unattended and interactive
// modes: the current language name and the single-instance mutexes.
#pragma once

#include <string>
#include <vector>

#include "platform/unique_resource.h"

namespace startup {

class StartupContext {
 public:
  StartupContext() = default;
  ~StartupContext();  // releases and closes every single-instance mutex
  StartupContext(const StartupContext&) = delete;
  StartupContext& operator=(const StartupContext&) = delete;

  std::string language;
  std::vector<platform::UniqueHandle> instance_mutexes;
};

// Comma lists of the configuration: cut at every ",", nothing trimmed, empty
// pieces kept; an empty value is an empty list.
[[nodiscard]] std::vector<std::wstring> SplitCommaList(const std::wstring& value);

// Creates (owned) every mutex named in `installer_name`, keeping each handle
// in the context; false as soon as one already existed.
[[nodiscard]] bool ClaimSingleInstance(StartupContext& context, const std::wstring& installer_name);

// Brings the other instance's window (caption `caption`) to the front.
void ActivateOtherInstance(const std::wstring& caption);

}  // namespace startup
