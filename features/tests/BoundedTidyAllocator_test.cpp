#include "features/BoundedTidyAllocator.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using Outcome = ovix::BoundedTidyAllocator::Outcome;

struct Page {
    std::string html;
    int parsed = -1;
};

// Parses the page; abandoned work leaves its document to the allocator.
void parse(void* context, TidyAllocator* allocator) {
    auto* page = static_cast<Page*>(context);
    const TidyDoc document = tidyCreateWithAllocator(allocator);
    tidyOptSetBool(document, TidyShowWarnings, no);
    tidyOptSetInt(document, TidyShowErrors, 0);
    page->parsed = tidyParseString(document, page->html.c_str());
    tidyRelease(document);
}

std::string repeated(const std::string& unit, int times) {
    std::string text;
    for (int i = 0; i < times; ++i)
        text += unit;
    return text;
}

// LeakSanitizer checks that every block of the abandoned runs is freed.
TEST(BoundedTidyAllocator, WorkWithinItsBoundsRunsToItsEnd) {
    Page page{"<p>a <b>small</b> page"};
    ovix::BoundedTidyAllocator allocator(std::size_t{16} << 20, std::size_t{1} << 20);
    EXPECT_EQ(allocator.run(parse, &page), Outcome::done);
    EXPECT_GE(page.parsed, 0);
}

TEST(BoundedTidyAllocator, WorkPastABoundIsAbandoned) {
    Page wide{repeated("<p>text", 20000)};
    ovix::BoundedTidyAllocator small(std::size_t{1} << 20, std::size_t{1} << 20);
    EXPECT_EQ(small.run(parse, &wide), Outcome::tooLarge);
    EXPECT_EQ(wide.parsed, -1);

    Page deep{repeated("<div>x", 5000)};
    ovix::BoundedTidyAllocator shallow(std::size_t{64} << 20, std::size_t{64} << 10);
    EXPECT_EQ(shallow.run(parse, &deep), Outcome::tooDeep);
    EXPECT_EQ(deep.parsed, -1);
}

}  // namespace
