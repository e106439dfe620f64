// The result-file reader over arbitrary bytes, then everything compare does
// with what it accepts. A file from another machine can hold anything; the
// reader must refuse it with a message naming the file, or hand on a result
// that every consumer can use:
// - completed runs have a positive, finite throughput,
// - what the JSON writer makes of the result reads back as the same result,
//   with no figure to work out anew,
// - compared with itself it shows a ratio of 1 and no environment difference,
// - every writer of a result or a comparison takes it.

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>

#include "compare/comparison.h"
#include "compare/comparison_json.h"
#include "export/csv.h"
#include "export/openmetrics.h"
#include "report/html/comparison_report.h"
#include "report/html/run_report.h"
#include "report/text/comparison_report.h"
#include "report/text/run_report.h"
#include "result/json_writer.h"
#include "result/reader.h"

namespace {

using namespace quorlind::bench;

const std::string name = "fuzz.json";

[[noreturn]] void broken(const char* what) {
    std::fprintf(stderr, "result reader: %s\n", what);
    std::abort();
}

void check_accepted(const Result& result) {
    const Document written = to_json(result);
    if (result.record.runs.empty() || written.at("schema_version") != result_schema_version) {
        broken("an accepted result has no runs or is not in the current layout");
    }
    for (const auto& run : result.record.runs) {
        const bool completed = run.summary.status == QUORLIND_STATUS_COMPLETED;
        if (completed && !(run.summary.ops_per_second > 0.0 && std::isfinite(run.summary.ops_per_second))) {
            broken("a completed run without a positive, finite throughput");
        }
    }
    // Throws, and so fails, if the writer makes of the model what the reader refuses.
    const Result again = parse_result_text(written.dump(), "again.json");
    if (again.schema_version_read != result_schema_version ||
        again.record.runs.size() != result.record.runs.size() || to_json(again) != written ||
        !again.recomputed.empty()) {
        broken("the written document does not read back the same");
    }

    const Comparison comparison = compare_results({result, again}, ComparisonSettings{});
    const PairComparison& pair = comparison.pairs.at(0);
    if (!pair.environment.differences.empty() || pair.slower()) {
        broken("a result differs from itself");
    }
    for (const auto& kind : pair.kinds) {
        if (kind.ratio.ratio != 1.0) {
            broken("a result's throughput differs from itself");
        }
    }
    // The writers a run uses print the run's own text as it is; they need only not fail.
    std::ostringstream any;
    write_report(any, result);
    write_samples_csv(any, result);
    any << to_openmetrics(result) << render_result_html(result)
        << render_comparison_html(comparison, {result, again}, "0.0.2");
    std::ostringstream text;
    write_comparison_report(text, comparison);
    const std::string json = comparison_to_json(comparison, "0.0.2")
                                 .dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::strict);
    if (json.empty() || text.str().find('\x1b') != std::string::npos) {
        broken("a writer let an escape character through or wrote nothing");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        check_accepted(parse_result_text(text, name));
    } catch (const InvalidResultFile& error) {
        if (std::string_view(error.what()).substr(0, name.size() + 2) != name + ": ") {
            broken("a refusal that does not begin with the file's name");
        }
    }
    return 0;
}
