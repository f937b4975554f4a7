#include "addon/browser/popup/NewWindowCommand.h"

#include "addon/browser/popup/WebBrowser.h"
#include "addon/core/PageCommands.h"
#include "base/LeadingInt.h"

namespace ovix {

std::optional<NewWindowCommand> NewWindowCommand::parse(std::string_view url) {
    const auto fields = CommandArguments(url, ":new(", 4);
    if (!fields)
        return std::nullopt;
    const auto& field = *fields;
    return NewWindowCommand{std::string(field[0]), std::string(field[1]), leadingInt(field[2]), leadingInt(field[3])};
}

bool ParseNewWindowCommand(std::string_view url) {
    auto command = NewWindowCommand::parse(url);
    return command &&
           WebBrowser::Open(std::move(command->title), std::move(command->url), command->width, command->height);
}

}  // namespace ovix
