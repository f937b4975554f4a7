#pragma once
// Marks what the shared library ovix_compat_ipc offers the programs and
// modules that load it; the build hides all else.

#define COMPAT_IPC_EXPORT __attribute__((visibility("default")))
