#include "launcher/AppLocalServer.h"

namespace compat {

std::unique_ptr<IAppLocalServer> createAppLocalServer() {
    return nullptr;
}

}  // namespace compat
