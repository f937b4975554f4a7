#pragma once
// Movable memory blocks named by handles, as data objects hand them over: a
// block is locked to reach its bytes and freed by whoever owns it last.
// Handles of freed blocks are never reused within a process. Any thread may
// use any block.

#include <cstddef>
#include <cstdint>

#include "compat/browser/BrowserExport.h"

namespace compat {

using GlobalHandle = std::uintptr_t;  // 0: no block

// A new block of `bytes` zero bytes; 0 when it cannot be had.
COMPAT_BROWSER_EXPORT GlobalHandle GlobalAlloc(std::size_t bytes);
// The block's bytes, valid until it is freed; null for a handle that names
// no block. Each lock is matched by an unlock.
COMPAT_BROWSER_EXPORT void* GlobalLock(GlobalHandle block);
// False when the block is no longer locked after this call (or is no block).
COMPAT_BROWSER_EXPORT bool GlobalUnlock(GlobalHandle block);
// The block's size in bytes; 0 for a handle that names no block.
COMPAT_BROWSER_EXPORT std::size_t GlobalSize(GlobalHandle block);
// Frees the block: 0 on success, else the handle.
COMPAT_BROWSER_EXPORT GlobalHandle GlobalFree(GlobalHandle block);

}  // namespace compat
