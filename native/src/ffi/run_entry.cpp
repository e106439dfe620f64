#include "ffi/run_entry.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "ffi/duration.h"
#include "lib/coordinator.h"

namespace quorlind {

namespace {

constexpr double default_warmup_seconds = 120.0;
constexpr double default_measurement_seconds = 60.0;

// What the run entry has of the host's record: nothing, its first eight
// bytes (version and size) or all of it, each byte read once.
struct ConfigCopy {
    bool given = false;
    bool complete = false;
    QuorlindRunConfig fields{};
};

// Only `abi_version` and `struct_size` are read until both match: a host
// built against another layout may own fewer bytes than this one reads.
ConfigCopy copy_config(const QuorlindRunConfig* config) noexcept {
    constexpr std::size_t header_bytes = offsetof(QuorlindRunConfig, benchmark);
    ConfigCopy copy;
    if (!config) {
        return copy;
    }
    copy.given = true;
    const auto* source = reinterpret_cast<const unsigned char*>(config);
    auto* target = reinterpret_cast<unsigned char*>(&copy.fields);
    std::memcpy(target, source, header_bytes);
    if (copy.fields.abi_version != QUORLIND_ABI_VERSION || copy.fields.struct_size != QUORLIND_CONFIG_SIZE) {
        return copy;
    }
    std::memcpy(target + header_bytes, source + header_bytes, sizeof(QuorlindRunConfig) - header_bytes);
    copy.complete = true;
    return copy;
}

RunOutcome refused(const char* message, std::uint32_t benchmark, double warmup_seconds,
                   double measurement_seconds) {
    RunOutcome outcome;
    outcome.status = status_failed;
    outcome.message = message;
    outcome.benchmark = benchmark;
    outcome.warmup_seconds = warmup_seconds;
    outcome.measurement_seconds = measurement_seconds;
    return outcome;
}

// Outcome of a configuration refused before anything ran; null when it is
// valid, with the converted lengths in `warmup` and `measurement`.
std::optional<RunOutcome> validate_config(const ConfigCopy& copy, TimeSpan& warmup, TimeSpan& measurement) {
    if (!copy.given) {
        return refused("config is null", QUORLIND_BENCHMARK_SINGLE, default_warmup_seconds,
                       default_measurement_seconds);
    }
    if (!copy.complete) {
        return refused("incompatible C ABI/config size", QUORLIND_BENCHMARK_SINGLE, default_warmup_seconds,
                       default_measurement_seconds);
    }
    const QuorlindRunConfig& config = copy.fields;
    if (config.benchmark != QUORLIND_BENCHMARK_SINGLE && config.benchmark != QUORLIND_BENCHMARK_PER_CPU) {
        return refused("unknown benchmark", QUORLIND_BENCHMARK_SINGLE, config.warmup_seconds,
                       config.measurement_seconds);
    }
    if (config.reserved != 0) {
        return refused("reserved config field must be zero", config.benchmark, config.warmup_seconds,
                       config.measurement_seconds);
    }

    const auto converted_warmup = duration_from_seconds(config.warmup_seconds);
    const auto converted_measurement = duration_from_seconds(config.measurement_seconds);
    if (!converted_warmup || !converted_measurement || !(config.measurement_seconds > 0.0)) {
        return refused("durations must be finite: warmup >= 0, measurement > 0", config.benchmark,
                       config.warmup_seconds, config.measurement_seconds);
    }
    warmup = *converted_warmup;
    measurement = *converted_measurement;
    return std::nullopt;
}

ProgressSink progress_adaptor(QuorlindProgressCallback callback, void* user_data) {
    if (!callback) {
        return {};
    }
    return [callback, user_data](const ProgressEvent& event) {
        const QuorlindProgressEvent record = event;  // lives only for the call
        callback(&record, user_data);
    };
}

// Moves a finished outcome, reason included, into the handle: allocates
// nothing, so it also serves the contained failure.
std::uint32_t store_outcome(QuorlindRunHandle& handle, RunOutcome&& outcome) {
    const std::uint32_t status = outcome.status;
    std::lock_guard lock(handle.outcome_lock);
    handle.outcome.emplace(std::move(outcome));
    return status;
}

}  // namespace

RunOutcome contained_failure_outcome() {
    RunOutcome outcome = refused("native benchmark panicked", QUORLIND_BENCHMARK_SINGLE,
                                 default_warmup_seconds, default_measurement_seconds);
    outcome.reason = reason_text(outcome.message);
    return outcome;
}

std::string reason_text(const std::string& message) {
    std::string reason = message;
    std::replace(reason.begin(), reason.end(), '\0', ' ');
    return reason;
}

std::uint32_t run_entry(QuorlindRunHandle* handle, const QuorlindRunConfig* config,
                        QuorlindProgressCallback callback, void* user_data,
                        const EnvironmentFactory& make_environment) {
    if (!handle) {
        return status_failed;
    }
    if (handle->busy.exchange(true)) {
        return status_failed;
    }

    // The one read of the host's record: validation, the run and the summary
    // all use this copy, whatever the host does to its record meanwhile.
    const ConfigCopy copy = copy_config(config);
    if (copy.complete) {
        handle->contained_failure.benchmark = copy.fields.benchmark;
        handle->contained_failure.warmup_seconds = copy.fields.warmup_seconds;
        handle->contained_failure.measurement_seconds = copy.fields.measurement_seconds;
    }

    try {
        TimeSpan warmup, measurement;
        std::optional<RunOutcome> outcome = validate_config(copy, warmup, measurement);
        if (!outcome) {
            outcome = run_benchmark(copy.fields.benchmark, warmup, measurement, handle->cancel,
                                    progress_adaptor(callback, user_data), make_environment());
            outcome->warmup_seconds = copy.fields.warmup_seconds;
            outcome->measurement_seconds = copy.fields.measurement_seconds;
        }
        outcome->reason = reason_text(outcome->message);
        return store_outcome(*handle, std::move(*outcome));
    } catch (...) {
        // Whatever broke inside, the host gets a failed run and its process
        // lives on; the coordinator has already joined its workers and
        // released the engine on the way out. The outcome was prepared with
        // the handle, so nothing here can fail for want of memory.
        return store_outcome(*handle, std::move(handle->contained_failure));
    }
}

}  // namespace quorlind
