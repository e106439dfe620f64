// A C++ host: progress on stderr, then the summary and the interval samples.
// Usage: host [measurement-seconds [single|all]]   (default 0.2 single, no warm-up)
#include <quorlind.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace {

struct HandleDeleter {
    void operator()(QuorlindRunHandle* handle) const { quorlind_free(handle); }
};
using Handle = std::unique_ptr<QuorlindRunHandle, HandleDeleter>;

const char* phase_name(std::uint32_t phase) {
    static const char* const names[] = {"?", "warm-up", "measurement", "completed", "cancelled", "failed"};
    return phase < 6 ? names[phase] : names[0];
}

// Runs on the thread inside quorlind_run; the event is only valid during the call.
void on_progress(const QuorlindProgressEvent* event, void* user_data) {
    auto& events = *static_cast<unsigned*>(user_data);
    ++events;
    std::fprintf(stderr, "[%5.1f%%] %-11s %7.3f / %.3f s  %" PRIu64 " ops\n", event->progress * 100.0,
                 phase_name(event->phase), event->phase_elapsed_seconds, event->phase_seconds,
                 event->operations);
}

}  // namespace

int main(int argc, char** argv) {
    QuorlindRunConfig config;
    quorlind_default_config(&config);
    config.warmup_seconds = 0.0;
    config.measurement_seconds = argc > 1 ? std::strtod(argv[1], nullptr) : 0.2;
    if (argc > 2) {
        config.benchmark =
            std::strcmp(argv[2], "all") == 0 ? QUORLIND_BENCHMARK_PER_CPU : QUORLIND_BENCHMARK_SINGLE;
    }

    Handle handle(quorlind_create());
    if (!handle) {
        std::fprintf(stderr, "cannot create a run handle\n");
        return 1;
    }
    unsigned events = 0;
    const std::uint32_t status = quorlind_run(handle.get(), &config, on_progress, &events);

    QuorlindRunSummary summary{};
    quorlind_result(handle.get(), &summary);
    const std::string reason = quorlind_reason(handle.get());  // copied: the handle owns it

    std::printf("quorlind %s, C interface %" PRIu32 "\n", quorlind_version(), quorlind_abi_version());
    std::printf("status %" PRIu32 "%s%s after %u progress events\n", status, reason.empty() ? "" : ": ",
                reason.c_str(), events);
    std::printf("%" PRIu32 " workers, %.1f ops/s, %" PRIu64 " operations in %.3f s, checksum %016" PRIx64
                "\n",
                summary.workers, summary.ops_per_second, summary.total_operations, summary.measured_seconds,
                summary.checksum);
    if (summary.has_variation) {
        std::printf("variation %.2f %%%s\n", summary.variation_percent,
                    summary.unstable ? " (unstable)" : "");
    }
    for (std::uint64_t i = 0; i < summary.sample_count; ++i) {
        QuorlindIntervalSample sample;
        if (quorlind_sample(handle.get(), i, &sample)) {
            std::printf("  sample %" PRIu64 ": until %.3f s, %" PRIu64 " operations, %.1f ops/s\n", i,
                        sample.end_seconds, sample.operations, sample.ops_per_second);
        }
    }
    return status == QUORLIND_STATUS_COMPLETED ? 0 : 1;
}
