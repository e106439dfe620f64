#include "result/result.h"

#include "result/json_writer.h"

namespace quorlind::bench {

Result result_of_run(ResultRecord record) {
    for (auto& run : record.runs) {
        run.stability = assess_stability(run.summary, run.samples);
    }
    Result result;
    result.single = kind_statistics(record, QUORLIND_BENCHMARK_SINGLE);
    result.all = kind_statistics(record, QUORLIND_BENCHMARK_PER_CPU);
    result.scaling = result_scaling(record, record.system.topology.physical_cores);
    result.record = std::move(record);
    result.document = to_json(result);
    return result;
}

}  // namespace quorlind::bench
