#pragma once

// The test executable's own global operator new, which can be told to fail
// every allocation from a chosen moment on, as when memory has run out.

namespace quorlind::testing {

void start_failing_allocations() noexcept;
void stop_failing_allocations() noexcept;

}  // namespace quorlind::testing
