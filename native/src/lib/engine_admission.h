#pragma once

#include <atomic>

namespace quorlind {

// One run at a time in the whole process. Holding an admission means owning
// the engine; its destruction gives it back on every way out of a run.
class EngineAdmission {
public:
    // Null-like (false) when another run holds the engine.
    static EngineAdmission try_acquire() noexcept;

    EngineAdmission(EngineAdmission&& other) noexcept : held_(other.held_) { other.held_ = false; }
    EngineAdmission& operator=(EngineAdmission&&) = delete;
    ~EngineAdmission();

    explicit operator bool() const noexcept { return held_; }

private:
    explicit EngineAdmission(bool held) noexcept : held_(held) {}
    bool held_;
};

}  // namespace quorlind
