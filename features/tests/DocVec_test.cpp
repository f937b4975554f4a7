#include "features/DocVec.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "testing/DocVecFiles.h"

namespace ovix {

namespace {

using ovix::testing::Bytes;
using ovix::testing::entry;
using ovix::testing::readFile;
using ovix::testing::ScratchFolder;
using ovix::testing::writeFile;
using ::testing::internal::CaptureStderr;
using ::testing::internal::GetCapturedStderr;

struct Doc {
    int id;
    int label;
    std::vector<DocVecI> entries;
};

// Three documents: two entries (one id with its top bit set), none, one.
const std::vector<Doc> kThreeDocs = {
    {10, 1, {entry(1, 0.5f), entry(0x8000000000000002ull, -1.25f)}},
    {-4, -1, {}},
    {12, 0, {entry(7, 3.0f)}},
};

void writeDocs(const std::string& path, DocVecFormat format, const std::vector<Doc>& docs,
               std::int64_t limit = DocVec::kSubFileLimit) {
    DocVec out(path, format, true, limit);
    ASSERT_TRUE(out.isOpen());
    for (const Doc& doc : docs)
        out.writeDoc(doc.id, doc.label, doc.entries);
    out.close();
}

std::vector<Doc> readDocs(const std::string& path, DocVecFormat format) {
    DocVec in(path, format, false);
    EXPECT_TRUE(in.isOpen());
    std::vector<Doc> docs;
    DocVecRecord record;
    for (int i = 0; i < in.nDocs(); ++i) {
        in.readDoc(record);
        docs.push_back({record.id, record.label, record.entries});
    }
    return docs;
}

void expectSameDocs(const std::vector<Doc>& got, const std::vector<Doc>& expected) {
    ASSERT_EQ(got.size(), expected.size());
    for (size_t d = 0; d < got.size(); ++d) {
        EXPECT_EQ(got[d].id, expected[d].id) << "document " << d;
        EXPECT_EQ(got[d].label, expected[d].label) << "document " << d;
        ASSERT_EQ(got[d].entries.size(), expected[d].entries.size()) << "document " << d;
        for (size_t i = 0; i < got[d].entries.size(); ++i) {
            EXPECT_EQ(got[d].entries[i].fid, expected[d].entries[i].fid) << "document " << d << " entry " << i;
            const float a = got[d].entries[i].weight, b = expected[d].entries[i].weight;
            EXPECT_TRUE(a == b || (std::isnan(a) && std::isnan(b))) << a << " != " << b;
        }
    }
}

// "%f" as the C library prints it, read back: what a text format keeps of a weight.
float throughText(float weight) {
    char text[64];
    std::snprintf(text, sizeof text, "%f", static_cast<double>(weight));
    return std::strtof(text, nullptr);
}

Bytes header(int magic, int nDocs, int nSubFiles, int firstIndex) {
    return Bytes().i32(magic).i32(nDocs).i32(nSubFiles).i32(firstIndex);
}

// One binary record with a single entry of id `index` and weight 1.
Bytes& oneEntryRecord(Bytes& bytes, int index) {
    return bytes.i32(index).i32(100 + index).i32(0).i32(1).u64(static_cast<std::uint64_t>(index)).f32(1.0f);
}

std::vector<Doc> oneEntryDocs(int count) {
    std::vector<Doc> docs;
    for (int i = 0; i < count; ++i)
        docs.push_back({100 + i, 0, {entry(static_cast<std::uint64_t>(i), 1.0f)}});
    return docs;
}

// --- Layouts ---------------------------------------------------------------------

TEST(DocVecLayout, BinaryFileIsHeaderThenRecordsWithoutTrailer) {
    ScratchFolder folder;
    const std::string path = folder.file("vectors.bin");
    DocVec out(path, DOCVEC_FORMAT_BINARY, true);
    EXPECT_EQ(out.writeDoc(10, 1, kThreeDocs[0].entries), 16);
    EXPECT_EQ(out.writeDoc(-4, -1, kThreeDocs[1].entries), 16 + 16 + 24);
    EXPECT_EQ(out.writeDoc(12, 0, kThreeDocs[2].entries), 56 + 16);
    EXPECT_EQ(out.nDocs(), 3);
    out.close();

    const Bytes expected = header(-3009, 3, 0, 0)
                               .i32(0).i32(10).i32(1).i32(2)
                               .u64(1).f32(0.5f).u64(0x8000000000000002ull).f32(-1.25f)
                               .i32(1).i32(-4).i32(-1).i32(0)
                               .i32(2).i32(12).i32(0).i32(1)
                               .u64(7).f32(3.0f);
    EXPECT_EQ(readFile(path), expected.str());
    EXPECT_FALSE(std::filesystem::exists(path + ".sub1"));

    DocVec in(path, DOCVEC_FORMAT_BINARY, false);
    EXPECT_EQ(in.nDocs(), 3);
    EXPECT_EQ(in.nSubFiles(), 0);
    EXPECT_EQ(in.magic(), DOCVEC_MAGIC);
}

TEST(DocVecLayout, TextFileHasAFixedWidthHeaderLineAndOneLinePerRecord) {
    ScratchFolder folder;
    const std::string path = folder.file("vectors.txt");
    writeDocs(path, DOCVEC_FORMAT_TEXT, kThreeDocs);
    EXPECT_EQ(readFile(path),
              "           3            0            0 ?        -3009\n"
              "0 10 1 2 1:0.500000 9223372036854775810:-1.250000\n"
              "1 -4 -1 0\n"
              "2 12 0 1 7:3.000000\n");
}

TEST(DocVecLayout, LinesFileShiftsIdsByOneAndHasNoHeader) {
    ScratchFolder folder;
    const std::string path = folder.file("vectors.lines");
    writeDocs(path, DOCVEC_FORMAT_LINES, kThreeDocs);
    EXPECT_EQ(readFile(path),
              "10  2:0.500000 9223372036854775811:-1.250000\n"
              "-4 \n"
              "12  8:3.000000\n");

    writeDocs(path, DOCVEC_FORMAT_LINES, {{7, 1, {entry(0, 0.5f)}}});
    EXPECT_EQ(readFile(path), "7  1:0.500000\n");
}

TEST(DocVecLayout, MappedFileNumbersIdsInFirstSeenOrderAndSortsEachLine) {
    ScratchFolder folder;
    const std::string path = folder.file("vectors.map");
    writeDocs(path, DOCVEC_FORMAT_MAPPED,
              {
                  {5, 1, {entry(100, 0.5f), entry(300, 0.25f)}},  // 100 is 1, 300 is 2
                  {6, 0, {entry(200, 1.0f), entry(300, 2.0f)}},   // 200 is 3
                  {7, 0, {entry(50, 4.0f), entry(100, 8.0f)}},    // 50 is 4
                  {8, 0, {}},
              });
    EXPECT_EQ(readFile(path),
              "5  1:0.500000 2:0.250000\n"
              "6  2:2.000000 3:1.000000\n"
              "7  1:8.000000 4:4.000000\n"
              "8 \n");
}

TEST(DocVecLayout, TextWeightsArePrintedAsTheCLibraryPrintsThem) {
    const std::vector<float> weights = {0.0f, -0.0f, 1e-7f, 0.0000005f, 0.0000015f, 123456.789f, -2.5f, 1e30f,
                                        std::numeric_limits<float>::max(), -std::numeric_limits<float>::max(),
                                        std::numeric_limits<float>::infinity(),
                                        -std::numeric_limits<float>::infinity(),
                                        std::numeric_limits<float>::quiet_NaN()};
    std::string expected = "           1            0            0 ?        -3009\n0 1 2 " +
                           std::to_string(weights.size());
    std::vector<DocVecI> entries;
    for (size_t i = 0; i < weights.size(); ++i) {
        entries.push_back(entry(i, weights[i]));
        char text[80];
        std::snprintf(text, sizeof text, " %zu:%f", i, static_cast<double>(weights[i]));
        expected += text;
    }
    ScratchFolder folder;
    const std::string path = folder.file("weights.txt");
    writeDocs(path, DOCVEC_FORMAT_TEXT, {{1, 2, entries}});
    EXPECT_EQ(readFile(path), expected + "\n");
}

// --- Round trips -----------------------------------------------------------------

std::vector<Doc> randomDocs(int count, std::uint32_t seed) {
    std::mt19937_64 random(seed);
    std::vector<Doc> docs;
    for (int d = 0; d < count; ++d) {
        Doc doc{static_cast<int>(random()), static_cast<int>(random() % 7) - 3, {}};
        const int n = static_cast<int>(random() % 20);
        for (int i = 0; i < n; ++i) {
            const float weight = std::ldexp(static_cast<float>(random() % 2000000) - 1e6f, -static_cast<int>(random() % 30));
            doc.entries.push_back(entry(random(), weight));
        }
        docs.push_back(doc);
    }
    docs.push_back({0, 0, {entry(0, 1.0f), entry(~0ull, -1.0f)}});  // the extreme ids
    return docs;
}

TEST(DocVecRoundTrip, BinaryKeepsEverythingExactly) {
    ScratchFolder folder;
    const std::string path = folder.file("vectors.bin");
    const auto docs = randomDocs(200, 1);
    writeDocs(path, DOCVEC_FORMAT_BINARY, docs);
    expectSameDocs(readDocs(path, DOCVEC_FORMAT_BINARY), docs);
}

TEST(DocVecRoundTrip, TextKeepsWeightsToSixDecimals) {
    ScratchFolder folder;
    const std::string path = folder.file("vectors.txt");
    auto docs = randomDocs(200, 2);
    writeDocs(path, DOCVEC_FORMAT_TEXT, docs);
    for (Doc& doc : docs)
        for (DocVecI& e : doc.entries)
            e.weight = throughText(e.weight);
    expectSameDocs(readDocs(path, DOCVEC_FORMAT_TEXT), docs);
}

TEST(DocVecRoundTrip, LinesKeepIdsAndEntriesButNotLabels) {
    ScratchFolder folder;
    const std::string path = folder.file("vectors.lines");
    auto docs = randomDocs(200, 3);
    writeDocs(path, DOCVEC_FORMAT_LINES, docs);
    for (Doc& doc : docs) {
        doc.label = 0;
        for (DocVecI& e : doc.entries)
            e.weight = throughText(e.weight);
    }
    expectSameDocs(readDocs(path, DOCVEC_FORMAT_LINES), docs);
}

TEST(DocVecRoundTrip, LinesReaderCountsDocumentsByNewlines) {
    ScratchFolder folder;
    const std::string path = folder.file("hand.lines");
    writeFile(path, "3  1:0.5 5:2\n4 \n9 11:-1e2\n");
    DocVec in(path, DOCVEC_FORMAT_LINES, false);
    EXPECT_EQ(in.nDocs(), 3);
    expectSameDocs(readDocs(path, DOCVEC_FORMAT_LINES),
                   {{3, 0, {entry(0, 0.5f), entry(4, 2.0f)}}, {4, 0, {}}, {9, 0, {entry(10, -100.0f)}}});
}

TEST(DocVecRoundTrip, TextFilesWithCarriageReturnsRead) {
    ScratchFolder folder;
    const std::string path = folder.file("windows.txt");
    writeFile(path, "           2            0            0 ?        -3009\r\n0 4 1 1 3:0.500000\r\n1 5 0 0\r\n");
    expectSameDocs(readDocs(path, DOCVEC_FORMAT_TEXT), {{4, 1, {entry(3, 0.5f)}}, {5, 0, {}}});
    writeFile(path, "4  4:0.500000\r\n5 \r\n");
    expectSameDocs(readDocs(path, DOCVEC_FORMAT_LINES), {{4, 0, {entry(3, 0.5f)}}, {5, 0, {}}});
}

TEST(DocVecRoundTrip, MappedFilesCannotBeRead) {
    ScratchFolder folder;
    const std::string path = folder.file("vectors.map");
    writeDocs(path, DOCVEC_FORMAT_MAPPED, kThreeDocs);
    CaptureStderr();
    try {
        DocVec in(path, DOCVEC_FORMAT_MAPPED, false);
        FAIL() << "a mapped file was opened for reading";
    } catch (const DocVecError& e) {
        EXPECT_EQ(e.check(), DocVecCheck::mapped);
    }
    EXPECT_EQ(GetCapturedStderr(), "docVec:12: 3\n");
}

// --- Sub-files -------------------------------------------------------------------

TEST(DocVecSubFiles, BinaryWriterRollsOverAfterARecordPastTheLimit) {
    ScratchFolder folder;
    const std::string path = folder.file("vectors.bin");
    {
        DocVec out(path, DOCVEC_FORMAT_BINARY, true, 40);
        std::vector<std::int64_t> offsets;
        for (const Doc& doc : oneEntryDocs(5))
            offsets.push_back(out.writeDoc(doc.id, doc.label, doc.entries));
        // Records of 28 bytes: the one at 44 is past 40, so the next starts a sub-file.
        EXPECT_EQ(offsets, (std::vector<std::int64_t>{16, 44, 16, 44, 16}));
        EXPECT_EQ(out.nSubFiles(), 2);
    }  // the destructor closes and rewrites the headers

    Bytes main = header(-3009, 5, 2, 0), sub1 = header(-3009, 2, 0, 2), sub2 = header(-3009, 1, 0, 4);
    oneEntryRecord(oneEntryRecord(main, 0), 1).i32(-3009);
    oneEntryRecord(oneEntryRecord(sub1, 2), 3).i32(-3009);
    oneEntryRecord(sub2, 4).i32(-3009);
    EXPECT_EQ(readFile(path), main.str());
    EXPECT_EQ(readFile(path + ".sub1"), sub1.str());
    EXPECT_EQ(readFile(path + ".sub2"), sub2.str());

    DocVec in(path, DOCVEC_FORMAT_BINARY, false);
    EXPECT_EQ(in.nSubFiles(), 2);
    DocVecRecord record;
    std::vector<std::int64_t> offsets;
    for (int i = 0; i < 5; ++i)
        offsets.push_back(in.readDoc(record));
    EXPECT_EQ(offsets, (std::vector<std::int64_t>{16, 44, 16, 44, 16}));
    expectSameDocs(readDocs(path, DOCVEC_FORMAT_BINARY), oneEntryDocs(5));
}

TEST(DocVecSubFiles, OnlyARecordStartingPastTheLimitRollsOver) {
    ScratchFolder folder;
    const std::string path = folder.file("vectors.bin");
    // The second record starts at 44: one byte past a limit of 43, but not past 44.
    writeDocs(path, DOCVEC_FORMAT_BINARY, oneEntryDocs(3), 43);
    Bytes sub = header(-3009, 1, 0, 2);
    EXPECT_EQ(readFile(path + ".sub1"), oneEntryRecord(sub, 2).i32(-3009).str());

    writeDocs(path, DOCVEC_FORMAT_BINARY, oneEntryDocs(4), 44);
    sub = header(-3009, 1, 0, 3);
    EXPECT_EQ(readFile(path + ".sub1"), oneEntryRecord(sub, 3).i32(-3009).str());
    expectSameDocs(readDocs(path, DOCVEC_FORMAT_BINARY), oneEntryDocs(4));
}

TEST(DocVecSubFiles, TextWriterRollsOverWithTrailerLines) {
    ScratchFolder folder;
    const std::string path = folder.file("vectors.txt");
    writeDocs(path, DOCVEC_FORMAT_TEXT, oneEntryDocs(3), 60);
    EXPECT_EQ(readFile(path),
              "           3            1            0 ?        -3009\n"
              "0 100 0 1 0:1.000000\n"
              "1 101 0 1 1:1.000000\n"
              "-3009 ?\n");
    EXPECT_EQ(readFile(path + ".sub1"),
              "           1            0            2 ?        -3009\n"
              "2 102 0 1 2:1.000000\n"
              "-3009 ?\n");
    expectSameDocs(readDocs(path, DOCVEC_FORMAT_TEXT), oneEntryDocs(3));
}

TEST(DocVecSubFiles, LineFormatsNeverRollOver) {
    ScratchFolder folder;
    const std::string path = folder.file("vectors.lines");
    writeDocs(path, DOCVEC_FORMAT_LINES, oneEntryDocs(5), 1);
    writeDocs(folder.file("vectors.map"), DOCVEC_FORMAT_MAPPED, oneEntryDocs(5), 1);
    EXPECT_FALSE(std::filesystem::exists(path + ".sub1"));
    EXPECT_FALSE(std::filesystem::exists(folder.file("vectors.map.sub1")));
    expectSameDocs(readDocs(path, DOCVEC_FORMAT_LINES), oneEntryDocs(5));
}

TEST(DocVecSubFiles, ForEachDocStartsAgainAtTheMainFileAndVisitsTheWholeSet) {
    ScratchFolder folder;
    const std::string path = folder.file("vectors.bin");
    const auto docs = randomDocs(50, 4);
    writeDocs(path, DOCVEC_FORMAT_BINARY, docs, 300);
    DocVec in(path, DOCVEC_FORMAT_BINARY, false);
    ASSERT_GT(in.nSubFiles(), 3);

    DocVecRecord record;
    in.readDoc(record);  // somewhere in the middle; forEachDoc starts over
    for (int pass = 0; pass < 2; ++pass) {
        std::vector<Doc> seen;
        const int n = in.forEachDoc([&](int number, const DocVecRecord& r) {
            EXPECT_EQ(number, static_cast<int>(seen.size()));
            seen.push_back({r.id, r.label, r.entries});
            return true;
        });
        EXPECT_EQ(n, static_cast<int>(docs.size()));
        expectSameDocs(seen, docs);
    }
    EXPECT_EQ(in.readHeader(), static_cast<int>(docs.size()));
    in.readDoc(record);
    EXPECT_EQ(record.id, docs[0].id);
}

TEST(DocVecSubFiles, AMissingSubFileLeavesTheReaderWithoutFiles) {
    ScratchFolder folder;
    const std::string path = folder.file("vectors.bin");
    writeDocs(path, DOCVEC_FORMAT_BINARY, oneEntryDocs(5), 40);
    std::filesystem::remove(path + ".sub2");
    DocVec in(path, DOCVEC_FORMAT_BINARY, false);
    EXPECT_FALSE(in.isOpen());
    EXPECT_EQ(in.nDocs(), 0);
}

// --- Older layouts ---------------------------------------------------------------

TEST(DocVecOldMagic, WideIdsThenWeightsAreReadWithAWarning) {
    ScratchFolder folder;
    const std::string path = folder.file("old.bin");
    writeFile(path, header(-3008, 2, 0, 0)
                        .i32(0).i32(5).i32(1).i32(2).u64(1).u64(0x0102030405060708ull).f32(0.5f).f32(0.25f)
                        .i32(1).i32(6).i32(0).i32(0)
                        .str());
    CaptureStderr();
    const auto docs = readDocs(path, DOCVEC_FORMAT_BINARY);
    EXPECT_EQ(GetCapturedStderr(), "********* This file is in an old format(-3008), continuing... ************\n");
    expectSameDocs(docs, {{5, 1, {entry(1, 0.5f), entry(0x0102030405060708ull, 0.25f)}}, {6, 0, {}}});
}

TEST(DocVecOldMagic, NarrowIdsAreWidenedWithTheirSign) {
    ScratchFolder folder;
    const std::string path = folder.file("old.bin");
    writeFile(path, header(-3007, 1, 0, 0).i32(0).i32(5).i32(0).i32(2).i32(-2).i32(7).f32(1.5f).f32(-3.0f).str());
    CaptureStderr();
    const auto docs = readDocs(path, DOCVEC_FORMAT_BINARY);
    EXPECT_EQ(GetCapturedStderr(), "********* This file is in an old format(-3007), continuing... ************\n");
    expectSameDocs(docs, {{5, 0, {entry(0xFFFFFFFFFFFFFFFEull, 1.5f), entry(7, -3.0f)}}});
}

TEST(DocVecOldMagic, ShortHeaderHasNoSubFiles) {
    ScratchFolder folder;
    const std::string path = folder.file("old.bin");
    writeFile(path, Bytes().i32(2002).i32(2)
                        .i32(0).i32(9).i32(1).i32(1).i32(4).f32(2.0f)
                        .i32(1).i32(8).i32(0).i32(0)
                        .str());
    CaptureStderr();
    DocVec in(path, DOCVEC_FORMAT_BINARY, false);
    EXPECT_EQ(GetCapturedStderr(), "********* This file is in an old format (2002), continuing... ************\n");
    EXPECT_EQ(in.nDocs(), 2);
    EXPECT_EQ(in.nSubFiles(), 0);
    EXPECT_EQ(in.magic(), 2002);
    CaptureStderr();
    expectSameDocs(readDocs(path, DOCVEC_FORMAT_BINARY), {{9, 1, {entry(4, 2.0f)}}, {8, 0, {}}});
    GetCapturedStderr();
}

TEST(DocVecOldMagic, TextHeaderAcceptsTheOlderMagicButNoOther) {
    ScratchFolder folder;
    const std::string path = folder.file("old.txt");
    writeFile(path, "1 0 0 ? -3008\n0 4 1 1 3:0.5\n");
    expectSameDocs(readDocs(path, DOCVEC_FORMAT_TEXT), {{4, 1, {entry(3, 0.5f)}}});

    writeFile(path, "1 0 0 ? -3007\n0 4 1 1 3:0.5\n");
    CaptureStderr();
    EXPECT_THROW(DocVec(path, DOCVEC_FORMAT_TEXT, false), DocVecError);
    EXPECT_EQ(GetCapturedStderr(), "docVec:3: -3007\n");

    writeFile(path, "1 0 0 -3009\n");
    CaptureStderr();
    EXPECT_THROW(DocVec(path, DOCVEC_FORMAT_TEXT, false), DocVecError);
    EXPECT_EQ(GetCapturedStderr(), "docVec:4: 0\n");
}

// --- reopen ----------------------------------------------------------------------

int reopenWithLines(DocVec& file, std::string& lines) {
    CaptureStderr();
    const int code = file.reopen();
    lines = GetCapturedStderr();
    return code;
}

TEST(DocVecReopen, ReaderCodesAndLines) {
    ScratchFolder folder;
    const std::string path = folder.file("vectors.bin");
    const std::string text = folder.file("vectors.txt");
    std::string lines;
    writeDocs(path, DOCVEC_FORMAT_BINARY, oneEntryDocs(5), 40);
    writeDocs(text, DOCVEC_FORMAT_TEXT, oneEntryDocs(2));
    DocVec in(path, DOCVEC_FORMAT_BINARY, false);
    DocVec textIn(text, DOCVEC_FORMAT_TEXT, false);

    EXPECT_EQ(reopenWithLines(in, lines), 0);
    EXPECT_EQ(lines, "DocVec: File " + path + " exists and opens ok\n");
    expectSameDocs(readDocs(path, DOCVEC_FORMAT_BINARY), oneEntryDocs(5));

    std::filesystem::rename(path + ".sub2", path + ".moved");
    EXPECT_EQ(reopenWithLines(in, lines), 4);
    EXPECT_EQ(lines, "DocVec: File " + path + " exists and opens ok\nDocVec: Error opening sub-file " + path +
                         ".sub2 for reading\n");
    EXPECT_FALSE(in.isOpen());
    std::filesystem::rename(path + ".moved", path + ".sub2");
    EXPECT_EQ(reopenWithLines(in, lines), 0);
    EXPECT_TRUE(in.isOpen());

    writeDocs(path, DOCVEC_FORMAT_BINARY, {});
    EXPECT_EQ(reopenWithLines(in, lines), 3);
    EXPECT_EQ(lines, "DocVec: File " + path + " exists and opens ok\nFile " + path + " has 0 documents in header\n");

    writeFile(path, header(-3008, 1, 0, 0).str());
    EXPECT_EQ(reopenWithLines(in, lines), 2);
    EXPECT_EQ(lines, "DocVec: File " + path + " exists and opens ok\nDocVec: Binary file " + path +
                         " in incorrect format (-3008)\n");
    writeFile(path, "ab");
    EXPECT_EQ(reopenWithLines(in, lines), 2);
    EXPECT_EQ(lines, "DocVec: File " + path + " exists and opens ok\nDocVec: Error with magic number in binary file " +
                         path + " \n");

    writeFile(text, "1 0 0 ? 77\n");
    EXPECT_EQ(reopenWithLines(textIn, lines), 2);
    EXPECT_EQ(lines, "DocVec: File " + text + " exists and opens ok\nDocVec: Text file " + text +
                         " in incorrect format (77)\n");
    writeFile(text, "1 0\n");
    EXPECT_EQ(reopenWithLines(textIn, lines), 2);
    EXPECT_EQ(lines, "DocVec: File " + text + " exists and opens ok\nDocVec: Error with magic number in text file " +
                         text + " \n");

    std::filesystem::remove(path);
    EXPECT_EQ(reopenWithLines(in, lines), 1);
    EXPECT_EQ(lines, "DocVec: Error opening file " + path + " for binary reading\n");
    std::filesystem::remove(text);
    EXPECT_EQ(reopenWithLines(textIn, lines), 1);
    EXPECT_EQ(lines, "DocVec: Error opening file " + text + " for text reading\n");
}

TEST(DocVecReopen, LinesReaderCountsItsLines) {
    ScratchFolder folder;
    const std::string path = folder.file("vectors.lines");
    writeFile(path, "");
    DocVec in(path, DOCVEC_FORMAT_LINES, false);
    std::string lines;
    EXPECT_EQ(reopenWithLines(in, lines), 3);
    EXPECT_EQ(lines, "DocVec: File " + path + " exists and opens ok\nFile " + path + " has 0 documents in header\n");
    writeFile(path, "1 \n2 \n");
    EXPECT_EQ(reopenWithLines(in, lines), 0);
    EXPECT_EQ(in.nDocs(), 2);
}

TEST(DocVecReopen, WriterIsCheckedWithoutTruncatingOrMovingIt) {
    ScratchFolder folder;
    const std::string path = folder.file("vectors.bin");
    std::string lines;
    {
        DocVec out(path, DOCVEC_FORMAT_BINARY, true, 40);
        const auto docs = oneEntryDocs(5);
        for (int i = 0; i < 3; ++i)
            out.writeDoc(docs[i].id, docs[i].label, docs[i].entries);
        EXPECT_EQ(reopenWithLines(out, lines), 0);
        EXPECT_EQ(lines, "DocVec: File " + path + " exists and opens ok\n");
        for (int i = 3; i < 5; ++i)
            out.writeDoc(docs[i].id, docs[i].label, docs[i].entries);
    }
    expectSameDocs(readDocs(path, DOCVEC_FORMAT_BINARY), oneEntryDocs(5));

    DocVec text(path, DOCVEC_FORMAT_TEXT, true);
    EXPECT_EQ(reopenWithLines(text, lines), 0);
    writeFile(path, "not a header\n");
    EXPECT_EQ(reopenWithLines(text, lines), 2);
    EXPECT_EQ(lines, "DocVec: File " + path + " exists and opens ok\nDocVec: Error with magic number in text file " +
                         path + " \n");

    DocVec nowhere(folder.file("missing/vectors.bin"), DOCVEC_FORMAT_BINARY, true);
    EXPECT_EQ(reopenWithLines(nowhere, lines), 1);
    EXPECT_EQ(lines, "DocVec: Error opening file " + folder.file("missing/vectors.bin") + " for binary writing\n");
    DocVec nowhereText(folder.file("missing/vectors.txt"), DOCVEC_FORMAT_TEXT, true);
    EXPECT_EQ(reopenWithLines(nowhereText, lines), 1);
    EXPECT_EQ(lines, "DocVec: Error opening file " + folder.file("missing/vectors.txt") + " for text writing\n");
}

// --- Lifecycle and failures ------------------------------------------------------

TEST(DocVecLifecycle, ClosingTwiceIsHarmless) {
    ScratchFolder folder;
    const std::string path = folder.file("vectors.bin");
    DocVec out(path, DOCVEC_FORMAT_BINARY, true, 40);
    for (const Doc& doc : oneEntryDocs(3))
        out.writeDoc(doc.id, doc.label, doc.entries);
    out.close();
    const std::string written = readFile(path);
    out.close();
    EXPECT_EQ(readFile(path), written);
    EXPECT_FALSE(out.isOpen());

    DocVec in(path, DOCVEC_FORMAT_BINARY, false);
    in.close();
    in.close();
    EXPECT_FALSE(in.isOpen());
}

TEST(DocVecLifecycle, AFileThatCannotBeCreatedOrOpenedCountsNoDocuments) {
    ScratchFolder folder;
    DocVec out(folder.file("missing/vectors.bin"), DOCVEC_FORMAT_BINARY, true);
    EXPECT_FALSE(out.isOpen());
    EXPECT_EQ(out.nDocs(), 0);
    CaptureStderr();
    try {
        out.writeDoc(1, 0, kThreeDocs[0].entries);
        FAIL() << "a record was written to no file";
    } catch (const DocVecError& e) {
        EXPECT_EQ(e.check(), DocVecCheck::write);
    }
    EXPECT_EQ(GetCapturedStderr(), "docVec:13: 0\n");

    DocVec in(folder.file("absent.bin"), DOCVEC_FORMAT_BINARY, false);
    EXPECT_FALSE(in.isOpen());
    EXPECT_EQ(in.nDocs(), 0);
}

TEST(DocVecLifecycle, AFailedReadPrintsItsLineAndThrows) {
    ScratchFolder folder;
    const std::string path = folder.file("vectors.bin");
    Bytes bytes = header(-3009, 2, 0, 0);
    oneEntryRecord(bytes, 0);
    oneEntryRecord(bytes, 5);  // the second record must carry index 1
    writeFile(path, bytes.str());
    DocVec in(path, DOCVEC_FORMAT_BINARY, false);
    DocVecRecord record;
    in.readDoc(record);
    CaptureStderr();
    try {
        in.readDoc(record);
        FAIL() << "a record out of place was read";
    } catch (const DocVecError& e) {
        EXPECT_EQ(e.check(), DocVecCheck::recordIndex);
        EXPECT_EQ(e.value(), 5);
        EXPECT_EQ(std::string(e.what()), "DocVec: record out of place in " + path);
    }
    EXPECT_EQ(GetCapturedStderr(), "docVec:9: 5\n");

    // Until the header is read again the reader refuses to go on.
    CaptureStderr();
    EXPECT_THROW(in.readDoc(record), DocVecError);
    GetCapturedStderr();
    EXPECT_EQ(in.readHeader(), 2);
    EXPECT_EQ(in.readDoc(record), 16);
}

// Every later read of the descriptor that this process holds on `path` fails
// with EIO, as on a failing disk: /proc/self/mem, whose reads at offset 0 fail
// for root too, takes its place.
void failReadsOf(const std::string& path) {
    const int failing = open("/proc/self/mem", O_RDONLY | O_CLOEXEC);
    ASSERT_GE(failing, 0);
    for (const auto& link : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        if (std::filesystem::read_symlink(link.path(), error) == path)
            dup2(failing, std::stoi(link.path().filename().string()));
    }
    close(failing);
}

// A read that fails is reported with its cause, never as a file that ends
// too soon or holds no documents: at the first byte (/proc/self/mem itself)
// and within a record that reaches past the reader's buffer.
TEST(DocVecLifecycle, AFailedReadIsNotAShortFile) {
    ScratchFolder folder;
    const std::vector<Doc> wide = {{1, 0, std::vector<DocVecI>(10000, entry(3, 1.0f))}};  // over 64 KiB
    const struct {
        DocVecFormat format;
        bool withinRecord;
    } cases[] = {
        {DOCVEC_FORMAT_TEXT, false}, {DOCVEC_FORMAT_BINARY, false}, {DOCVEC_FORMAT_LINES, false},
        {DOCVEC_FORMAT_TEXT, true},  {DOCVEC_FORMAT_BINARY, true},  {DOCVEC_FORMAT_LINES, true},
    };
    for (const auto& c : cases) {
        const std::string what = "format " + std::to_string(c.format) + (c.withinRecord ? " within a record" : "");
        std::string path = "/proc/self/mem";
        if (c.withinRecord) {
            path = folder.file("wide" + std::to_string(c.format));
            writeDocs(path, c.format, wide);
        }
        CaptureStderr();
        try {
            DocVec in(path, c.format, false);
            if (c.withinRecord) {
                failReadsOf(path);
                DocVecRecord record;
                in.readDoc(record);
            }
            ADD_FAILURE() << what << ": read as " << in.nDocs() << " documents";
        } catch (const DocVecError& e) {
            EXPECT_EQ(e.check(), DocVecCheck::read) << what;
            EXPECT_EQ(e.value(), EIO) << what;
            EXPECT_EQ(std::string(e.what()), "DocVec: " + path + " cannot be read: " + std::strerror(EIO)) << what;
        }
        EXPECT_EQ(GetCapturedStderr(), "docVec:16: " + std::to_string(EIO) + "\n") << what;
    }
}

TEST(DocVecLifecycle, AVisitorThatStopsFailsForEachDoc) {
    ScratchFolder folder;
    const std::string path = folder.file("vectors.bin");
    writeDocs(path, DOCVEC_FORMAT_BINARY, kThreeDocs);
    DocVec in(path, DOCVEC_FORMAT_BINARY, false);
    int visited = 0;
    CaptureStderr();
    try {
        in.forEachDoc([&](int, const DocVecRecord&) { return ++visited < 2; });
        FAIL() << "forEachDoc went on after its visitor stopped";
    } catch (const DocVecError& e) {
        EXPECT_EQ(e.check(), DocVecCheck::stopped);
    }
    EXPECT_EQ(GetCapturedStderr(), "docVec:14: 0\n");
    EXPECT_EQ(visited, 2);
}

TEST(DocVecLifecycle, UnknownFormatIsRefused) {
    ScratchFolder folder;
    CaptureStderr();
    EXPECT_THROW(DocVec(folder.file("x"), static_cast<DocVecFormat>(4), true), DocVecError);
    EXPECT_EQ(GetCapturedStderr(), "docVec:1: 4\n");
    EXPECT_FALSE(std::filesystem::exists(folder.file("x")));
}

}  // namespace

}  // namespace ovix
