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

}  // namespace quorlind::bench
