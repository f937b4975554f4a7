#pragma once
// Where the classifier writes its progress: lines chosen by verbosity, most
// of them behind the prefix "%6.2f|%5lld: " that gives the seconds since the
// log was started and the process's working set in bytes.
//
// Verbosity levels: 1 progress, 2 detail (eigenvalue lists, per-iteration
// figures), 3 vector dumps, 4 whole matrices, 5 a few more dumps.

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "base/FormatText.h"
#include "sgt/LaMatrix.h"

namespace ovix {

class ClassifierLog {
public:
    using Clock = std::chrono::steady_clock;

    // Verbosity 1, to the standard error stream, untimed.
    ClassifierLog() = default;
    // `stream` null means the standard error stream. Without `start` every
    // prefix shows 0.00 seconds.
    ClassifierLog(int verbosity, std::FILE* stream, std::optional<Clock::time_point> start)
        : m_verbosity(verbosity), m_stream(stream ? stream : stderr), m_start(start) {}

    int verbosity() const { return m_verbosity; }
    std::FILE* stream() const { return m_stream; }
    bool at(int level) const { return m_verbosity >= level; }

    // Seconds since the start, to the millisecond; 0 when untimed.
    float elapsed() const;
    // The prefix of a line: the elapsed seconds and the working set, 0 when
    // it cannot be read.
    std::string prefix() const;

    // At `level` and above: the prefix and the formatted text.
    template <class... Args>
    void line(int level, std::string_view format, const Args&... args) const {
        if (at(level))
            write(prefix() + formatText(format, args...));
    }
    // At `level` and above: the formatted text alone.
    template <class... Args>
    void text(int level, std::string_view format, const Args&... args) const {
        if (at(level))
            write(formatText(format, args...));
    }
    // At `level` and above: the prefix and the title, unless it is empty,
    // then the matrix as LaMatrix::print draws it.
    template <class T>
    void dump(int level, std::string_view title, const LaMatrix<T>& matrix) const {
        if (!at(level))
            return;
        if (!title.empty())
            write(prefix() + std::string(title));
        matrix.print(m_stream);
    }

    void write(std::string_view text) const;

private:
    int m_verbosity = 1;
    std::FILE* m_stream = stderr;
    std::optional<Clock::time_point> m_start;
};

}  // namespace ovix
