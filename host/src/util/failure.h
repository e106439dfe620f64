#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace quorlind::bench {

// The one way the host fails: raised where the failure is found, turned into
// a message and an exit code at each subcommand's boundary (app/), so the
// same failure reads the same wherever it happens. The message is already
// safe for a terminal.
class Failure : public std::runtime_error {
public:
    enum class Kind {
        usage,          // the command line asks for what cannot be done; nothing ran
        invalid_input,  // a file given to read is unreadable or not a result
        write_failed,   // an output could not be written once its content existed
    };

    Failure(Kind kind, const std::string& message) : std::runtime_error(message), kind_(kind) {}
    Kind kind() const { return kind_; }

private:
    Kind kind_;
};

Failure usage_failure(const std::string& message);

// "LABEL: cannot write to 'PATH': REASON", the one wording for an output that
// cannot be written; the path is shown through printable_text, the reason is
// left out when empty.
Failure cannot_write(Failure::Kind kind, std::string_view label, std::string_view path,
                     std::string_view reason = {});

}  // namespace quorlind::bench
