// Truncated and hostile document-vector files: every one is refused with a
// DocVecError, or read for what it really holds, and none makes the reader
// allocate more than the file could fill.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <optional>
#include <string>
#include <vector>

#include "features/DocVec.h"
#include "features/tests/LargestAllocation.h"
#include "testing/BoundedChild.h"
#include "testing/DocVecFiles.h"

namespace ovix {

namespace {

using ovix::testing::Bytes;
using ovix::testing::entry;
using ovix::testing::LargestAllocation;
using ovix::testing::outcomeInChild;
using ovix::testing::readFile;
using ovix::testing::ScratchFolder;
using ovix::testing::writeFile;
using ::testing::internal::CaptureStderr;
using ::testing::internal::GetCapturedStderr;

constexpr size_t kInputBuffer = 64 * 1024;

// Opens the file and reads every record it claims. Returns the check that
// refused it, or nothing when it was read through.
std::optional<DocVecCheck> readAll(const std::string& path, DocVecFormat format, size_t fileBytes) {
    std::optional<DocVecCheck> refused;
    LargestAllocation largest;
    CaptureStderr();
    try {
        DocVec in(path, format, false);
        if (in.isOpen())
            in.forEachDoc([](int, const DocVecRecord&) { return true; });
    } catch (const DocVecError& e) {
        refused = e.check();
    }
    const std::string lines = GetCapturedStderr();
    // A refusal prints its line; old layouts add their warning.
    if (refused) {
        EXPECT_NE(lines.find("docVec:" + std::to_string(static_cast<int>(*refused)) + ": "), std::string::npos) << lines;
    }
    // The input buffer, and entries as many as the bytes could spell.
    EXPECT_LE(largest.bytes(), std::max(kInputBuffer, 4 * fileBytes + 64)) << path;
    return refused;
}

std::optional<DocVecCheck> readBytes(const std::string& path, DocVecFormat format, const std::string& bytes) {
    writeFile(path, bytes);
    return readAll(path, format, bytes.size());
}

std::vector<DocVecI> entries(int n) {
    std::vector<DocVecI> out;
    for (int i = 0; i < n; ++i)
        out.push_back(entry(static_cast<std::uint64_t>(i) * 0x9E3779B97F4A7C15ull, 0.25f * static_cast<float>(i)));
    return out;
}

void writeSample(const std::string& path, DocVecFormat format, std::int64_t limit) {
    DocVec out(path, format, true, limit);
    for (int d = 0; d < 6; ++d)
        out.writeDoc(d * 3, d % 2, entries(d));
}

class Truncation : public ::testing::TestWithParam<DocVecFormat> {};

TEST_P(Truncation, EveryCutOfTheMainFileOrASubFileIsRefusedOrReadForWhatItHolds) {
    const DocVecFormat format = GetParam();
    ScratchFolder folder;
    const std::string path = folder.file("sample");
    writeSample(path, format, 120);
    const bool hasSubFiles = format != DOCVEC_FORMAT_LINES;
    ASSERT_EQ(std::filesystem::exists(path + ".sub1"), hasSubFiles);

    for (const std::string& victim : {path, path + ".sub1"}) {
        if (!std::filesystem::exists(victim))
            continue;
        const std::string whole = readFile(victim);
        for (size_t length = 0; length < whole.size(); ++length) {
            writeFile(victim, whole.substr(0, length));
            const auto refused = readAll(path, format, whole.size());
            // A binary file set reads only without the trailer of its last file;
            // a text one also when a cut leaves the last record's line whole.
            const bool lastTrailerCut = victim == path + ".sub1" && length >= whole.size() - 4;
            if (!refused && format == DOCVEC_FORMAT_BINARY && !lastTrailerCut)
                ADD_FAILURE() << victim << " cut to " << length << " bytes was read";
        }
        writeFile(victim, whole);
    }
    EXPECT_FALSE(readAll(path, format, 4096));
}

INSTANTIATE_TEST_SUITE_P(DocVecHostile, Truncation,
                         ::testing::Values(DOCVEC_FORMAT_TEXT, DOCVEC_FORMAT_BINARY, DOCVEC_FORMAT_LINES));

Bytes header(int magic, int nDocs, int nSubFiles, int firstIndex) {
    return Bytes().i32(magic).i32(nDocs).i32(nSubFiles).i32(firstIndex);
}

TEST(DocVecHostile, BinaryCountsAreCheckedAgainstTheFile) {
    ScratchFolder folder;
    const std::string path = folder.file("hostile.bin");
    const auto read = [&](const Bytes& bytes) { return readBytes(path, DOCVEC_FORMAT_BINARY, bytes.str()); };
    const Bytes oneRecord = Bytes().i32(0).i32(1).i32(0).i32(0);

    EXPECT_EQ(read(header(-3009, INT_MAX, 0, 0).raw(oneRecord.str())), DocVecCheck::docCount);
    EXPECT_EQ(read(header(-3009, 3, 0, 0).raw(oneRecord.str())), DocVecCheck::docCount);  // 32 bytes hold 2 at most
    EXPECT_EQ(read(header(-3009, -1, 0, 0)), DocVecCheck::docCount);
    EXPECT_EQ(read(header(-3009, 1, -5, 0).raw(oneRecord.str())), DocVecCheck::subFileCount);
    for (const int n : {-1, INT_MIN, INT_MAX, 0x15555556 /* 12 n wraps to 8 in 32 bits */, 2}) {
        EXPECT_EQ(read(header(-3009, 1, 0, 0).i32(0).i32(1).i32(0).i32(n).u64(1).f32(1)), DocVecCheck::entryCount)
            << n;
    }
    for (const int magic : {-3008, -3007}) {
        EXPECT_EQ(read(header(magic, 1, 0, 0).i32(0).i32(1).i32(0).i32(0x20000000).i32(5)), DocVecCheck::entryCount);
    }
    EXPECT_EQ(read(Bytes().i32(2002).i32(1).i32(0).i32(1).i32(0).i32(INT_MAX)), DocVecCheck::entryCount);
    EXPECT_EQ(read(header(-3009, 1, 0, INT_MAX).raw(oneRecord.str())), DocVecCheck::recordIndex);
    EXPECT_EQ(read(header(-3009, 1, 0, 0).i32(-1).i32(1).i32(0).i32(0)), DocVecCheck::recordIndex);
    EXPECT_EQ(read(header(1234, 1, 0, 0).raw(oneRecord.str())), DocVecCheck::magic);
    EXPECT_EQ(read(header(-3009, 0, 0, 0)), std::nullopt);
}

TEST(DocVecHostile, SubFilesThatDoNotExistOrLoopAreRefused) {
    ScratchFolder folder;
    const std::string path = folder.file("hostile.bin");
    // Sub-files claimed but absent: the reader is left without files.
    writeFile(path, header(-3009, 1, 1000000, 0).i32(0).i32(1).i32(0).i32(0).str());
    {
        DocVec in(path, DOCVEC_FORMAT_BINARY, false);
        EXPECT_FALSE(in.isOpen());
    }
    // A trailer with no sub-file left is no record.
    EXPECT_EQ(readBytes(path, DOCVEC_FORMAT_BINARY, header(-3009, 1, 0, 0).i32(-3009).str()), DocVecCheck::record);
    // A sub-file that names the main file again.
    writeFile(path, header(-3009, 2, 1, 0).i32(0).i32(1).i32(0).i32(0).i32(-3009).str());
    std::filesystem::create_symlink(path, path + ".sub1");
    EXPECT_EQ(readAll(path, DOCVEC_FORMAT_BINARY, 64), DocVecCheck::recordIndex);
    // A sub-file with an unknown magic.
    std::filesystem::remove(path + ".sub1");
    writeFile(path + ".sub1", header(77, 1, 0, 1).str());
    EXPECT_EQ(readAll(path, DOCVEC_FORMAT_BINARY, 64), DocVecCheck::magic);
}

// Each open in a child with a time limit: one that waits never returns.
TEST(DocVecHostile, FifosDevicesAndFoldersAreRefusedWithoutWaiting) {
    ScratchFolder folder;
    const std::string fifo = folder.file("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string set = folder.file("set.bin");
    writeFile(set, header(-3009, 1, 1, 0).i32(0).i32(1).i32(0).i32(0).i32(-3009).str());
    ASSERT_EQ(mkfifo((set + ".sub1").c_str(), 0600), 0);

    const std::pair<std::string, std::string> refused[] = {
        {fifo, fifo}, {set, set + ".sub1"}, {"/dev/zero", "/dev/zero"}, {folder.path(), folder.path()}};
    for (const auto& [path, named] : refused) {
        EXPECT_EQ(outcomeInChild([&] {
                      DocVec in(path, DOCVEC_FORMAT_BINARY, false);
                      return std::string("read ") + std::to_string(in.nDocs());
                  }),
                  "DocVec: " + named + " is not a regular file");
    }
    // A writer gives up at once on a FIFO that nobody reads.
    EXPECT_EQ(outcomeInChild([&] {
                  DocVec out(fifo, DOCVEC_FORMAT_TEXT, true);
                  return std::string(out.isOpen() ? "opened" : "not opened");
              }),
              "not opened");
}

TEST(DocVecHostile, TextCountsAreCheckedAgainstTheLine) {
    ScratchFolder folder;
    const std::string path = folder.file("hostile.txt");
    const std::string header = "1 0 0 ? -3009\n";
    const auto read = [&](const std::string& text) { return readBytes(path, DOCVEC_FORMAT_TEXT, text); };

    EXPECT_EQ(read("2147483647 0 0 ? -3009\n0 1 1 0\n"), DocVecCheck::docCount);
    EXPECT_EQ(read("1 99999999999 0 ? -3009\n0 1 1 0\n"), DocVecCheck::header);
    EXPECT_EQ(read(header + "0 1 1 2147483647 1:1\n"), DocVecCheck::entryCount);
    EXPECT_EQ(read(header + "0 1 1 -1\n"), DocVecCheck::entryCount);
    EXPECT_EQ(read(header + "0 1 1 3 1:1 2:2\n"), DocVecCheck::entry);
    EXPECT_EQ(read(header + "0 1 1 1 1:1 2:2\n"), DocVecCheck::entry);
    EXPECT_EQ(read(header + "0 1 1 1 x:1\n"), DocVecCheck::entry);
    EXPECT_EQ(read(header + "0 1 1 1 1:\n"), DocVecCheck::entry);
    EXPECT_EQ(read(header + "0 1 1 99999999999\n"), DocVecCheck::record);
    EXPECT_EQ(read(header + "1 1 1 0\n"), DocVecCheck::recordIndex);
    EXPECT_EQ(read(header), DocVecCheck::record);
    EXPECT_EQ(read(header + "0 1 1 2 18446744073709551615:inf 0:-nan\n"), std::nullopt);
}

TEST(DocVecHostile, LinesOfSeparatorsAllocateNoMoreThanTheLineSpells) {
    ScratchFolder folder;
    const std::string path = folder.file("hostile.lines");
    EXPECT_EQ(readBytes(path, DOCVEC_FORMAT_LINES, "1 " + std::string(200000, ':') + "\n"), DocVecCheck::entry);
    EXPECT_EQ(readBytes(path, DOCVEC_FORMAT_LINES, "x 1:1\n"), DocVecCheck::record);
    EXPECT_EQ(readBytes(path, DOCVEC_FORMAT_LINES, "1 1:1 junk\n"), DocVecCheck::entry);
    std::string many = "1";
    for (int i = 0; i < 30000; ++i)
        many += " 1:1";
    EXPECT_EQ(readBytes(path, DOCVEC_FORMAT_LINES, many + "\n"), std::nullopt);
}

}  // namespace

}  // namespace ovix
