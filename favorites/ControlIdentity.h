#pragma once
// The identifiers and registry texts of the favorites import control.

#include <cstdint>

#include "compat/com/Guid.h"

namespace ovix::favorites {

constexpr compat::Guid kTypeLibraryId = compat::Guid::parse("{648EE14A-ECF8-40EA-B9FB-37C1288C4ABE}");
constexpr unsigned kTypeLibraryMajor = 1;
constexpr unsigned kTypeLibraryMinor = 0;
constexpr std::uint32_t kTypeLibraryLocale = 0x0409;
constexpr const char* kTypeLibraryDescription = "VantileImportFavorites ActiveX Control module";
constexpr const char* kTypeLibraryHelpFile = "VantileImportFavorites.hlp";

constexpr compat::Guid kDispatchInterfaceId = compat::Guid::parse("{6D0F1F44-2A27-412F-988A-E4D4EE45ACBC}");
constexpr const char* kDispatchInterfaceName = "_DVantileImportFavorites";
constexpr compat::Guid kEventInterfaceId = compat::Guid::parse("{64B09DA5-7A79-447A-A82F-BEDED4BD4E5F}");
constexpr const char* kEventInterfaceName = "_DVantileImportFavoritesEvents";

constexpr compat::Guid kControlClassId = compat::Guid::parse("{A00C22CA-A3D9-4A02-8171-7D234113BDCD}");
constexpr const char* kControlProgId = "VANTILEIMPORTFAV.VantileImportFavCtrl.1";
constexpr const char* kControlTypeName = "VantileImportFavorites Control";
constexpr int kControlToolboxBitmap = 1;
// Recompose on resize, can't link inside, inside-out, activate when
// visible, invisible at run time, set client site first.
constexpr std::uint32_t kControlMiscStatus = 0x20591;

constexpr compat::Guid kPropertyPageClassId = compat::Guid::parse("{07776D39-C266-4FF0-B835-337C737B8DD2}");
constexpr const char* kPropertyPageProgId = "VANTILEIMPORTF.VantileImportFPropPage.1";
constexpr const char* kPropertyPageTypeName = "VantileImportFavorites Property Page";

constexpr const char* kThreadingModel = "Apartment";

constexpr compat::Guid kSafeForInitializing = compat::Guid::parse("{7DD95802-9882-11CF-9FA9-00AA006C42C4}");
constexpr const char* kSafeForInitializingText = "Controls safely initializable from persistent data!";
constexpr compat::Guid kSafeForScripting = compat::Guid::parse("{7DD95801-9882-11CF-9FA9-00AA006C42C4}");
constexpr const char* kSafeForScriptingText = "Controls safely scriptable!";
constexpr std::uint32_t kCategoryLocale = 0x0409;

// Dispatch ids of the control's script members.
constexpr std::int32_t kAboutBoxId = -552;
constexpr std::int32_t kImportFavoritesId = 1;

}  // namespace ovix::favorites
