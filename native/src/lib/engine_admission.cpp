#include "lib/engine_admission.h"

namespace quorlind {

namespace {
std::atomic<bool> engine_busy_flag{false};
}  // namespace

EngineAdmission EngineAdmission::try_acquire() noexcept {
    bool expected = false;
    return EngineAdmission(engine_busy_flag.compare_exchange_strong(expected, true));
}

EngineAdmission::~EngineAdmission() {
    if (held_) {
        engine_busy_flag.store(false);
    }
}

}  // namespace quorlind
