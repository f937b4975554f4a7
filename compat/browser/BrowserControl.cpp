#include "compat/browser/BrowserControl.h"

#include <atomic>

namespace compat {

namespace {

std::atomic<BrowserControlFactory> g_factory{nullptr};

}  // namespace

void setBrowserControlFactory(BrowserControlFactory factory) {
    g_factory = factory;
}

BrowserControlFactory browserControlFactory() {
    return g_factory;
}

}  // namespace compat
