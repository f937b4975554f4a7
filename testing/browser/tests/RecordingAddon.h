#pragma once
// The test add-on module (RecordingAddon.so): a helper object, a toolbar and
// an explorer bar that call the browser host as a real add-on does and keep
// a line for each thing they see. Tests read those lines through each
// object's Dispatch: member "Calls" (id 1) gives them, one per line.

#include "compat/com/Dispatch.h"

namespace compat::testing {

inline constexpr compat::Guid kHelperId = compat::Guid::parse("{5B0E7C41-21A8-4C1B-9E02-6A7C3D1E0001}");
inline constexpr compat::Guid kToolbarId = compat::Guid::parse("{5B0E7C41-21A8-4C1B-9E02-6A7C3D1E0002}");
inline constexpr compat::Guid kBarId = compat::Guid::parse("{5B0E7C41-21A8-4C1B-9E02-6A7C3D1E0003}");
inline constexpr compat::DispatchId kCallsId = 1;

// What the helper object does on a navigation to an address that starts
// with one of these: cancels it; shows or hides the bar (and cancels);
// posts WM_CLOSE to the window (and cancels).
inline constexpr const char* kCancelPrefix = "cancel:";
inline constexpr const char* kShowBarPrefix = "bar:show";
inline constexpr const char* kHideBarPrefix = "bar:hide";
inline constexpr const char* kClosePrefix = "close:";
// The page the bar's browser shows first.
inline constexpr const char* kBarPage = "http://bar.example/";

}  // namespace compat::testing
