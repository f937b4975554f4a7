#pragma once
// What keeps a component module loaded: its live objects and the locks its
// callers hold on it. Each module (shared library) has its own count, since
// this layer is linked into each one privately.

namespace compat {

void moduleAddUse();
void moduleReleaseUse();
// True when no object of this module is alive and no lock is held.
bool moduleCanUnload();

// Keeps this module mapped until the process ends, whatever its host
// unloads: for code that may still run after its last use is released (a
// thread on its way out). Once is enough; later calls do nothing.
void pinModule();

}  // namespace compat
