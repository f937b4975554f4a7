#pragma once
// Death tests of the engine's invariant checks: the statement must abort after
// writing exactly one report line, "HEADER:CHECK: VALUE".

#include <gtest/gtest.h>

#include <csignal>

#define EXPECT_INVARIANT_REPORT(statement, header, check, value) \
    EXPECT_EXIT(statement, ::testing::KilledBySignal(SIGABRT), "^sgt/" header "\\.h:" #check ": " #value "\n$")
