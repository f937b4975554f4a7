#pragma once
// The configuration record of the browser add-on and the favorites control,
// read from "vantile.config" in the folder of the module that reads it: lines
// of "key=value", the key everything before the first "=", the value
// everything after it, both exactly as they stand. Keys are compared exactly;
// unknown keys and lines without "=" are ignored; a later line wins.

#include <filesystem>
#include <string>
#include <string_view>

namespace ovix {

class CAddonConfig {
public:
    // Reads "vantile.config" from the folder of the module (program or
    // shared library) that holds this code. 1 when the file was read, 0 when
    // it could not be (missing, not a regular file, or over readFileText's
    // bound); the record is then left as it was.
    int Load();
    // The same with the file in `folder`.
    int Load(const std::filesystem::path& folder);

    // Takes every line of a configuration text. Lines end at a line feed; a
    // carriage return just before it belongs to the line end. The text after
    // the last line feed is the last line.
    void ParseText(std::string_view text);
    // Stores the value of one "key=value" line whose key is known.
    void ParseLine(std::string_view line);

    std::string GetHomepageUrl() const { return HomepageUrl; }
    std::string GetSidebarUrl() const { return SidebarUrl; }
    std::string GetTagItUrl() const { return TagItUrl; }
    std::string GetInterestsListUrl() const { return InterestsListUrl; }

    // The keys, in the record's order; all empty until read.
    std::string HomepageUrl;
    std::string SidebarUrl;
    std::string InterestUrl;
    std::string TagItUrl;
    std::string FavoritesUrl;
    std::string InterestsListUrl;
    std::string DropItUrl;
    std::string NewInterestUrl;
    // "SidebarCheckOn": true only for the value "on" exactly.
    bool SidebarCheckOn = false;
};

}  // namespace ovix
