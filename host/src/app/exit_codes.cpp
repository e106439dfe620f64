#include "app/exit_codes.h"

namespace quorlind::bench {

int exit_code_for(const std::vector<RunRecord>& runs) {
    int code = exit_code::completed;
    for (const auto& run : runs) {
        if (run.summary.status == QUORLIND_STATUS_CANCELLED) {
            return exit_code::interrupted;
        }
        if (run.summary.status != QUORLIND_STATUS_COMPLETED) {
            code = exit_code::run_failed;
        }
    }
    return code;
}

int exit_code_of(Failure::Kind kind) {
    switch (kind) {
        case Failure::Kind::usage:
            return exit_code::usage;
        case Failure::Kind::invalid_input:
        case Failure::Kind::write_failed:
            break;
    }
    return exit_code::file_failed;
}

}  // namespace quorlind::bench
