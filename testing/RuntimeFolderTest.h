#pragma once
// A test whose thread queues and named mutexes live in a private runtime
// folder ($XDG_RUNTIME_DIR), removed with everything in it at the end.

#include <gtest/gtest.h>
#include <stdlib.h>

#include "testing/ScratchFolder.h"

namespace ovix::testing {

class RuntimeFolderTest : public ::testing::Test {
protected:
    void SetUp() override { setenv("XDG_RUNTIME_DIR", m_runtime.path().c_str(), 1); }

    ScratchFolder m_runtime;
};

}  // namespace ovix::testing
