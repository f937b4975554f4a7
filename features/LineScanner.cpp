#include "features/LineScanner.h"

#include <charconv>

namespace ovix {
namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

void LineScanner::skipBlanks() {
    while (m_at != m_end && isBlank(*m_at))
        ++m_at;
}

bool LineScanner::atEnd() {
    skipBlanks();
    return m_at == m_end;
}

template <class Integer>
bool LineScanner::scanInteger(Integer& value) {
    skipBlanks();
    const char* from = m_at != m_end && *m_at == '+' ? m_at + 1 : m_at;
    const auto [next, error] = std::from_chars(from, m_end, value);
    if (error != std::errc())
        return false;
    m_at = next;
    return true;
}

bool LineScanner::scanInt(int& value) {
    return scanInteger(value);
}

bool LineScanner::scanUnsigned(std::uint64_t& value) {
    return scanInteger(value);
}

bool LineScanner::scanFloat(float& value) {
    skipBlanks();
    const char* from = m_at != m_end && *m_at == '+' ? m_at + 1 : m_at;
    auto result = std::from_chars(from, m_end, value);
    if (result.ec == std::errc::result_out_of_range) {
        // As scanf does: too large gives infinity, too small zero.
        double wide = 0;
        result = std::from_chars(from, m_end, wide);
        value = static_cast<float>(wide);
    }
    if (result.ec != std::errc())
        return false;
    m_at = result.ptr;
    return true;
}

bool LineScanner::scanChar(char& value) {
    skipBlanks();
    if (m_at == m_end)
        return false;
    value = *m_at++;
    return true;
}

bool LineScanner::scanWord(std::string_view& value) {
    skipBlanks();
    const char* from = m_at;
    while (m_at != m_end && !isBlank(*m_at))
        ++m_at;
    value = std::string_view(from, static_cast<size_t>(m_at - from));
    return !value.empty();
}

}  // namespace ovix
