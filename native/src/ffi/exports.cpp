// The ten exports of the C interface. Nothing thrown inside the library may
// cross this boundary: quorlind_create and quorlind_run turn failures into
// their documented results.

#include <cstring>
#include <memory>
#include <new>

#include "ffi/run_entry.h"
#include "ffi/run_handle.h"
#include "quorlind.h"

namespace {

// The queries only copy under the outcome lock; the lock itself is all that
// could throw, and a lock that cannot be taken ends the process.
int32_t copy_summary(QuorlindRunHandle* handle, QuorlindRunSummary* summary) noexcept {
    if (!handle || !summary) {
        return 0;
    }
    std::lock_guard lock(handle->outcome_lock);
    if (!handle->outcome) {
        return 0;
    }
    const quorlind::RunOutcome& outcome = *handle->outcome;
    QuorlindRunSummary written{};
    written.abi_version = QUORLIND_ABI_VERSION;
    written.status = outcome.status;
    written.benchmark = outcome.benchmark;
    written.workers = outcome.workers;
    written.ops_per_second = outcome.ops_per_second.value_or(0.0);
    written.warmup_seconds = outcome.warmup_seconds;
    written.measurement_seconds = outcome.measurement_seconds;
    written.measured_seconds = outcome.measured_seconds;
    written.variation_percent = outcome.variation_percent.value_or(0.0);
    written.total_operations = outcome.total_operations;
    written.checksum = outcome.checksum;
    written.sample_count = outcome.samples.size();
    written.unstable = outcome.unstable ? 1 : 0;
    written.has_variation = outcome.variation_percent ? 1 : 0;
    *summary = written;
    return 1;
}

int32_t copy_sample(QuorlindRunHandle* handle, uint64_t index, QuorlindIntervalSample* sample) noexcept {
    if (!handle || !sample) {
        return 0;
    }
    std::lock_guard lock(handle->outcome_lock);
    if (!handle->outcome || index >= handle->outcome->samples.size()) {
        return 0;
    }
    *sample = handle->outcome->samples[static_cast<std::size_t>(index)];
    return 1;
}

const char* reason_of(QuorlindRunHandle* handle) noexcept {
    if (!handle) {
        return nullptr;
    }
    std::lock_guard lock(handle->outcome_lock);
    return handle->outcome ? handle->outcome->reason.c_str() : nullptr;
}

}  // namespace

extern "C" {

QUORLIND_EXTERN uint32_t quorlind_abi_version(void) { return QUORLIND_ABI_VERSION; }

QUORLIND_EXTERN const char* quorlind_version(void) { return QUORLIND_VERSION_STRING; }

QUORLIND_EXTERN int32_t quorlind_default_config(QuorlindRunConfig* config) {
    if (!config) {
        return 0;
    }
    *config = QuorlindRunConfig{
        QUORLIND_ABI_VERSION, QUORLIND_CONFIG_SIZE, QUORLIND_BENCHMARK_SINGLE, 0, 120.0, 60.0};
    return 1;
}

QUORLIND_EXTERN QuorlindRunHandle* quorlind_create(void) {
    try {
        return new QuorlindRunHandle();
    } catch (...) {
        return nullptr;
    }
}

QUORLIND_EXTERN void quorlind_free(QuorlindRunHandle* handle) { delete handle; }

QUORLIND_EXTERN void quorlind_cancel(QuorlindRunHandle* handle) {
    if (handle) {
        handle->cancel->request();
    }
}

QUORLIND_EXTERN uint32_t quorlind_run(QuorlindRunHandle* handle, const QuorlindRunConfig* config,
                                      QuorlindProgressCallback callback, void* user_data) {
    try {
        return quorlind::run_entry(handle, config, callback, user_data,
                                   [] { return std::make_shared<quorlind::ProductionEnvironment>(); });
    } catch (...) {
        return QUORLIND_STATUS_FAILED;
    }
}

QUORLIND_EXTERN int32_t quorlind_result(QuorlindRunHandle* handle, QuorlindRunSummary* summary) {
    return copy_summary(handle, summary);
}

QUORLIND_EXTERN int32_t quorlind_sample(QuorlindRunHandle* handle, uint64_t index,
                                        QuorlindIntervalSample* sample) {
    return copy_sample(handle, index, sample);
}

QUORLIND_EXTERN const char* quorlind_reason(QuorlindRunHandle* handle) { return reason_of(handle); }

}  // extern "C"
