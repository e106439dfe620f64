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
    // The cores inside the process's affinity mask where the system told them.
    const Topology& topology = record.system.topology;
    result.scaling = result_scaling(
        record, topology.usable_physical_cores ? topology.usable_physical_cores : topology.physical_cores);
    result.record = std::move(record);
    result.document = to_json(result);
    return result;
}

}  // namespace quorlind::bench
