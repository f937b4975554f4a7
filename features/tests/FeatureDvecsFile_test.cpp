#include "features/FeatureDvecsFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "features/tests/HeldVector.h"
#include "testing/DocVecFiles.h"
#include "testing/FailureText.h"

namespace ovix {

namespace {

using ovix::testing::Bytes;
using ovix::testing::entry;
using ovix::testing::failureOf;
using ovix::testing::HeldVector;
using ovix::testing::readFile;
using ovix::testing::ScratchFolder;

const std::vector<DocVecI> kTwoEntries = {entry(3, 0.5f), entry(9, 0.25f)};

Bytes header(int nDocs) {
    return Bytes().i32(-3009).i32(nDocs).i32(0).i32(0);
}

TEST(FeatureDvecsFile, WritesEachVectorAsOneRecordAndReleasesIt) {
    ScratchFolder folder;
    const std::string path = folder.file("out.vec");
    // Aligned with a partial entry after it, and misaligned: whole entries only.
    HeldVector aligned(kTwoEntries, 0, 5), misaligned(kTwoEntries, 3);
    FeatureDvecsFile sink(path);
    EXPECT_EQ(sink.getFilename(), path);
    sink.addFeatures(7, 1, aligned.hold());
    sink.addFeatures(8, -1, misaligned.hold());
    EXPECT_EQ(aligned.released(), 1);
    EXPECT_EQ(misaligned.released(), 1);
    sink.close();

    Bytes record;
    for (const DocVecI& e : kTwoEntries)
        record.u64(e.fid.asNumber()).f32(e.weight);
    const Bytes expected = header(2).i32(0).i32(7).i32(1).i32(2).raw(record.str())
                               .i32(1).i32(8).i32(-1).i32(2).raw(record.str());
    EXPECT_EQ(readFile(path), expected.str());
}

TEST(FeatureDvecsFile, MappedNumbersStartAgainWithEveryFile) {
    ScratchFolder folder;
    const std::string path = folder.file("out.sgt");
    HeldVector first({entry(50, 1.0f), entry(7, 0.5f)}), second({entry(7, 2.0f), entry(900, 0.125f)});
    FeatureDvecsFile sink(path, FEATURE_DVECS_FILE_FORMAT_SGT_MAPPED);
    sink.addFeatures(1, 0, first.hold());
    sink.reset();
    EXPECT_EQ(readFile(path), "");
    sink.addFeatures(2, 0, second.hold());
    sink.addFeatures(3, 0, first.hold());
    sink.close();
    EXPECT_EQ(readFile(path), "2  1:2.000000 2:0.125000\n3  1:0.500000 3:1.000000\n");
}

TEST(FeatureDvecsFile, AResetThatCannotCreateTheFileLeavesTheSinkClosed) {
    ScratchFolder folder;
    const std::filesystem::path inner = folder.file("inner");
    std::filesystem::create_directory(inner);
    const std::string path = (inner / "out.vec").string();
    HeldVector a(kTwoEntries);
    FeatureDvecsFile sink(path);
    sink.addFeatures(1, 0, a.hold());
    std::filesystem::remove_all(inner);
    EXPECT_EQ(failureOf([&] { sink.reset(); }), "file creation error");
    EXPECT_EQ(failureOf([&] { sink.addFeatures(1, 0, a.hold()); }), "file is closed");
    EXPECT_EQ(failureOf([&] { sink.close(); }), "file is closed");

    std::filesystem::create_directory(inner);
    sink.reset();
    sink.close();
    EXPECT_EQ(readFile(path), header(0).str());
}

TEST(FeatureDvecsFile, DestructionClosesAnOpenFile) {
    ScratchFolder folder;
    const std::string path = folder.file("out.vec");
    HeldVector a(kTwoEntries);
    {
        FeatureDvecsFile sink(path);
        sink.addFeatures(1, 0, a.hold());
    }
    EXPECT_EQ(readFile(path).substr(0, 16), header(1).str());
}

}  // namespace

}  // namespace ovix
