#pragma once
// The add-on's entries in the registry store: its type library, its three
// classes, the sidebar's place among the vertical bars and its width, the
// toolbar's entry and the helper object's key. Registrations and
// unregistrations of every thread and process run one at a time; when the
// store cannot be locked, nothing is written and the result is that of the
// first step.

#include <filesystem>

#include "compat/com/ComResult.h"

namespace ovix {

// Drops the shell's cached category lists, then writes the type library
// (SELFREG_E_TYPELIB when it cannot), the classes with the sidebar's width
// and the toolbar's entry (SELFREG_E_CLASS), the sidebar's category (E_FAIL)
// and the helper object's key (SELFREG_E_CLASS). Writing twice gives the
// same entries.
compat::HRESULT RegisterAddon(const std::filesystem::path& module);

// Removes the type library (SELFREG_E_TYPELIB when it is not registered),
// then the toolbar's entry, both bands' class keys and the helper object's
// key (SELFREG_E_CLASS when one of them stays). The other entries stay.
compat::HRESULT UnregisterAddon();

}  // namespace ovix
