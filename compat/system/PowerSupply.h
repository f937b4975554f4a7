#pragma once
// The machine's power supplies as the kernel lists them in
// /sys/class/power_supply: one folder per supply with its "type" and state.

#include <filesystem>

namespace compat {

struct PowerSupplyState {
    bool listed = false;          // a mains supply or a system battery is listed
    bool mainsOnline = false;     // a mains (or USB) supply feeds the machine
    bool batteryPresent = false;  // a system battery is fitted
    bool batteryLow = false;      // a system battery says its level is low or critical
};

inline const std::filesystem::path kPowerSupplyFolder = "/sys/class/power_supply";

// Reads every supply under `folder`. Batteries of devices (a mouse, a
// headset: "scope" Device) do not count. A folder that cannot be read gives
// the empty state.
PowerSupplyState readPowerSupplies(const std::filesystem::path& folder = kPowerSupplyFolder);

}  // namespace compat
