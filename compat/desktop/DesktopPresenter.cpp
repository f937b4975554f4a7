#include "compat/desktop/DesktopPresenter.h"

#include <mutex>

namespace compat {

namespace {

std::mutex g_lock;
DesktopPresenter* g_presenter = nullptr;

}  // namespace

void attachDesktopPresenter(DesktopPresenter* presenter) {
    std::lock_guard lock(g_lock);
    g_presenter = presenter;
}

void presentOnDesktop(const std::function<void(DesktopPresenter&)>& show) {
    std::lock_guard lock(g_lock);
    if (g_presenter)
        show(*g_presenter);
}

}  // namespace compat
