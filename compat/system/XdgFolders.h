#pragma once
// The per-user folders of the XDG base-directory layout, read from the
// environment at each call so that a process (or a test) may point them
// elsewhere before it uses them.

#include <filesystem>

#include "base/UniqueFd.h"

namespace compat {

// $XDG_CONFIG_HOME when it is an absolute path, else $HOME/.config; empty when
// neither can be found.
std::filesystem::path configHome();

// $XDG_STATE_HOME when it is an absolute path, else $HOME/.local/state; empty
// when neither can be found.
std::filesystem::path stateHome();

// The project's private per-user runtime folder: "ovix" under
// $XDG_RUNTIME_DIR when that is an absolute path, else "ovix/runtime" under
// the state folder, which no other user can make first (as one could a
// predictable name in /tmp). Empty when neither can be found. Only names it;
// see ensureRuntimeFolder.
std::filesystem::path runtimeFolder();

// The user's folder for temporary files: $TMPDIR when it is an absolute
// path, else /tmp.
std::filesystem::path temporaryFolder();

// Makes the runtime folder when missing (mode 0700, and so any missing folder
// above it under the state folder) and checks that it is a real folder owned
// by the calling user that nobody else may enter. Returns false, with errno
// set, when it cannot be made or is not safe to use.
bool ensureRuntimeFolder();

// The "ovix" folder under $XDG_RUNTIME_DIR, made when missing (mode 0700),
// opened for use through its descriptor: only when $XDG_RUNTIME_DIR and the
// folder are both real folders of the calling user that nobody else may enter
// or write (so another user can neither read what is made there nor swap the
// folder for a link). None, with errno set, otherwise.
ovix::UniqueFd openPrivateRuntimeFolder();

}  // namespace compat
