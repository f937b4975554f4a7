#include "compat/system/ExpandEnvironment.h"

#include <gtest/gtest.h>
#include <stdlib.h>

namespace {

TEST(ExpandEnvironmentTest, ReplacesSetVariablesOnly) {
    setenv("OVIX_EXPAND_A", "/home/a", 1);
    unsetenv("OVIX_EXPAND_UNSET");
    const struct {
        const char* text;
        const char* expanded;
    } cases[] = {
        {"%OVIX_EXPAND_A%\\Favorites", "/home/a\\Favorites"},
        {"x%OVIX_EXPAND_A%%OVIX_EXPAND_A%y", "x/home/a/home/ay"},
        {"%OVIX_EXPAND_UNSET%/f", "%OVIX_EXPAND_UNSET%/f"},
        // The closing mark of an unknown name may open a known one.
        {"%OVIX_EXPAND_UNSET%OVIX_EXPAND_A%", "%OVIX_EXPAND_UNSET/home/a"},
        {"100%", "100%"},
        {"%%", "%%"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(compat::expandEnvironment(c.text), c.expanded) << c.text;
    unsetenv("OVIX_EXPAND_A");
}

}  // namespace
