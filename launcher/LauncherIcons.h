#pragma once
// The launcher's icons, drawn in code: a disc in the application's state
// colour with a white ring inside, green when it is online, grey while it
// starts or is offline, and with an orange badge when there are new messages.

#include <vector>

#include "compat/desktopbus/IconImage.h"

namespace ovix {

// The sizes each icon is drawn in: those that panels show.
inline constexpr int kIconSizes[] = {16, 22, 24, 32, 48, 64};

// Icon resource `resource` (IDI_ONLINE, IDI_STARTING, IDI_NEW_MESSAGES) in
// each of kIconSizes; empty for another resource.
std::vector<compat::IconImage> launcherIconImages(unsigned resource);

}  // namespace ovix
