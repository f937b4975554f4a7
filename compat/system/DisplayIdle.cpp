#include "compat/system/DisplayIdle.h"

#include <dlfcn.h>
#include <xcb/screensaver.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace compat {

namespace {

// The calls of libxcb and libxcb-screensaver that the query makes.
struct Xcb {
    decltype(&xcb_connect) connect;
    decltype(&xcb_connection_has_error) hasError;
    decltype(&xcb_disconnect) disconnect;
    decltype(&xcb_get_setup) getSetup;
    decltype(&xcb_setup_roots_iterator) rootsIterator;
    decltype(&xcb_screen_next) nextScreen;
    decltype(&xcb_screensaver_query_info) queryInfo;
    decltype(&xcb_screensaver_query_info_reply) queryInfoReply;
};

// Looks `name` up in `library` into `function`; false when it is missing.
template <class Function>
bool bind(void* library, const char* name, Function& function) {
    function = reinterpret_cast<Function>(dlsym(library, name));
    return function != nullptr;
}

// The libraries stay loaded for the life of the process once found.
std::optional<Xcb> loadXcb() {
    void* core = dlopen("libxcb.so.1", RTLD_NOW | RTLD_LOCAL);
    void* saver = core ? dlopen("libxcb-screensaver.so.0", RTLD_NOW | RTLD_LOCAL) : nullptr;
    Xcb xcb{};
    if (saver && bind(core, "xcb_connect", xcb.connect) && bind(core, "xcb_connection_has_error", xcb.hasError) &&
        bind(core, "xcb_disconnect", xcb.disconnect) && bind(core, "xcb_get_setup", xcb.getSetup) &&
        bind(core, "xcb_setup_roots_iterator", xcb.rootsIterator) && bind(core, "xcb_screen_next", xcb.nextScreen) &&
        bind(saver, "xcb_screensaver_query_info", xcb.queryInfo) &&
        bind(saver, "xcb_screensaver_query_info_reply", xcb.queryInfoReply))
        return xcb;
    if (saver)
        dlclose(saver);
    if (core)
        dlclose(core);
    return std::nullopt;
}

const Xcb* xcbLibrary() {
    static const std::optional<Xcb> xcb = loadXcb();
    return xcb ? &*xcb : nullptr;
}

}  // namespace

std::optional<std::chrono::milliseconds> displayIdleTime() {
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display)
        return std::nullopt;
    const Xcb* xcb = xcbLibrary();
    if (!xcb)
        return std::nullopt;
    int screenNumber = 0;
    // A connection that failed is an object too, and is disconnected the same.
    const std::unique_ptr<xcb_connection_t, decltype(xcb->disconnect)> connection(xcb->connect(display, &screenNumber),
                                                                                   xcb->disconnect);
    if (xcb->hasError(connection.get()))
        return std::nullopt;
    auto screens = xcb->rootsIterator(xcb->getSetup(connection.get()));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i)
        xcb->nextScreen(&screens);
    if (screens.rem <= 0)
        return std::nullopt;
    xcb_generic_error_t* error = nullptr;
    const std::unique_ptr<xcb_screensaver_query_info_reply_t, decltype(&std::free)> reply(
        xcb->queryInfoReply(connection.get(), xcb->queryInfo(connection.get(), screens.data->root), &error),
        &std::free);
    std::free(error);
    if (!reply)
        return std::nullopt;
    return std::chrono::milliseconds(reply->ms_since_user_input);
}

}  // namespace compat
