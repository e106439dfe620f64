#include "app/failure_boundary.h"

#include "app/exit_codes.h"
#include "result/names.h"
#include "result/reader.h"
#include "util/failure.h"
#include "util/printable_text.h"

namespace quorlind::bench {

std::string error_prefix() { return std::string(tool_name) + ": "; }

int run_reporting_failures(std::ostream& err, const std::function<int()>& subcommand) {
    try {
        return subcommand();
    } catch (const Failure& failure) {
        err << error_prefix() << failure.what() << '\n';
        err.flush();
        return exit_code_of(failure.kind());
    }
}

Result read_input(const std::string& path) {
    try {
        return read_result_file(path);
    } catch (const InvalidResultFile& error) {
        throw Failure(Failure::Kind::invalid_input, printable_text(error.what(), 1000));
    }
}

}  // namespace quorlind::bench
