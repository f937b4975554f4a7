#pragma once
// Where the browser history reader hands its visits: a slice at a time, so
// that the reader never holds more than one slice while the receiver builds
// its own copy of them all.
//
// Thread safety: a sink is used by one reading thread.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ovix {

// Visits in order, their URLs packed one after another in one buffer.
class BrowserVisitSlice {
public:
    // A slice this long, or holding this many bytes of URLs, is handed on.
    static constexpr std::size_t kRows = 4096;
    static constexpr std::size_t kUrlBytes = 4 << 20;

    // `url` as the browser stored it (UTF-8, not checked); `seconds` since
    // 1970-01-01 UTC of the last visit.
    void add(std::string_view url, std::int64_t seconds) {
        m_visits.push_back({m_urls.size(), url.size(), seconds});
        m_urls.append(url);
    }
    bool full() const { return m_visits.size() >= kRows || m_urls.size() >= kUrlBytes; }
    std::size_t size() const { return m_visits.size(); }
    bool empty() const { return m_visits.empty(); }
    std::string_view url(std::size_t i) const {
        return std::string_view(m_urls).substr(m_visits[i].offset, m_visits[i].length);
    }
    std::int64_t seconds(std::size_t i) const { return m_visits[i].seconds; }
    // Keeps the buffers for the next slice.
    void clear() {
        m_visits.clear();
        m_urls.clear();
    }

private:
    struct Visit {
        std::size_t offset;
        std::size_t length;
        std::int64_t seconds;
    };
    std::vector<Visit> m_visits;
    std::string m_urls;
};

class BrowserVisitSink {
public:
    virtual ~BrowserVisitSink() = default;
    // Takes the next visits.
    virtual void add(const BrowserVisitSlice& visits) = 0;
    // How many visits it has taken and kept.
    virtual std::size_t size() const = 0;
    // Drops every visit after the first `count`: those of a store that turned
    // out not to be read whole.
    virtual void truncate(std::size_t count) = 0;
};

}  // namespace ovix
