#include "run/console.h"

#include <cstdio>

#include <io.h>
#include <windows.h>

namespace quorlind::bench::console {
namespace {

void (*interrupt_callback)() = nullptr;

BOOL WINAPI handle_console_control(DWORD type) {
    if ((type == CTRL_C_EVENT || type == CTRL_BREAK_EVENT) && interrupt_callback != nullptr) {
        interrupt_callback();
        return TRUE;
    }
    return FALSE;
}

}  // namespace

bool stderr_is_terminal() { return _isatty(_fileno(stderr)) != 0; }

void install_interrupt_handler(void (*on_interrupt)()) {
    interrupt_callback = on_interrupt;
    SetConsoleCtrlHandler(handle_console_control, TRUE);
}

}  // namespace quorlind::bench::console
