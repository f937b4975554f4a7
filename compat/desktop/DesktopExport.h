#pragma once
// Marks what the shared library ovix_compat_desktop offers the programs and
// modules that load it; the build hides all else.

#define COMPAT_DESKTOP_EXPORT __attribute__((visibility("default")))
