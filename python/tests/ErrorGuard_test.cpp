#include "python/ErrorGuard.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "EmbeddedPython.h"

namespace {

template <class Throw>
std::string raised(Throw doThrow) {
    try {
        doThrow();
    } catch (...) {
        ovix::py::raiseCurrentException();
    }
    return takeError();
}

TEST(ErrorGuard, ThrownTextsBecomeRuntimeErrors) {
    EXPECT_EQ(raised([] { throw "need a buffer"; }), "RuntimeError: need a buffer");
    EXPECT_EQ(raised([] { throw std::string("cut\0here", 8); }), "RuntimeError: cut");
    EXPECT_EQ(raised([] { throw std::runtime_error("Iteration not started"); }), "RuntimeError: Iteration not started");
    EXPECT_EQ(raised([] { throw std::logic_error("broken"); }), "RuntimeError: broken");
}

TEST(ErrorGuard, TextThatIsNotUtf8StillArrives) {
    EXPECT_EQ(raised([] { throw std::runtime_error("file caf\xe9 missing"); }), "RuntimeError: file caf\xe9 missing");
}

TEST(ErrorGuard, OtherExceptionsNeverEscape) {
    EXPECT_EQ(raised([] { throw std::bad_alloc(); }), "MemoryError: ");
    EXPECT_EQ(raised([] { throw 42; }), "RuntimeError: unknown C++ exception");
}

TEST(ErrorGuard, APythonErrorAlreadySetStands) {
    EXPECT_EQ(raised([] {
                  PyErr_SetString(PyExc_KeyError, "k");
                  throw ovix::py::PythonError();
              }),
              "KeyError: k");
}

TEST(ErrorGuard, NoMatchingOverloadNamesTheRow) {
    ovix::py::raiseNoMatchingOverload(
        "Wrong number or type of arguments for overloaded function 'new_Fid'.\n"
        "  Possible C/C++ prototypes are:\n    Fid::Fid(DocVecI)\n");
    EXPECT_EQ(takeError(), "NotImplementedError: No matching function for overloaded 'new_Fid'");
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new EmbeddedPython);
    return RUN_ALL_TESTS();
}
