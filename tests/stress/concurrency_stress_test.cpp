// Many host threads against one engine, through the public interface only:
// racing for admission, storms of cancellation in every phase of a run, and
// progress callbacks that call back into the library.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "../support/host_side.h"

namespace quorlind::testing {
namespace {

using namespace std::chrono_literals;

const std::string busy = "another benchmark is already running";
const std::string too_short = "measurement window was too short to complete any work";

// Long enough that only a cancellation ends the run inside a test's time.
constexpr double long_seconds = 120.0;
// What "ends promptly once cancelled" means on a loaded two-core machine.
constexpr double prompt_seconds = 30.0;

bool wait_for(const std::atomic<bool>& flag, std::chrono::seconds limit = 60s) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!flag.load()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

void join_all(std::vector<std::thread>& threads) {
    for (auto& thread : threads) {
        thread.join();
    }
    threads.clear();
}

// A run nobody cancels either measured something or found its window too
// short on a starved machine; anything else is a fault.
bool ran_uncancelled(std::uint32_t status, const QuorlindRunSummary& summary, const std::string& reason) {
    if (summary.workers < 1) {
        return false;
    }
    if (status == QUORLIND_STATUS_COMPLETED) {
        return reason.empty() && summary.total_operations > 0;
    }
    return status == QUORLIND_STATUS_FAILED && reason == too_short;
}

bool refused_as_busy(std::uint32_t status, const QuorlindRunSummary& summary, const std::string& reason) {
    return reason == busy && status == QUORLIND_STATUS_FAILED && summary.status == QUORLIND_STATUS_FAILED &&
           summary.workers == 0 && summary.sample_count == 0 && summary.total_operations == 0;
}

void expect_engine_free() {
    OwnedHandle last;
    const QuorlindRunConfig config = config_of(QUORLIND_BENCHMARK_SINGLE, 0.0, 0.02);
    const std::uint32_t status = quorlind_run(last.get(), &config, nullptr, nullptr);
    EXPECT_TRUE(ran_uncancelled(status, last.summary(), last.reason())) << status << " " << last.reason();
}

TEST(EngineRace, SixteenThreadsEachRunOrAreRefusedAndTheEngineEndsFree) {
    constexpr int thread_count = 16;
    constexpr int rounds = 25;
    std::atomic<bool> go{false};
    std::atomic<int> ran{0}, refused{0};
    Problems problems;

    std::vector<std::thread> threads;
    threads.reserve(thread_count);
    for (int t = 0; t < thread_count; ++t) {
        threads.emplace_back([&, t] {
            wait_for(go);
            for (int round = 0; round < rounds; ++round) {
                OwnedHandle handle;
                const std::uint32_t kind =
                    (t + round) % 2 ? QUORLIND_BENCHMARK_SINGLE : QUORLIND_BENCHMARK_PER_CPU;
                const QuorlindRunConfig config = config_of(kind, round % 3 ? 0.0 : 0.001, 0.003);
                const std::uint32_t status = quorlind_run(handle.get(), &config, nullptr, nullptr);
                const QuorlindRunSummary summary = handle.summary();
                const std::string reason = handle.reason();
                if (refused_as_busy(status, summary, reason)) {
                    ++refused;
                } else if (ran_uncancelled(status, summary, reason)) {
                    ++ran;
                } else {
                    problems.add("thread " + std::to_string(t) + " round " + std::to_string(round) +
                                 ": status " + std::to_string(status) + ", workers " +
                                 std::to_string(summary.workers) + ", reason \"" + reason + "\"");
                }
            }
        });
    }
    go = true;
    join_all(threads);

    EXPECT_TRUE(problems.empty()) << problems.describe();
    EXPECT_EQ(ran + refused, thread_count * rounds);
    EXPECT_GE(ran.load(), 1);
    expect_engine_free();
}

TEST(EngineRace, RefusalsDoNotWaitForTheRunHoldingTheEngine) {
    OwnedHandle holder;
    std::atomic<bool> measuring{false}, holder_returned{false};
    std::uint32_t holder_status = 99;
    const auto started = std::chrono::steady_clock::now();
    std::thread holder_thread([&] {
        const QuorlindRunConfig config = config_of(QUORLIND_BENCHMARK_PER_CPU, 0.0, long_seconds);
        holder_status = quorlind_run(
            holder.get(), &config,
            [](const QuorlindProgressEvent*, void* flag) {
                static_cast<std::atomic<bool>*>(flag)->store(true);
            },
            &measuring);
        holder_returned = true;
    });
    // Whatever the checks below find, the holder must be stopped and joined.
    struct StopHolder {
        OwnedHandle& holder;
        std::thread& thread;
        ~StopHolder() {
            quorlind_cancel(holder.get());
            if (thread.joinable()) {
                thread.join();
            }
        }
    } stop_holder{holder, holder_thread};
    ASSERT_TRUE(wait_for(measuring)) << "the holding run never reported progress";

    constexpr int contender_count = 15;
    std::vector<std::thread> contenders;
    Problems problems;
    contenders.reserve(contender_count);
    for (int t = 0; t < contender_count; ++t) {
        contenders.emplace_back([&, t] {
            OwnedHandle handle;
            const QuorlindRunConfig config = config_of(1 + t % 2, 0.0, 0.01);
            const std::uint32_t status = quorlind_run(handle.get(), &config, nullptr, nullptr);
            if (!refused_as_busy(status, handle.summary(), handle.reason())) {
                problems.add("contender " + std::to_string(t) + ": status " + std::to_string(status) +
                             ", reason \"" + handle.reason() + "\"");
            }
        });
    }
    join_all(contenders);
    EXPECT_TRUE(problems.empty()) << problems.describe();
    EXPECT_FALSE(holder_returned.load()) << "the refused calls waited for the run holding the engine";

    quorlind_cancel(holder.get());
    holder_thread.join();
    EXPECT_EQ(holder_status, QUORLIND_STATUS_CANCELLED);
    EXPECT_EQ(holder.reason(), "cancelled");
    EXPECT_LT(seconds_since(started), prompt_seconds + 10.0);
    expect_engine_free();
}

// Where in a run the cancellation storm begins. It goes on until the run has
// returned and its outcome has been read a few times.
enum class StormStart {
    before_the_call,
    with_the_call,
    first_warmup_event,
    first_measurement_event,
    final_event
};

const char* name_of(StormStart start) {
    switch (start) {
        case StormStart::before_the_call:
            return "before the call";
        case StormStart::with_the_call:
            return "with the call";
        case StormStart::first_warmup_event:
            return "at the first warm-up event";
        case StormStart::first_measurement_event:
            return "at the first measurement event";
        case StormStart::final_event:
            return "at the final event";
    }
    return "?";
}

class CancelStorm {
public:
    static constexpr int threads = 4;

    explicit CancelStorm(QuorlindRunHandle* handle) {
        for (int t = 0; t < threads; ++t) {
            threads_.emplace_back([this, handle] {
                while (!go_.load() && !stop_.load()) {
                    std::this_thread::yield();
                }
                while (!stop_.load()) {
                    for (int burst = 0; burst < 64; ++burst) {
                        quorlind_cancel(handle);
                    }
                    cancels_.fetch_add(64);
                    std::this_thread::yield();
                }
            });
        }
    }
    CancelStorm(const CancelStorm&) = delete;
    CancelStorm& operator=(const CancelStorm&) = delete;
    ~CancelStorm() { end(); }

    void begin() { go_ = true; }
    bool begun() const { return go_.load(); }
    long cancels() const { return cancels_.load(); }
    void end() {
        stop_ = true;
        join_all(threads_);
    }

private:
    std::atomic<bool> go_{false}, stop_{false};
    std::atomic<long> cancels_{0};
    std::vector<std::thread> threads_;
};

struct StormedRun {
    StormStart start;
    CancelStorm* storm = nullptr;
    std::vector<std::uint32_t> phases;

    static void on_event(const QuorlindProgressEvent* event, void* user_data) {
        auto* run = static_cast<StormedRun*>(user_data);
        run->phases.push_back(event->phase);
        const bool trigger =
            (run->start == StormStart::first_warmup_event && event->phase == QUORLIND_PHASE_WARMUP) ||
            (run->start == StormStart::first_measurement_event &&
             event->phase == QUORLIND_PHASE_MEASUREMENT) ||
            (run->start == StormStart::final_event && event->phase >= QUORLIND_PHASE_COMPLETED);
        if (trigger) {
            run->storm->begin();
        }
    }
};

TEST(CancelStorms, EveryPhaseEndsTheRunPromptlyOrLeavesTheDecidedOutcome) {
    const StormStart starts[] = {StormStart::before_the_call, StormStart::with_the_call,
                                 StormStart::first_warmup_event, StormStart::first_measurement_event,
                                 StormStart::final_event};
    for (const StormStart start : starts) {
        for (const std::uint32_t kind : {QUORLIND_BENCHMARK_SINGLE, QUORLIND_BENCHMARK_PER_CPU}) {
            SCOPED_TRACE(std::string("storm ") + name_of(start) + ", benchmark " + std::to_string(kind));
            OwnedHandle handle;
            CancelStorm storm(handle.get());
            StormedRun run{start, &storm, {}};

            // Only the storm that starts at the final event lets the run finish.
            QuorlindRunConfig config = config_of(kind, long_seconds, long_seconds);
            if (start == StormStart::first_measurement_event) {
                config.warmup_seconds = 0.05;
            }
            if (start == StormStart::final_event) {
                config = config_of(kind, 0.0, 0.05);
            }

            if (start == StormStart::before_the_call) {
                storm.begin();
                while (storm.cancels() == 0) {
                    std::this_thread::yield();
                }
            }
            if (start == StormStart::with_the_call) {
                storm.begin();
            }
            const auto started = std::chrono::steady_clock::now();
            const std::uint32_t status = quorlind_run(handle.get(), &config, &StormedRun::on_event, &run);
            EXPECT_LT(seconds_since(started), prompt_seconds);
            EXPECT_TRUE(storm.begun());

            // Read while the storm still rages: the outcome never moves.
            const QuorlindRunSummary summary = handle.summary();
            const char* reason = quorlind_reason(handle.get());
            ASSERT_NE(reason, nullptr);
            for (int read = 0; read < 50; ++read) {
                const QuorlindRunSummary again = handle.summary();
                EXPECT_EQ(std::memcmp(&again, &summary, sizeof summary), 0);
                EXPECT_EQ(quorlind_reason(handle.get()), reason);
            }
            storm.end();

            EXPECT_EQ(summary.status, status);
            const std::string text = reason;
            if (start == StormStart::final_event) {
                EXPECT_TRUE(ran_uncancelled(status, summary, text)) << status << " " << text;
                ASSERT_FALSE(run.phases.empty());
                EXPECT_NE(run.phases.back(), QUORLIND_PHASE_CANCELLED);
                continue;
            }
            EXPECT_EQ(status, QUORLIND_STATUS_CANCELLED) << text;
            if (text == "cancelled before starting") {
                EXPECT_TRUE(start == StormStart::before_the_call || start == StormStart::with_the_call);
                EXPECT_TRUE(run.phases.empty());
                EXPECT_EQ(summary.sample_count, 0u);
            } else {
                EXPECT_EQ(text, "cancelled");
                EXPECT_NE(start, StormStart::before_the_call);
                ASSERT_FALSE(run.phases.empty());
                EXPECT_EQ(run.phases.back(), QUORLIND_PHASE_CANCELLED);
            }
            EXPECT_EQ(summary.ops_per_second, 0.0);
            EXPECT_GE(summary.workers, 1u);
        }
    }
    expect_engine_free();
}

// A callback that calls every export it may: queries on its own handle (no
// outcome yet), a second run of its own handle and runs of other handles
// (all refused), the constant queries, and finally the cancellation.
struct Reentrant {
    QuorlindRunHandle* self = nullptr;
    std::uint32_t cancel_in_phase = QUORLIND_PHASE_WARMUP;
    std::vector<std::uint32_t> phases;
    Problems problems;

    void check(bool condition, const std::string& what) {
        if (!condition) {
            problems.add("event " + std::to_string(phases.size()) + ": " + what);
        }
    }

    static void never_called(const QuorlindProgressEvent*, void* user_data) {
        static_cast<Reentrant*>(user_data)->problems.add("a refused run reported progress");
    }

    static void on_event(const QuorlindProgressEvent* event, void* user_data) {
        auto* me = static_cast<Reentrant*>(user_data);
        me->phases.push_back(event->phase);
        me->check_queries_see_nothing();
        me->check_runs_are_refused();
        me->check_constants();
        if (event->phase == me->cancel_in_phase) {
            quorlind_cancel(me->self);
        }
    }

    void check_queries_see_nothing() {
        QuorlindRunSummary summary;
        std::memset(&summary, 0x5A, sizeof summary);
        QuorlindIntervalSample sample{};
        check(quorlind_result(self, &summary) == 0, "result during the run");
        check(summary.abi_version == 0x5A5A5A5Au, "result wrote its record during the run");
        check(quorlind_sample(self, 0, &sample) == 0, "sample during the run");
        check(quorlind_reason(self) == nullptr, "reason during the run");
    }

    void check_runs_are_refused() {
        const QuorlindRunConfig config = config_of(QUORLIND_BENCHMARK_SINGLE, 0.0, 0.01);
        check(quorlind_run(self, &config, &never_called, this) == QUORLIND_STATUS_FAILED,
              "own handle run again");
        check(quorlind_reason(self) == nullptr, "a refused second run stored an outcome");

        OwnedHandle other;
        check(quorlind_run(other.get(), &config, &never_called, this) == QUORLIND_STATUS_FAILED,
              "another handle ran");
        check(other.reason() == busy, "another handle: " + other.reason());
        check(other.summary().workers == 0, "another handle got workers");
        const char* reason = quorlind_reason(other.get());
        check(quorlind_run(other.get(), &config, &never_called, this) == QUORLIND_STATUS_FAILED,
              "another handle ran twice");
        check(quorlind_reason(other.get()) == reason, "a second refusal replaced the outcome");
        quorlind_cancel(other.get());

        OwnedHandle unconfigured;
        check(quorlind_run(unconfigured.get(), nullptr, &never_called, this) == QUORLIND_STATUS_FAILED,
              "a null configuration ran");
        check(unconfigured.reason() == "config is null", "null configuration: " + unconfigured.reason());
    }

    void check_constants() {
        QuorlindRunConfig config{};
        check(quorlind_abi_version() == QUORLIND_ABI_VERSION, "abi version");
        check(std::string(quorlind_version()) == QUORLIND_VERSION_STRING, "version");
        check(quorlind_default_config(&config) == 1 && config.struct_size == QUORLIND_CONFIG_SIZE,
              "default config");
        quorlind_cancel(nullptr);
    }
};

TEST(ReentrantCallbacks, CallEveryExportThenCancelInEitherPhase) {
    for (const std::uint32_t phase : {QUORLIND_PHASE_WARMUP, QUORLIND_PHASE_MEASUREMENT}) {
        SCOPED_TRACE("cancelled in phase " + std::to_string(phase));
        OwnedHandle handle;
        Reentrant reentrant;
        reentrant.self = handle.get();
        reentrant.cancel_in_phase = phase;
        const double warmup = phase == QUORLIND_PHASE_WARMUP ? long_seconds : 0.15;
        const QuorlindRunConfig config = config_of(QUORLIND_BENCHMARK_PER_CPU, warmup, long_seconds);

        const auto started = std::chrono::steady_clock::now();
        const std::uint32_t status = quorlind_run(handle.get(), &config, &Reentrant::on_event, &reentrant);
        EXPECT_LT(seconds_since(started), prompt_seconds);

        EXPECT_TRUE(reentrant.problems.empty()) << reentrant.problems.describe();
        EXPECT_EQ(status, QUORLIND_STATUS_CANCELLED);
        EXPECT_EQ(handle.reason(), "cancelled");
        ASSERT_GE(reentrant.phases.size(), 2u);
        EXPECT_EQ(reentrant.phases.back(), QUORLIND_PHASE_CANCELLED);
        EXPECT_EQ(reentrant.phases[reentrant.phases.size() - 2], phase);
    }
    expect_engine_free();
}

// The host owns its record and may reuse it as soon as the run has read it;
// the summary reports the lengths the run was given, not later edits.
TEST(ReentrantCallbacks, EditingTheConfigurationDuringTheRunLeavesTheSummaryAsPassed) {
    OwnedHandle handle;
    QuorlindRunConfig config = config_of(QUORLIND_BENCHMARK_PER_CPU, 0.0, 0.05);
    const std::uint32_t status = quorlind_run(
        handle.get(), &config,
        [](const QuorlindProgressEvent*, void* record) {
            auto* edited = static_cast<QuorlindRunConfig*>(record);
            edited->benchmark = QUORLIND_BENCHMARK_SINGLE;
            edited->warmup_seconds = 7.0;
            edited->measurement_seconds = 9.0;
        },
        &config);
    const QuorlindRunSummary summary = handle.summary();
    EXPECT_TRUE(ran_uncancelled(status, summary, handle.reason())) << handle.reason();
    EXPECT_EQ(summary.benchmark, QUORLIND_BENCHMARK_PER_CPU);
    EXPECT_EQ(summary.warmup_seconds, 0.0);
    EXPECT_EQ(summary.measurement_seconds, 0.05);
}

}  // namespace
}  // namespace quorlind::testing
