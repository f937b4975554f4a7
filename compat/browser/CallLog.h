#pragma once
// The calls a model object received, one line each, in order, for tests to
// read. Any thread may add and read.

#include <mutex>
#include <string>
#include <vector>

#include "compat/browser/BrowserExport.h"
#include "compat/com/Dispatch.h"

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

// A value as call lines show it: "empty", I4 and INT integers ("I4 0",
// "INT 1"), "true"/"false", a text in double quotes, "object" or "null
// object", and a by-reference boolean as "ref" and its current value.
COMPAT_BROWSER_EXPORT std::string describe(const DispatchValue& value);

}  // namespace compat
