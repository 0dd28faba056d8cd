// The entry point's decision: which of the three launch modes runs, the
// shared preparation before two of them, and the exit code of each.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/windows_api.h"
#include "startup/startup_context.h"

namespace startup {

// Exit codes tell the launching process which mode ran; never reused.
enum ExitCode : int {
  kExitInteractive = 0,
  kExitUnattended = 1,
  kExitCompanionFetch = 2,
};

enum class LaunchMode { Interactive, Unattended, CompanionFetch };

[[nodiscard]] LaunchMode ModeFromInstallType(const std::wstring& install_type);

// The bodies of the modes live in higher layers (pipeline, wizard); the
// entry point receives them from main so that dependencies point downwards.
struct LaunchModeBodies {
  // Downloads `url` to `target` and starts it unattended.
  std::function<void(const std::string& url, const std::wstring& target)> companion_fetch;
  // Runs the install without any window (the unattended flag is set).
  std::function<void(StartupContext&)> unattended_install;
  // Shows the wizard until it closes (single instance already claimed).
  std::function<void(HINSTANCE, StartupContext&)> interactive;
  // Called once the mode is known, before anything else of the run.
  std::function<void(LaunchMode)> mode_chosen;
  // Called first thing in the unattended and interactive modes, and on every
  // return from them (the run report's start time and final report).
  std::function<void()> run_started;
  std::function<void()> run_ended;
};

// Parses the command line and runs the chosen mode; returns its exit code.
[[nodiscard]] int RunEntry(HINSTANCE instance, const wchar_t* command_line, const LaunchModeBodies& bodies);

// "<folder><seconds>.<refer number>.exe"; the folder is the run's own one
// in the temporary folder.
[[nodiscard]] std::wstring CompanionTargetPath(const std::wstring& folder, int64_t seconds,
                                               const std::wstring& refer_number);

// Shared preparation of the unattended and interactive modes: configuration,
// language, machine identity and build identity.
void PrepareRun(StartupContext& context, const std::wstring& config_folder);

}  // namespace startup
