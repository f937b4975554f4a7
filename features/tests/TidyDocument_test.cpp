#include "features/TidyDocument.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace {

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

void expectRefused(const char* name, const char* value) {
    ovix::TidyDocument document;
    CaptureStderr();
    try {
        document.setOption(name, value);
        ADD_FAILURE() << name << "=" << value << " was accepted";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "key/value not recognized");
    }
    EXPECT_EQ(GetCapturedStderr(), "") << "the library printed its report";
}

TEST(TidyDocument, UnknownOptionsAndValuesAreRefusedQuietly) {
    expectRefused("no-such-option", "yes");
    expectRefused("indent", "sideways");
    expectRefused("wrap", "-x");
}

TEST(TidyDocument, ParseWarningsAreNotPrinted) {
    ovix::TidyDocument document;
    CaptureStderr();
    const std::string page = document.cleanup("<p>one<b>two<table><td>x");
    EXPECT_EQ(GetCapturedStderr(), "");
    EXPECT_NE(page.find("<b>two</b>"), std::string::npos) << page;
}

}  // namespace
