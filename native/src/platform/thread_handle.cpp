#include "platform/platform.h"

namespace quorlind::platform {

// The handle's life is the same on every system; only creating and joining
// the thread differ.
Thread::Thread() noexcept = default;
Thread::Thread(NativePointer native) noexcept : native_(std::move(native)) {}
Thread::Thread(Thread&&) noexcept = default;

Thread& Thread::operator=(Thread&& other) noexcept {
    if (this != &other) {
        if (joinable()) {
            try {
                join();
            } catch (...) {
            }
        }
        native_ = std::move(other.native_);
    }
    return *this;
}

Thread::~Thread() {
    if (joinable()) {
        try {
            join();
        } catch (...) {
        }
    }
}

bool Thread::joinable() const noexcept { return native_ != nullptr; }

}  // namespace quorlind::platform
