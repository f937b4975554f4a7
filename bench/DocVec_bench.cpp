// Writes and reads one set of documents with DocVec and, side by side in the
// same run, with a plain stdio peer that produces the same bytes: fwrite and
// fread for the binary format (the floor of any reader), fprintf and fscanf
// for the text format. Run on demand: build/bench/docvec_bench [documents].

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "features/DocVec.h"

using namespace ovix;

namespace {

constexpr int kEntries = 50;

struct Doc {
    int id;
    int label;
    std::vector<DocVecI> entries;
};

std::vector<Doc> makeDocs(int count) {
    std::mt19937_64 random(7);
    std::vector<Doc> docs(static_cast<size_t>(count));
    for (int d = 0; d < count; ++d) {
        docs[d] = {d, d % 2, std::vector<DocVecI>(kEntries)};
        for (DocVecI& e : docs[d].entries) {
            const std::uint64_t id = random();
            std::memcpy(e.fid.m_fid, &id, sizeof id);
            e.weight = static_cast<float>(random() % 1000000) / 1e6f;
        }
    }
    return docs;
}

bool sameBytes(const std::string& a, const std::string& b) {
    std::ifstream x(a, std::ios::binary), y(b, std::ios::binary);
    return std::equal(std::istreambuf_iterator<char>(x), std::istreambuf_iterator<char>(),
                      std::istreambuf_iterator<char>(y), std::istreambuf_iterator<char>());
}

template <class Work>
double seconds(Work work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void report(const char* what, double ours, double peer) {
    std::printf("%-28s DocVec %8.3f s   stdio %8.3f s   stdio/DocVec %5.2f\n", what, ours, peer, peer / ours);
}

void docVecWrite(const std::string& path, DocVecFormat format, const std::vector<Doc>& docs) {
    DocVec out(path, format, true);
    for (const Doc& doc : docs)
        out.writeDoc(doc.id, doc.label, doc.entries);
}

double docVecRead(const std::string& path, DocVecFormat format) {
    double sum = 0;
    DocVec in(path, format, false);
    in.forEachDoc([&](int, const DocVecRecord& r) {
        for (const DocVecI& e : r.entries)
            sum += e.weight;
        return true;
    });
    return sum;
}

void stdioWriteBinary(const std::string& path, const std::vector<Doc>& docs) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    const std::int32_t header[4] = {DOCVEC_MAGIC, static_cast<std::int32_t>(docs.size()), 0, 0};
    std::fwrite(header, sizeof header, 1, f);
    for (size_t d = 0; d < docs.size(); ++d) {
        const std::int32_t fields[4] = {static_cast<std::int32_t>(d), docs[d].id, docs[d].label, kEntries};
        std::fwrite(fields, sizeof fields, 1, f);
        std::fwrite(docs[d].entries.data(), sizeof(DocVecI), docs[d].entries.size(), f);
    }
    std::fclose(f);
}

double stdioReadBinary(const std::string& path) {
    double sum = 0;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    std::int32_t header[4], fields[4];
    std::fread(header, sizeof header, 1, f);
    std::vector<DocVecI> entries;
    for (int d = 0; d < header[1]; ++d) {
        std::fread(fields, sizeof fields, 1, f);
        entries.resize(static_cast<size_t>(fields[3]));
        std::fread(entries.data(), sizeof(DocVecI), entries.size(), f);
        for (const DocVecI& e : entries)
            sum += e.weight;
    }
    std::fclose(f);
    return sum;
}

void stdioWriteText(const std::string& path, const std::vector<Doc>& docs) {
    std::FILE* f = std::fopen(path.c_str(), "w");
    std::fprintf(f, "%12d %12d %12d ? %12d\n", static_cast<int>(docs.size()), 0, 0, DOCVEC_MAGIC);
    for (size_t d = 0; d < docs.size(); ++d) {
        std::fprintf(f, "%d %d %d %d", static_cast<int>(d), docs[d].id, docs[d].label, kEntries);
        for (const DocVecI& e : docs[d].entries)
            std::fprintf(f, " %" PRIu64 ":%f", e.fid.asNumber(), static_cast<double>(e.weight));
        std::fprintf(f, "\n");
    }
    std::fclose(f);
}

double stdioReadText(const std::string& path) {
    double sum = 0;
    std::FILE* f = std::fopen(path.c_str(), "r");
    int nDocs, nSubFiles, firstIndex, magic, index, id, label, n;
    char mark[8], separator[2];
    if (std::fscanf(f, "%d%d%d%7s%d", &nDocs, &nSubFiles, &firstIndex, mark, &magic) != 5)
        std::abort();
    for (int d = 0; d < nDocs; ++d) {
        if (std::fscanf(f, "%d %d %d %d", &index, &id, &label, &n) != 4)
            std::abort();
        for (int i = 0; i < n; ++i) {
            unsigned long long fid;
            float weight;
            if (std::fscanf(f, "%llu%1s%f", &fid, separator, &weight) != 3)
                std::abort();
            sum += weight;
        }
    }
    std::fclose(f);
    return sum;
}

}  // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 20000;
    const auto docs = makeDocs(count);
    const auto folder = std::filesystem::temp_directory_path() / "docvec-bench";
    std::filesystem::create_directories(folder);
    const std::string ours = (folder / "ours").string(), peer = (folder / "peer").string();
    std::printf("%d documents of %d entries\n", count, kEntries);

    double a = seconds([&] { docVecWrite(ours, DOCVEC_FORMAT_BINARY, docs); });
    double b = seconds([&] { stdioWriteBinary(peer, docs); });
    report("binary write", a, b);
    if (!sameBytes(ours, peer))
        std::printf("binary files differ\n");
    double sumOurs = 0, sumPeer = 0;
    a = seconds([&] { sumOurs = docVecRead(ours, DOCVEC_FORMAT_BINARY); });
    b = seconds([&] { sumPeer = stdioReadBinary(peer); });
    report("binary read", a, b);
    if (sumOurs != sumPeer)
        std::printf("binary sums differ: %f %f\n", sumOurs, sumPeer);

    a = seconds([&] { docVecWrite(ours, DOCVEC_FORMAT_TEXT, docs); });
    b = seconds([&] { stdioWriteText(peer, docs); });
    report("text write", a, b);
    if (!sameBytes(ours, peer))
        std::printf("text files differ\n");
    a = seconds([&] { sumOurs = docVecRead(ours, DOCVEC_FORMAT_TEXT); });
    b = seconds([&] { sumPeer = stdioReadText(peer); });
    report("text read", a, b);
    if (sumOurs != sumPeer)
        std::printf("text sums differ: %f %f\n", sumOurs, sumPeer);

    std::filesystem::remove_all(folder);
    return 0;
}
