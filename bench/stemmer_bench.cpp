// Stems per second of PorterStemmer against libstemmer's "porter" algorithm,
// over the words of a word list (ASCII letters only, lower-cased), in rounds
// that alternate the two.
//
//   build/bench/stemmer_bench [word list] [rounds]

#include <libstemmer.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "features/PorterStemmer.h"

using namespace ovix;

namespace {

std::vector<std::string> readWords(const char* path) {
    std::ifstream in(path);
    std::vector<std::string> words;
    for (std::string word; in >> word;) {
        if (!std::all_of(word.begin(), word.end(), [](char c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; }))
            continue;
        for (char& c : word)
            c = static_cast<char>(c | 0x20);
        words.push_back(word);
    }
    return words;
}

// Seconds for one pass; `checksum` collects the stem lengths so that no pass
// can be optimised away.
template <class Stem>
double timePass(const std::vector<std::string>& words, Stem stem, std::size_t& checksum) {
    const auto start = std::chrono::steady_clock::now();
    for (const std::string& word : words)
        checksum += stem(word);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const char* path = argc > 1 ? argv[1] : "/usr/share/dict/american-english";
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 21;
    const std::vector<std::string> words = readWords(path);
    if (words.empty() || rounds < 1) {
        std::fprintf(stderr, "usage: %s [word list] [rounds]\n", argv[0]);
        return 2;
    }

    const PorterStemmer ours;
    std::string buffer;  // stemmed in place: a copy per word, in reused storage
    auto stemOurs = [&](const std::string& word) {
        buffer = word;
        ours.stem(buffer.data());
        return std::strlen(buffer.c_str());
    };
    sb_stemmer* peer = sb_stemmer_new("porter", "UTF_8");
    if (!peer) {
        std::fprintf(stderr, "libstemmer has no porter algorithm\n");
        return 1;
    }
    auto stemPeer = [&](const std::string& word) {
        sb_stemmer_stem(peer, reinterpret_cast<const sb_symbol*>(word.data()), static_cast<int>(word.size()));
        return static_cast<std::size_t>(sb_stemmer_length(peer));
    };

    std::size_t checksum = 0;
    timePass(words, stemOurs, checksum);  // warm-up
    timePass(words, stemPeer, checksum);
    std::vector<double> oursSeconds, peerSeconds;
    for (int round = 0; round < rounds; ++round) {
        oursSeconds.push_back(timePass(words, stemOurs, checksum));
        peerSeconds.push_back(timePass(words, stemPeer, checksum));
    }
    sb_stemmer_delete(peer);

    const double oursRate = static_cast<double>(words.size()) / median(oursSeconds);
    const double peerRate = static_cast<double>(words.size()) / median(peerSeconds);
    std::printf("%zu words, %d rounds, median of each (checksum %zu)\n", words.size(), rounds, checksum);
    std::printf("%-28s %12.0f stems/s\n", "PorterStemmer", oursRate);
    std::printf("%-28s %12.0f stems/s\n", "libstemmer porter", peerRate);
    std::printf("ratio PorterStemmer / libstemmer: %.2f\n", oursRate / peerRate);
    return 0;
}
