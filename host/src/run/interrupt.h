#pragma once

#include <quorlind.h>

namespace quorlind::bench {

// Installed once at start-up, so that a Ctrl-C arriving before the run
// begins is not lost: the run is then cancelled before it starts. The first
// Ctrl-C cancels; any further one ends the process at once with
// `second_interrupt_exit_code`. Counting starts afresh here.
void install_interrupt_handling(int second_interrupt_exit_code);

// What the console's handler calls for every Ctrl-C. Tests call it too, to
// press Ctrl-C in-process where no console can.
void on_interrupt();

// True once Ctrl-C was pressed: no further run should start.
bool interrupt_requested();

// While alive, Ctrl-C cancels this handle's run.
class CancelOnInterrupt {
public:
    explicit CancelOnInterrupt(QuorlindRunHandle* handle);
    ~CancelOnInterrupt();
    CancelOnInterrupt(const CancelOnInterrupt&) = delete;
    CancelOnInterrupt& operator=(const CancelOnInterrupt&) = delete;
};

}  // namespace quorlind::bench
