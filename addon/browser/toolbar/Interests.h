#pragma once
// The interests under which the toolbar files pages, as the main application
// lists them: a GET of "InterestsListUrl" answers, percent-encoded, a text
// {id:"name",...} in which each name is the Base64 of the interest's UTF-8
// name. Used on one thread at a time.

#include <string>
#include <string_view>
#include <vector>

namespace ovix {

struct InterestEntry {
    int id = 0;
    std::string name;  // Base64, as the server sent it
};

class Interests {
public:
    // The entries of a decoded list: the text must be longer than 2
    // characters, begin with "{" and end with "}", else there are none. The
    // text between the braces is cut at every ","; in each piece the first
    // ":" ends the id (decimal: blanks, a sign and digits, 0 without digits,
    // held to the range of int), and the name runs from the second character
    // after it to the piece's last character, which is left out (empty when
    // the piece is shorter). A piece without ":" gives no entry.
    static std::vector<InterestEntry> Parse(std::string_view text);

    // Replaces the entries with the list at `listUrl` (its host, port and
    // path as SplitUrl finds them, over http): a GET with the user agent "Web
    // Service Client" whose body, of at most 1 MiB, is taken only when the
    // status is 200; no entries otherwise.
    void Fetch(const std::string& listUrl);

    const std::vector<InterestEntry>& entries() const { return m_entries; }
    // The id of the first entry whose decoded name is `name`; 0 when none.
    int IdOf(std::string_view name) const;

private:
    std::vector<InterestEntry> m_entries;
};

}  // namespace ovix
