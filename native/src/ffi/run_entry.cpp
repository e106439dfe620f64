#include "ffi/run_entry.h"

#include <algorithm>

#include "ffi/duration.h"
#include "lib/coordinator.h"

namespace quorlind {

namespace {

constexpr double DEFAULT_WARMUP_SECONDS = 120.0;
constexpr double DEFAULT_MEASUREMENT_SECONDS = 60.0;

RunOutcome refused(const char* message, std::uint32_t benchmark, double warmup_seconds,
                   double measurement_seconds) {
    RunOutcome outcome;
    outcome.status = STATUS_FAILED;
    outcome.message = message;
    outcome.benchmark = benchmark;
    outcome.warmup_seconds = warmup_seconds;
    outcome.measurement_seconds = measurement_seconds;
    return outcome;
}

ProgressSink progress_adaptor(QuorlindProgressCallback callback, void* user_data) {
    if (!callback)
        return {};
    return [callback, user_data](const ProgressEvent& event) {
        const QuorlindProgressEvent record = event;  // lives only for the call
        callback(&record, user_data);
    };
}

std::uint32_t store_outcome(QuorlindRunHandle& handle, RunOutcome outcome) {
    const std::uint32_t status = outcome.status;
    outcome.reason = reason_text(outcome.message);
    std::lock_guard lock(handle.outcome_lock);
    handle.outcome = std::move(outcome);
    return status;
}

}  // namespace

std::optional<RunOutcome> validate_config(const QuorlindRunConfig* config, TimeSpan& warmup,
                                          TimeSpan& measurement) {
    if (!config)
        return refused("config is null", QUORLIND_BENCHMARK_SINGLE, DEFAULT_WARMUP_SECONDS,
                       DEFAULT_MEASUREMENT_SECONDS);
    if (config->abi_version != QUORLIND_ABI_VERSION || config->struct_size != QUORLIND_CONFIG_SIZE)
        return refused("incompatible C ABI/config size", QUORLIND_BENCHMARK_SINGLE, DEFAULT_WARMUP_SECONDS,
                       DEFAULT_MEASUREMENT_SECONDS);
    if (config->benchmark != QUORLIND_BENCHMARK_SINGLE && config->benchmark != QUORLIND_BENCHMARK_PER_CPU)
        return refused("unknown benchmark", QUORLIND_BENCHMARK_SINGLE, config->warmup_seconds,
                       config->measurement_seconds);
    if (config->reserved != 0)
        return refused("reserved config field must be zero", config->benchmark, config->warmup_seconds,
                       config->measurement_seconds);

    const auto converted_warmup = duration_from_seconds(config->warmup_seconds);
    const auto converted_measurement = duration_from_seconds(config->measurement_seconds);
    if (!converted_warmup || !converted_measurement || !(config->measurement_seconds > 0.0))
        return refused("durations must be finite: warmup >= 0, measurement > 0", config->benchmark,
                       config->warmup_seconds, config->measurement_seconds);
    warmup = *converted_warmup;
    measurement = *converted_measurement;
    return std::nullopt;
}

std::string reason_text(const std::string& message) {
    std::string reason = message;
    std::replace(reason.begin(), reason.end(), '\0', ' ');
    return reason;
}

std::uint32_t run_entry(QuorlindRunHandle* handle, const QuorlindRunConfig* config,
                        QuorlindProgressCallback callback, void* user_data,
                        std::shared_ptr<RunEnvironment> environment) {
    if (!handle)
        return STATUS_FAILED;
    if (handle->busy.exchange(true))
        return STATUS_FAILED;

    // The host's values, read once before anything can fail: the summary
    // reports them, also for a contained failure, and the host may reuse its
    // record while the run goes on.
    std::uint32_t host_benchmark = QUORLIND_BENCHMARK_SINGLE;
    double host_warmup = DEFAULT_WARMUP_SECONDS;
    double host_measurement = DEFAULT_MEASUREMENT_SECONDS;
    if (config) {
        host_benchmark = config->benchmark;
        host_warmup = config->warmup_seconds;
        host_measurement = config->measurement_seconds;
    }

    try {
        TimeSpan warmup, measurement;
        std::optional<RunOutcome> outcome = validate_config(config, warmup, measurement);
        if (!outcome) {
            outcome = run_benchmark(config->benchmark, warmup, measurement, handle->cancel,
                                    progress_adaptor(callback, user_data), std::move(environment));
            outcome->warmup_seconds = host_warmup;
            outcome->measurement_seconds = host_measurement;
        }
        return store_outcome(*handle, std::move(*outcome));
    } catch (...) {
        // Whatever broke inside, the host gets a failed run and its process
        // lives on; the coordinator has already joined its workers and
        // released the engine on the way out.
        try {
            return store_outcome(*handle, refused("native benchmark panicked", host_benchmark, host_warmup,
                                                  host_measurement));
        } catch (...) {
            return STATUS_FAILED;  // not even the failure could be stored
        }
    }
}

}  // namespace quorlind
