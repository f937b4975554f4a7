#include "addon/popup/NewWindowCommand.h"

#include "addon/popup/WebBrowser.h"
#include "base/LeadingInt.h"

namespace ovix {

std::optional<NewWindowCommand> NewWindowCommand::parse(std::string_view url) {
    constexpr std::string_view kOpening = ":new(";
    const std::size_t opening = url.find(kOpening);
    if (opening == std::string_view::npos)
        return std::nullopt;
    // The four fields, each ended by its separator.
    std::string_view fields[4];
    std::size_t from = opening + kOpening.size();
    constexpr char kSeparators[4] = {',', ',', ',', ')'};
    for (int i = 0; i < 4; ++i) {
        const std::size_t end = url.find(kSeparators[i], from);
        if (end == std::string_view::npos)
            return std::nullopt;
        fields[i] = url.substr(from, end - from);
        from = end + 1;
    }
    return NewWindowCommand{std::string(fields[0]), std::string(fields[1]), leadingInt(fields[2]),
                            leadingInt(fields[3])};
}

bool ParseNewWindowCommand(std::string_view url) {
    auto command = NewWindowCommand::parse(url);
    return command && WebBrowser::Open(std::move(command->title), std::move(command->url), command->width,
                                       command->height);
}

}  // namespace ovix
