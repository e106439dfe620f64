#include "lib/start_gate.h"

namespace quorlind {

void StartGate::open() {
    {
        std::lock_guard lock(mutex_);
        opened_ = true;
    }
    opened_changed_.notify_all();
}

void StartGate::wait() {
    std::unique_lock lock(mutex_);
    opened_changed_.wait(lock, [&] { return opened_; });
}

}  // namespace quorlind
