#include "util/failure.h"

#include "util/printable_text.h"

namespace quorlind::bench {

Failure usage_failure(const std::string& message) { return Failure(Failure::Kind::usage, message); }

Failure cannot_write(Failure::Kind kind, std::string_view label, std::string_view path,
                     std::string_view reason) {
    std::string message;
    if (!label.empty()) {
        message.append(label).append(": ");
    }
    message += "cannot write to '" + printable_text(path, 1000) + "'";
    if (!reason.empty()) {
        message += ": " + printable_text(reason);
    }
    return Failure(kind, message);
}

}  // namespace quorlind::bench
