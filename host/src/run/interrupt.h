#pragma once

#include <quorlind.h>

namespace quorlind::bench {

// Interrupts: Ctrl-C, SIGTERM and SIGHUP (on Windows also closing the console
// and shutting down). Installed once at start-up, so that one arriving before
// the run begins is not lost: the run is then cancelled before it starts.
// The first interrupt cancels. Any arriving within half a second of it counts
// with it, since `timeout -s INT` and a terminal signal the process and its
// group at once. A later one ends the process at once with its own exit code.
// Counting starts afresh here.
void install_interrupt_handling();

// What the console's handler calls for every interrupt, with the exit code it
// stands for (130 for Ctrl-C). Tests call it too, to interrupt in-process.
void on_interrupt(int exit_code);

// True once interrupted: no further run should start.
bool interrupt_requested();

// The exit code of the first interrupt; 0 when there was none.
int interrupt_exit_code();

// While alive, an interrupt cancels this handle's run.
class CancelOnInterrupt {
public:
    explicit CancelOnInterrupt(QuorlindRunHandle* handle);
    ~CancelOnInterrupt();
    CancelOnInterrupt(const CancelOnInterrupt&) = delete;
    CancelOnInterrupt& operator=(const CancelOnInterrupt&) = delete;
};

}  // namespace quorlind::bench
