#pragma once
// The popup command that pages give in "morvane:" addresses:
// ":new(" title "," address "," width "," height ")", anywhere in the address.
// The title and the address are taken as they stand (no decoding, no
// trimming), so a comma ends either. Width and height are read as atoi reads
// them (leading blanks, so the blank that pages put after the second comma,
// are skipped), held to the range of int. A command that lacks one of its
// four separators is no command. Any thread may call.

#include <optional>
#include <string>
#include <string_view>

namespace ovix {

struct NewWindowCommand {
    std::string title;
    std::string url;
    int width = 0;
    int height = 0;

    // The first popup command in `url`, or nothing.
    static std::optional<NewWindowCommand> parse(std::string_view url);
    friend bool operator==(const NewWindowCommand&, const NewWindowCommand&) = default;
};

// Opens the popup that the command in `url` describes (WebBrowser::Open).
// False when `url` holds no command or the popup's thread cannot start.
bool ParseNewWindowCommand(std::string_view url);

}  // namespace ovix
