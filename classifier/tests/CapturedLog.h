#pragma once
// A classifier log kept in memory, for tests that compare log lines.

#include <cstdio>
#include <cstdlib>
#include <regex>
#include <string>

#include "classifier/ClassifierLog.h"

namespace ovix::testing {

class CapturedLog {
public:
    CapturedLog() : m_file(open_memstream(&m_text, &m_size)) {}
    ~CapturedLog() {
        std::fclose(m_file);
        std::free(m_text);
    }
    CapturedLog(const CapturedLog&) = delete;
    CapturedLog& operator=(const CapturedLog&) = delete;

    // An untimed log at `verbosity` into this one.
    ovix::ClassifierLog log(int verbosity) const { return {verbosity, m_file, std::nullopt}; }
    // What was logged so far, every working-set figure replaced by "MEM" and
    // "-0.000000" by "0.000000" (the sign of a zero eigenvalue is rounding
    // noise).
    std::string text() const {
        std::fflush(m_file);
        static const std::regex memory(R"(\|\s*\d+: )");
        static const std::regex negativeZero(R"(-(0\.0+ ))");
        return std::regex_replace(std::regex_replace(std::string(m_text, m_size), memory, "|MEM: "), negativeZero,
                                  "$1");
    }

private:
    char* m_text = nullptr;
    std::size_t m_size = 0;
    std::FILE* m_file;
};

}  // namespace ovix::testing
