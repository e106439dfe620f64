#pragma once

#include <stdexcept>
#include <string>

namespace quorlind {

// A broken invariant. Thrown inside the library, caught at the thread entry of
// a worker and at the C boundary, never seen by the host.
class InternalFailure : public std::logic_error {
public:
    explicit InternalFailure(const std::string& what) : std::logic_error(what) {}
};

}  // namespace quorlind
