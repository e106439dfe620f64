// quorlind_run with arbitrary bytes as its configuration record, followed by
// every query, checked against the rules a host relies on: which rejection a
// record gets and what the summary then reports, that a run which passes
// validation ends in one of the outcomes the run can have, that the engine
// is free again afterwards, and that a finished handle never changes.
//
// Input: 32 bytes of QuorlindRunConfig, then optionally a byte of
// HostBehaviour flags and the index of the progress event on which the
// callback cancels. Inputs of 8 to 31 bytes are the record of a host built
// against a shorter layout: 8, 16 or 24 bytes with `struct_size` saying so.
// Shorter inputs run with a null record. Every record ends where an
// inaccessible page begins, so reading past what the host supplied faults.
//
// Durations that pass validation are clamped (warm-up to 1 ms, measurement
// to 2 ms) so that every case ends quickly; invalid ones stay as they are so
// that validation and conversion see them. Lengths whose sum overflows the
// clock whatever its reading are kept too: that run fails at once.

#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "../tests/support/guarded_bytes.h"
#include "quorlind.h"

namespace {

constexpr double max_warmup_seconds = 0.001;
constexpr double max_measurement_seconds = 0.002;
constexpr double two_to_64 = 18446744073709551616.0;
constexpr std::size_t header_bytes = 8;  // abi_version and struct_size

enum HostBehaviour : std::uint8_t {
    with_callback = 1,
    cancel_in_callback = 2,  // on the event numbered by the next input byte
    cancel_before_run = 4,
    query_in_callback = 8,       // the queries see no outcome yet
    run_other_in_callback = 16,  // another handle is refused while this one runs
    run_again_after = 32,        // a second run on the finished handle changes nothing
};

[[noreturn]] void fail(int line, const char* condition, const QuorlindRunConfig& config) {
    std::fprintf(stderr,
                 "check failed at line %d: %s\n  config: abi_version %" PRIu32 " struct_size %" PRIu32
                 " benchmark %" PRIu32 " reserved %" PRIu32 " warmup %a measurement %a\n",
                 line, condition, config.abi_version, config.struct_size, config.benchmark, config.reserved,
                 config.warmup_seconds, config.measurement_seconds);
    std::abort();
}

#define CHECK(condition)                               \
    do {                                               \
        if (!(condition))                              \
            fail(__LINE__, #condition, g_case.config); \
    } while (0)

struct Case {
    QuorlindRunConfig config{};
    const QuorlindRunConfig* config_given = nullptr;
    std::uint8_t behaviour = 0;
    std::uint8_t cancel_at_event = 0;
    QuorlindRunHandle* handle = nullptr;
    unsigned events = 0;
    bool final_event_seen = false;
};

Case g_case;

bool usable_length(double seconds) {
    return std::isfinite(seconds) && !(seconds < 0.0) && seconds < two_to_64;
}

bool same_bits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// The rejection validation must give, or null when the record passes.
const char* expected_rejection(const QuorlindRunConfig* config) {
    if (!config) {
        return "config is null";
    }
    if (config->abi_version != 1 || config->struct_size != 32) {
        return "incompatible C ABI/config size";
    }
    if (config->benchmark != 1 && config->benchmark != 2) {
        return "unknown benchmark";
    }
    if (config->reserved != 0) {
        return "reserved config field must be zero";
    }
    if (!usable_length(config->warmup_seconds) || !usable_length(config->measurement_seconds) ||
        !(config->measurement_seconds > 0.0)) {
        return "durations must be finite: warmup >= 0, measurement > 0";
    }
    return nullptr;
}

// True when whole seconds alone overflow 64 bits: no clock reading can fit
// the run's end, so it fails before measuring and needs no clamping.
bool beyond_any_clock(double warmup, double measurement) {
    const auto warmup_whole = static_cast<std::uint64_t>(std::floor(warmup));
    const auto measurement_whole = static_cast<std::uint64_t>(std::floor(measurement));
    return warmup_whole > UINT64_MAX - measurement_whole;
}

void clamp_for_a_short_run(QuorlindRunConfig& config) {
    if (expected_rejection(&config) || beyond_any_clock(config.warmup_seconds, config.measurement_seconds)) {
        return;
    }
    if (config.warmup_seconds > max_warmup_seconds) {
        config.warmup_seconds = max_warmup_seconds;
    }
    if (config.measurement_seconds > max_measurement_seconds) {
        config.measurement_seconds = max_measurement_seconds;
    }
}

void on_progress(const QuorlindProgressEvent* event, void* user_data) {
    CHECK(user_data == &g_case);
    CHECK(event != nullptr);
    CHECK(!g_case.final_event_seen);
    CHECK(event->phase >= QUORLIND_PHASE_WARMUP && event->phase <= QUORLIND_PHASE_FAILED);
    CHECK(event->progress >= 0.0 && event->progress <= 1.0);
    CHECK(event->workers >= 1);
    g_case.final_event_seen = event->phase >= QUORLIND_PHASE_COMPLETED;

    if (g_case.behaviour & query_in_callback) {
        QuorlindRunSummary summary;
        QuorlindIntervalSample sample;
        CHECK(quorlind_result(g_case.handle, &summary) == 0);
        CHECK(quorlind_sample(g_case.handle, 0, &sample) == 0);
        CHECK(quorlind_reason(g_case.handle) == nullptr);
    }
    if (g_case.behaviour & run_other_in_callback) {
        QuorlindRunHandle* other = quorlind_create();
        QuorlindRunConfig config;
        quorlind_default_config(&config);
        config.warmup_seconds = 0.0;
        config.measurement_seconds = max_measurement_seconds;
        CHECK(quorlind_run(other, &config, &on_progress, &g_case) == QUORLIND_STATUS_FAILED);
        CHECK(std::string_view(quorlind_reason(other)) == "another benchmark is already running");
        quorlind_free(other);
    }
    if ((g_case.behaviour & cancel_in_callback) && g_case.events == g_case.cancel_at_event) {
        quorlind_cancel(g_case.handle);
    }
    ++g_case.events;
}

void check_rejected(const char* expected, const QuorlindRunSummary& summary, std::string_view reason) {
    CHECK(reason == expected);
    CHECK(summary.status == QUORLIND_STATUS_FAILED);
    CHECK(summary.workers == 0);
    CHECK(summary.sample_count == 0);
    CHECK(summary.total_operations == 0 && summary.checksum == 0 && summary.ops_per_second == 0.0);
    CHECK(g_case.events == 0);

    const QuorlindRunConfig& config = g_case.config;
    const std::string_view rejection(expected);
    const bool layout_unusable =
        rejection == "config is null" || rejection == "incompatible C ABI/config size";
    if (layout_unusable) {
        CHECK(summary.benchmark == 1);
        CHECK(summary.warmup_seconds == 120.0 && summary.measurement_seconds == 60.0);
        return;
    }
    CHECK(summary.benchmark == (rejection == "unknown benchmark" ? 1u : config.benchmark));
    CHECK(same_bits(summary.warmup_seconds, config.warmup_seconds));
    CHECK(same_bits(summary.measurement_seconds, config.measurement_seconds));
}

void check_ran(std::uint32_t status, const QuorlindRunSummary& summary, std::string_view reason) {
    const QuorlindRunConfig& config = g_case.config;
    CHECK(summary.benchmark == config.benchmark);
    CHECK(same_bits(summary.warmup_seconds, config.warmup_seconds));
    CHECK(same_bits(summary.measurement_seconds, config.measurement_seconds));

    // Below one nanosecond the measurement may round to nothing.
    const bool may_round_to_zero = config.measurement_seconds < 1e-9;
    if (reason == "measurement duration must be positive") {
        CHECK(may_round_to_zero);
        CHECK(status == QUORLIND_STATUS_FAILED && summary.workers == 0);
        return;
    }
    CHECK(summary.workers >= 1);
    if (config.benchmark == 1) {
        CHECK(summary.workers == 1);
    }

    if (g_case.behaviour & cancel_before_run) {
        CHECK(reason == "cancelled before starting");
        CHECK(status == QUORLIND_STATUS_CANCELLED && summary.sample_count == 0 && g_case.events == 0);
        return;
    }
    if (beyond_any_clock(config.warmup_seconds, config.measurement_seconds)) {
        CHECK(reason == "requested duration exceeds the monotonic clock range");
        CHECK(status == QUORLIND_STATUS_FAILED && g_case.events == 0);
        return;
    }
    if (status == QUORLIND_STATUS_COMPLETED) {
        CHECK(reason.empty());
        CHECK(summary.total_operations > 0 && summary.total_operations % 8 == 0);
        CHECK(summary.ops_per_second ==
              static_cast<double>(summary.total_operations) / summary.measured_seconds);
    } else if (status == QUORLIND_STATUS_CANCELLED) {
        CHECK(reason == "cancelled");
        CHECK(g_case.behaviour & cancel_in_callback);
    } else {
        CHECK(status == QUORLIND_STATUS_FAILED);
        CHECK(reason == "measurement window was too short to complete any work");
    }
    if (g_case.behaviour & with_callback) {
        CHECK(g_case.final_event_seen);
    }
}

void check_samples(const QuorlindRunSummary& summary) {
    QuorlindIntervalSample sample;
    std::uint64_t operations = 0;
    for (std::uint64_t i = 0; i < summary.sample_count; ++i) {
        CHECK(quorlind_sample(g_case.handle, i, &sample) == 1);
        CHECK(sample.duration_seconds > 0.0);
        operations += sample.operations;
    }
    CHECK(operations == summary.total_operations);
    CHECK(quorlind_sample(g_case.handle, summary.sample_count, &sample) == 0);
    CHECK(quorlind_sample(g_case.handle, UINT64_MAX, &sample) == 0);
    CHECK(quorlind_sample(g_case.handle, 0, nullptr) == 0);
}

}  // namespace

// Copies the input's record to the end of the guarded page and returns it
// there; null when the input holds no record.
const QuorlindRunConfig* place_record(const std::uint8_t* data, std::size_t size) {
    static quorlind::testing::GuardedBytes page(sizeof(QuorlindRunConfig));
    std::size_t record_bytes = sizeof(QuorlindRunConfig);
    if (size >= sizeof(QuorlindRunConfig)) {
        std::memcpy(&g_case.config, data, record_bytes);
        clamp_for_a_short_run(g_case.config);
    } else if (size >= header_bytes) {
        record_bytes = size / 8 * 8;
        std::memcpy(&g_case.config, data, record_bytes);
        g_case.config.struct_size = static_cast<std::uint32_t>(record_bytes);
    } else {
        return nullptr;
    }
    unsigned char* placed = page.data() + page.size() - record_bytes;
    std::memcpy(placed, &g_case.config, record_bytes);
    return reinterpret_cast<const QuorlindRunConfig*>(placed);
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    g_case = Case{};
    g_case.config_given = place_record(data, size);
    if (size > sizeof(QuorlindRunConfig)) {
        g_case.behaviour = data[sizeof(QuorlindRunConfig)];
    }
    if (size > sizeof(QuorlindRunConfig) + 1) {
        g_case.cancel_at_event = data[sizeof(QuorlindRunConfig) + 1];
    }

    g_case.handle = quorlind_create();
    CHECK(g_case.handle != nullptr);
    if (g_case.behaviour & cancel_before_run) {
        quorlind_cancel(g_case.handle);
    }

    const QuorlindProgressCallback callback = (g_case.behaviour & with_callback) ? &on_progress : nullptr;
    const std::uint32_t status = quorlind_run(g_case.handle, g_case.config_given, callback, &g_case);

    QuorlindRunSummary summary;
    std::memset(&summary, 0xA5, sizeof summary);
    CHECK(quorlind_result(g_case.handle, &summary) == 1);
    CHECK(quorlind_result(g_case.handle, nullptr) == 0);
    CHECK(summary.abi_version == QUORLIND_ABI_VERSION);
    CHECK(summary.status == status);
    CHECK(summary.unstable <= 1 && summary.has_variation <= 1);
    const char* reason = quorlind_reason(g_case.handle);
    CHECK(reason != nullptr);

    // Judged on the fuzzer's own copy: a short record's missing fields are 0.
    if (const char* rejection = expected_rejection(g_case.config_given ? &g_case.config : nullptr)) {
        check_rejected(rejection, summary, reason);
    } else {
        check_ran(status, summary, reason);
    }
    check_samples(summary);

    // The outcome is final: neither a late cancel nor a second run touches it.
    quorlind_cancel(g_case.handle);
    if (g_case.behaviour & run_again_after) {
        QuorlindRunConfig again;
        quorlind_default_config(&again);
        again.measurement_seconds = max_measurement_seconds;
        CHECK(quorlind_run(g_case.handle, &again, nullptr, nullptr) == QUORLIND_STATUS_FAILED);
    }
    QuorlindRunSummary after;
    CHECK(quorlind_result(g_case.handle, &after) == 1);
    CHECK(std::memcmp(&after, &summary, sizeof summary) == 0);
    CHECK(quorlind_reason(g_case.handle) == reason);

    quorlind_free(g_case.handle);
    return 0;
}
