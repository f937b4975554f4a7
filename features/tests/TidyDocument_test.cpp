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

TEST(TidyDocument, RepairsAPageAndAppliesItsOptions) {
    ovix::TidyDocument document;
    const std::string whole = document.cleanup("<title>t</title><p>one<b>two");
    EXPECT_NE(whole.find("<html"), std::string::npos) << whole;
    EXPECT_NE(whole.find("<b>two</b>"), std::string::npos) << whole;
    EXPECT_NE(whole.find("</p>"), std::string::npos) << whole;

    document.setOption("show-body-only", "yes");
    CaptureStderr();
    const std::string body = document.cleanup("<p>three<i>four");
    EXPECT_EQ(GetCapturedStderr(), "") << "the library printed its warnings";
    EXPECT_EQ(body.find("<html"), std::string::npos) << body;
    EXPECT_EQ(body.find("two"), std::string::npos) << "the first page was kept: " << body;
    EXPECT_NE(body.find("<p>three<i>four</i></p>"), std::string::npos) << body;
}

}  // namespace
