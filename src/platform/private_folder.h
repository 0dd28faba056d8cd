// Folders that other accounts and lower-rights processes cannot write to.
// The program runs elevated: a file it creates under a predictable name in
// the user's temporary folder is a target for a planted link that it would
// then write through. Its own files live in folders made with an explicit
// access list instead of the one inherited from the temporary folder.
#pragma once

#include <string>
#include <vector>

#include "platform/windows_api.h"

namespace platform {

// Who the access list of a private folder lets in, besides the system:
// an elevated process grants full control to the Administrators group only
// (so an unelevated process of the same user cannot plant anything inside),
// any other process to its own user.
[[nodiscard]] bool IsProcessElevated();

// The self-relative security descriptor of a private folder: a protected
// access list (nothing inherited from the parent) of two entries, full
// control for the owner above and for the system, both inherited by
// everything made inside. Empty when it cannot be built.
[[nodiscard]] std::vector<BYTE> PrivateFolderSecurity();

// The descriptor of a file only the current user may open, even when the
// process runs elevated (a secret handed to a child of the same user): a
// protected access list of one entry for the token's user.
[[nodiscard]] std::vector<BYTE> UserOnlyFileSecurity();

// Creates `path` (its parent must exist; fails when it exists already) with
// that descriptor.
[[nodiscard]] bool CreatePrivateFolder(const std::wstring& path);

}  // namespace platform
