#pragma once
// The calls a model object received, one line each, in order. Any thread
// may add and read.

#include <mutex>
#include <string>
#include <vector>

namespace compat {

class CallLog {
public:
    void add(std::string line) {
        std::lock_guard lock(m_mutex);
        m_lines.push_back(std::move(line));
    }
    std::vector<std::string> lines() const {
        std::lock_guard lock(m_mutex);
        return m_lines;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_lines;
};

}  // namespace compat
