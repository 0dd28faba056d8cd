// The system's Restart Manager as the first, polite way to close the
// product: it asks the product's processes to shut down the way Windows
// itself does before an update (without force), so the product can save
// its work. rstrtmgr.dll is loaded at run time: where it is missing the
// program still starts, and the caller goes on with its other means.
#pragma once

#include <vector>

#include "platform/windows_api.h"

namespace startup {

enum class RestartManagerAnswer {
  Unavailable,  // rstrtmgr.dll or one of its functions is missing
  Refused,      // a session call failed (logged with its code)
  ShutDown,     // RmShutdown reported the processes shut down
};

// Registers the processes `ids` (by id and start time) in a new session and
// asks for their shutdown without force; always ends the session. Blocks
// while the Restart Manager waits for the processes: the caller keeps its
// window responsive around it. Logs each step.
[[nodiscard]] RestartManagerAnswer AskRestartManagerToShutDown(const std::vector<DWORD>& ids);

}  // namespace startup
