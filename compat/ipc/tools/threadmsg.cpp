// Posts and receives thread messages by hand.
//
//   threadmsg post THREAD WPARAM [LPARAM] [--message NUMBER]
//       posts one message (WM_USER unless --message) to THREAD; exit 0 when
//       it was queued, 1 when the post failed.
//   threadmsg listen [--count N] [--seconds S] [--timer MS]
//       prints "listening THREAD", then one line per message that arrives,
//       until N messages arrived or S seconds passed; with --timer, a thread
//       timer of MS milliseconds also ticks ("timer" lines).
//
// Numbers may be decimal or 0x hexadecimal.

#include <cerrno>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "compat/ipc/MessageQueue.h"
#include "compat/system/SystemError.h"

namespace {

int usage() {
    std::fputs(
        "usage: threadmsg post THREAD WPARAM [LPARAM] [--message NUMBER]\n"
        "       threadmsg listen [--count N] [--seconds S] [--timer MS]\n",
        stderr);
    return 2;
}

std::optional<long long> number(const char* text) {
    if (!text || !*text)
        return std::nullopt;
    errno = 0;
    char* end;
    const long long value = std::strtoll(text, &end, 0);
    if (errno != 0 || *end != '\0')
        return std::nullopt;
    return value;
}

int post(int argc, char** argv) {
    std::optional<long long> values[3];
    long long message = compat::WM_USER;
    int positional = 0;
    for (int i = 2; i < argc; ++i) {
        if (std::string_view(argv[i]) == "--message") {
            auto parsed = number(i + 1 < argc ? argv[++i] : nullptr);
            if (!parsed)
                return usage();
            message = *parsed;
        } else if (positional < 3) {
            values[positional] = number(argv[i]);
            if (!values[positional++])
                return usage();
        } else {
            return usage();
        }
    }
    if (positional < 2)
        return usage();
    const auto thread = static_cast<compat::ThreadId>(*values[0]);
    if (!compat::PostThreadMessage(thread, static_cast<std::uint32_t>(message), static_cast<std::uintptr_t>(*values[1]),
                                   static_cast<std::intptr_t>(values[2].value_or(0)))) {
        std::fprintf(stderr, "threadmsg: post to thread %u failed: %s\n", thread,
                     compat::systemErrorText(errno).c_str());
        return 1;
    }
    return 0;
}

int listen(int argc, char** argv) {
    long long count = -1, seconds = -1, timerMs = 0;
    for (int i = 2; i < argc; ++i) {
        const std::string_view option = argv[i];
        auto value = number(i + 1 < argc ? argv[++i] : nullptr);
        if (!value || *value < 0)
            return usage();
        if (option == "--count")
            count = *value;
        else if (option == "--seconds")
            seconds = *value;
        else if (option == "--timer")
            timerMs = *value;
        else
            return usage();
    }
    if (!compat::ensureMessageQueue()) {
        std::fprintf(stderr, "threadmsg: no message queue: %s\n", compat::systemErrorText(errno).c_str());
        return 1;
    }
    const unsigned timer = timerMs > 0 ? compat::SetTimer(0, 0, static_cast<unsigned>(timerMs)) : 0;
    const unsigned deadline = seconds >= 0 ? compat::SetTimer(0, 0, static_cast<unsigned>(seconds * 1000)) : 0;
    std::printf("listening %u\n", compat::currentThreadId());
    std::fflush(stdout);
    const auto started = std::chrono::steady_clock::now();
    compat::Message message;
    while (count != 0 && compat::GetMessage(message) >= 0) {
        const auto ms =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started).count();
        if (message.message == compat::WM_TIMER && message.window == 0 && message.wParam == deadline && deadline)
            break;
        if (message.message == compat::WM_TIMER && message.window == 0 && message.wParam == timer && timer) {
            std::printf("timer at=%lld\n", static_cast<long long>(ms));
        } else {
            std::printf("message=0x%x wparam=0x%" PRIxPTR " lparam=%" PRIdPTR "\n", message.message, message.wParam,
                        message.lParam);
            if (count > 0)
                --count;
        }
        std::fflush(stdout);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return usage();
    const std::string_view command = argv[1];
    if (command == "post")
        return post(argc, argv);
    if (command == "listen")
        return listen(argc, argv);
    return usage();
}
