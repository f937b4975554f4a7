#pragma once
// The entry points every component module exports by name, as C symbols.

#include "compat/com/ComResult.h"
#include "compat/com/Guid.h"

namespace compat {

// The factory of class `classId` as its interface `id` (counted).
using GetClassObjectEntry = HRESULT (*)(const Guid& classId, const Guid& id, void** object);
// S_OK when nothing of the module is in use, else S_FALSE.
using CanUnloadNowEntry = HRESULT (*)();
// Writes or removes the module's registry entries.
using RegisterServerEntry = HRESULT (*)();

}  // namespace compat
