#pragma once
// The main application's COM local server (class
// {0A04D47A-A276-4595-840F-D225613C1B2E}, interface IAppLocalServer
// {4F09E4C9-3AD7-4D69-AADE-9DAB57CB5B36}), which a launcher may drive instead
// of starting the application itself. Linux has no such server: the default
// factory says that it cannot be created. Tests pass factories of their own.

#include <cstdint>
#include <functional>
#include <memory>

namespace compat {

using HRESULT = std::int32_t;
inline constexpr HRESULT S_OK = 0;

}  // namespace compat

// The server object; releasing it is destroying it.
class IAppLocalServer {
public:
    virtual ~IAppLocalServer() = default;
    // Asks the application to stop.
    virtual compat::HRESULT Quit() = 0;
    // The application's main thread, the one that takes the launcher's thread
    // messages.
    virtual compat::HRESULT GetMainThreadId(std::uint32_t* threadId) = 0;
};

namespace compat {

// Creates the server object; null when it cannot be created.
using AppLocalServerFactory = std::function<std::unique_ptr<IAppLocalServer>()>;

// The factory of this platform: always null, there is no server to create.
std::unique_ptr<IAppLocalServer> createAppLocalServer();

}  // namespace compat
