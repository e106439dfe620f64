#include "result/result.h"

namespace quorlind::bench {

void derive_figures(Result& result) {
    ResultRecord& record = result.record;
    for (auto& run : record.runs) {
        run.stability = assess_stability(run.summary, run.samples);
        run.disturbance = run.load ? judge_disturbance(*run.load) : Disturbance{};
        run.causes =
            run.load ? name_causes(*run.load, run.samples, run.summary.workers) : std::vector<LoadCause>{};
    }
    result.single = kind_statistics(record, QUORLIND_BENCHMARK_SINGLE);
    result.all = kind_statistics(record, QUORLIND_BENCHMARK_PER_CPU);
    // The cores inside the process's affinity mask where the system told them.
    const Topology& topology = record.system.topology;
    result.scaling = result_scaling(
        record, topology.usable_physical_cores ? topology.usable_physical_cores : topology.physical_cores);
}

Result result_of_run(ResultRecord record) {
    Result result;
    result.record = std::move(record);
    derive_figures(result);
    return result;
}

}  // namespace quorlind::bench
