#include "compat/desktop/Dialog.h"

#include <cinttypes>
#include <cstdio>
#include <map>
#include <mutex>

#include "compat/desktop/DesktopJournal.h"
#include "compat/desktop/DesktopPresenter.h"

namespace compat {

namespace {

struct DialogRecord {
    unsigned templateId = 0;
    WindowStyles styles;
    bool visible = false;
    std::vector<std::string> texts;  // of its text items
};

std::mutex g_lock;
std::map<WindowHandle, DialogRecord> g_dialogs;

std::string hex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%" PRIx32, value);
    return text;
}

std::vector<std::string> texts(const DialogTemplate& dialogTemplate) {
    std::vector<std::string> found;
    for (const auto& item : dialogTemplate.items) {
        if (item.kind == DialogItem::Kind::Text)
            found.push_back(item.text);
    }
    return found;
}

std::string joined(const std::vector<std::string>& texts) {
    std::string line;
    for (const auto& text : texts)
        line += (line.empty() ? "" : "|") + text;
    return line;
}

void recordShown(WindowHandle dialog, const DialogRecord& record) {
    recordDesktopEvent("dialog-show id=" + std::to_string(record.templateId) + " style=" + hex(record.styles.style) +
                       " exstyle=" + hex(record.styles.exStyle) + " window=" + std::to_string(dialog));
    presentOnDesktop([&](DesktopPresenter& desktop) { desktop.showDialog(record.texts); });
}

}  // namespace

WindowHandle CreateDialog(const DialogTemplate& dialogTemplate, WindowHandle, WindowProcedure procedure) {
    const WindowHandle dialog = CreateMessageWindow(procedure);
    if (dialog == 0)
        return 0;
    const DialogRecord record{dialogTemplate.id, {dialogTemplate.style, dialogTemplate.exStyle},
                              (dialogTemplate.style & WS_VISIBLE) != 0, texts(dialogTemplate)};
    {
        std::lock_guard lock(g_lock);
        g_dialogs[dialog] = record;
    }
    recordDesktopEvent("dialog-create id=" + std::to_string(dialogTemplate.id) +
                       " texts=" + journalQuote(joined(record.texts)) + " window=" + std::to_string(dialog));
    if (procedure)
        procedure(dialog, WM_INITDIALOG, 0, 0);
    if (record.visible)
        recordShown(dialog, record);
    return dialog;
}

std::optional<WindowStyles> dialogStyles(WindowHandle dialog) {
    std::lock_guard lock(g_lock);
    auto found = g_dialogs.find(dialog);
    if (found == g_dialogs.end())
        return std::nullopt;
    return found->second.styles;
}

bool setDialogStyles(WindowHandle dialog, WindowStyles styles) {
    std::lock_guard lock(g_lock);
    auto found = g_dialogs.find(dialog);
    if (found == g_dialogs.end())
        return false;
    found->second.styles = styles;
    return true;
}

bool ShowDialog(WindowHandle dialog, int command) {
    DialogRecord record;
    {
        std::lock_guard lock(g_lock);
        auto found = g_dialogs.find(dialog);
        if (found == g_dialogs.end())
            return false;
        found->second.visible = command != SW_HIDE;
        record = found->second;
    }
    if (record.visible)
        recordShown(dialog, record);
    return true;
}

bool EndDialog(WindowHandle dialog, std::intptr_t result) {
    if (windowThread(dialog) != currentThreadId())
        return false;
    unsigned templateId;
    {
        std::lock_guard lock(g_lock);
        auto found = g_dialogs.find(dialog);
        if (found == g_dialogs.end())
            return false;
        templateId = found->second.templateId;
        g_dialogs.erase(found);
    }
    recordDesktopEvent("dialog-end id=" + std::to_string(templateId) + " result=" + std::to_string(result) +
                       " window=" + std::to_string(dialog));
    DestroyWindow(dialog);
    return true;
}

std::vector<WindowHandle> openDialogs(unsigned templateId) {
    std::vector<WindowHandle> open;
    std::lock_guard lock(g_lock);
    for (auto found = g_dialogs.begin(); found != g_dialogs.end();) {
        // A dialog whose thread ended went with it.
        if (!IsWindow(found->first)) {
            found = g_dialogs.erase(found);
            continue;
        }
        if (found->second.templateId == templateId)
            open.push_back(found->first);
        ++found;
    }
    return open;
}

}  // namespace compat
