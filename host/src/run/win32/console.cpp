#include "run/console.h"

#include <cstdio>

#include <io.h>
#include <windows.h>

namespace quorlind::bench::console {
namespace {

void (*interrupt_callback)(int) = nullptr;

// The exit codes a POSIX shell would show for the same request.
constexpr int ctrl_c_exit_code = 130;    // SIGINT
constexpr int closed_exit_code = 129;    // SIGHUP: the terminal went away
constexpr int shutdown_exit_code = 143;  // SIGTERM: the system asks to stop

BOOL WINAPI handle_console_control(DWORD type) {
    if (interrupt_callback == nullptr) {
        return FALSE;
    }
    switch (type) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
            interrupt_callback(ctrl_c_exit_code);
            return TRUE;
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            interrupt_callback(type == CTRL_CLOSE_EVENT ? closed_exit_code : shutdown_exit_code);
            // Windows ends the process as soon as this returns, and in any
            // case after a few seconds (5 for a close). Waiting here lets
            // the main thread write the cancelled run and exit on its own.
            Sleep(INFINITE);
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

bool stderr_is_terminal() { return _isatty(_fileno(stderr)) != 0; }

void install_interrupt_handler(void (*on_interrupt)(int)) {
    interrupt_callback = on_interrupt;
    SetConsoleCtrlHandler(handle_console_control, TRUE);
}

std::int64_t monotonic_nanos() { return static_cast<std::int64_t>(GetTickCount64()) * 1'000'000; }

}  // namespace quorlind::bench::console
