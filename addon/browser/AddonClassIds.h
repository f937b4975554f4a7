#pragma once
// The class ids of the add-on's browser objects, by which a browser makes
// them and shows the bands.

#include "compat/com/Guid.h"

namespace ovix {

// The sidebar, the toolbar and the browser helper object.
constexpr compat::Guid kBarBandClassId = compat::Guid::parse("{CAF171B1-077D-4D35-A792-23773191E5B6}");
constexpr compat::Guid kWToolBarClassId = compat::Guid::parse("{EECC161C-D8F9-411A-A8E6-C17EB736F16B}");
constexpr compat::Guid kBhoClassId = compat::Guid::parse("{E4C2EF66-1FE6-4145-8598-A5877FB51AF3}");

}  // namespace ovix
