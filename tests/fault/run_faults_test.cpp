// Every way a run can fail once the engine has admitted it, injected through
// the test environment into a four-worker run and taken through the C
// layer's run entry, as quorlind_run does. After each fault: the outcome
// carries the fault's status and text, no worker thread is left, the engine
// is free, and the next run in the process is admitted and measures.
#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "../lib/fake_environment.h"
#include "../stress/process_probe.h"
#include "../support/engine_probe.h"
#include "failing_allocation.h"
#include "ffi/run_entry.h"

namespace quorlind {
namespace {

using testing::FakeEnvironment;

constexpr std::uint64_t workers = 4;
constexpr double huge_seconds = 1e19;  // valid alone; two of them overflow any clock reading

struct Fault {
    const char* name;
    std::function<void(FakeEnvironment&, std::uint64_t index)> inject;
    std::string message;               // every fault fails the run (status 2)
    bool measures = false;             // it strikes after the workers measured
    bool stops_spawning = false;       // exactly the workers before the index are started
    bool before_worker_count = false;  // the outcome has no worker count
    double warmup = 0.0;
    double measurement = 0.05;
};

const std::string init_failed = "worker initialization failed: ";
const std::string table_refused =
    init_failed + "Ok(Err(\"memory allocation failed because the memory allocator returned an error\"))";

const Fault per_worker_faults[] = {
    {.name = "spawn_fails",
     .inject = [](FakeEnvironment& e, std::uint64_t i) { e.fail_spawn_at = i; },
     .message = "cannot start worker: Resource temporarily unavailable (os error 11)",
     .stops_spawning = true},
    // An internal failure escapes the coordinator; the run entry contains it.
    {.name = "spawn_throws",
     .inject = [](FakeEnvironment& e, std::uint64_t i) { e.throw_in_spawn_at = i; },
     .message = "native benchmark panicked",
     .stops_spawning = true,
     .before_worker_count = true},
    {.name = "build_fails",
     .inject = [](FakeEnvironment& e, std::uint64_t i) { e.fail_build = {i}; },
     .message = init_failed + "Ok(Err(\"injected build failure\"))"},
    {.name = "table_memory_refused",
     .inject = [](FakeEnvironment& e, std::uint64_t i) { e.refuse_table_memory = {i}; },
     .message = table_refused},
    {.name = "worker_ends_before_report",
     .inject = [](FakeEnvironment& e, std::uint64_t i) { e.throw_in_build = {i}; },
     .message = init_failed + "Err(RecvError)"},
    {.name = "worker_fails_after_measuring",
     .inject = [](FakeEnvironment& e, std::uint64_t i) { e.throw_after_run = {i}; },
     .message = "a benchmark worker panicked",
     .measures = true},
};

const Fault run_faults[] = {
    {.name = "cpu_count_unknown",
     .inject = [](FakeEnvironment& e,
                  std::uint64_t) { e.cpus_error = std::string(unknown_cpu_count_message); },
     .message = std::string("cannot determine available CPUs: ") + unknown_cpu_count_message,
     .before_worker_count = true},
    {.name = "cpu_count_throws",
     .inject = [](FakeEnvironment& e, std::uint64_t) { e.cpus_throws = true; },
     .message = "native benchmark panicked",
     .before_worker_count = true},
    {.name = "beyond_the_clock_range",
     .inject = [](FakeEnvironment&, std::uint64_t) {},
     .message = "requested duration exceeds the monotonic clock range",
     .warmup = huge_seconds,
     .measurement = huge_seconds},
    {.name = "every_table_refused",
     .inject =
         [](FakeEnvironment& e, std::uint64_t) {
             e.refuse_table_memory = {0, 1, 2, 3};
         },
     .message = table_refused},
    // The failure report is queued before its sender goes, so it is read
    // ahead of the disconnection that the silent worker causes.
    {.name = "failure_report_beats_silent_end",
     .inject =
         [](FakeEnvironment& e, std::uint64_t) {
             e.throw_in_build = {0};
             e.refuse_table_memory = {3};
         },
     .message = table_refused},
};

struct FaultCase {
    const Fault* fault;
    std::uint64_t index;
};

void PrintTo(const FaultCase& fault_case, std::ostream* out) {
    *out << fault_case.fault->name << " at worker " << fault_case.index;
}

struct FaultyRun {
    QuorlindRunHandle handle;
    std::shared_ptr<FakeEnvironment> environment = std::make_shared<FakeEnvironment>();
    std::vector<QuorlindProgressEvent> events;

    static void record(const QuorlindProgressEvent* event, void* user_data) {
        static_cast<FaultyRun*>(user_data)->events.push_back(*event);
    }

    std::uint32_t go(double warmup, double measurement) {
        environment->cpus = workers;
        const QuorlindRunConfig config{
            QUORLIND_ABI_VERSION, QUORLIND_CONFIG_SIZE, QUORLIND_BENCHMARK_PER_CPU, 0, warmup, measurement};
        return run_entry(&handle, &config, &FaultyRun::record, this, [this] { return environment; });
    }
    const RunOutcome& outcome() const { return *handle.outcome; }
};

// Nothing of the failed run is left, and the engine takes the next one.
void expect_clean_and_admitting(const FakeEnvironment& environment) {
    EXPECT_EQ(environment.live_threads.load(), 0) << "a worker of the failed run is still running";
    if (const auto names = testing::worker_threads_after_settling()) {
        EXPECT_TRUE(names->empty()) << names->size() << " quorlind- threads remain, e.g. " << names->front();
    }
    EXPECT_FALSE(testing::engine_busy());

    FaultyRun next;
    const std::uint32_t status = next.go(0.0, 0.05);
    const RunOutcome& outcome = next.outcome();
    EXPECT_NE(outcome.message, "another benchmark is already running");
    // On a starved machine a worker may not finish one batch in the window.
    if (status != status_completed) {
        EXPECT_EQ(outcome.message, "measurement window was too short to complete any work");
    }
    EXPECT_EQ(outcome.workers, workers);
    EXPECT_EQ(next.environment->live_threads.load(), 0);
}

void expect_fault_outcome(const Fault& fault, std::uint64_t index, const FaultyRun& run,
                          std::uint32_t status) {
    const RunOutcome& outcome = run.outcome();
    EXPECT_EQ(status, status_failed);
    EXPECT_EQ(outcome.status, status_failed);
    EXPECT_EQ(outcome.message, fault.message);
    EXPECT_EQ(outcome.reason, fault.message);
    EXPECT_FALSE(outcome.ops_per_second);
    EXPECT_EQ(outcome.workers, fault.before_worker_count ? 0u : workers);
    if (fault.stops_spawning) {
        EXPECT_EQ(run.environment->spawned.load(), static_cast<int>(index));
    }
    if (fault.measures) {
        ASSERT_FALSE(run.events.empty());
        EXPECT_EQ(run.events.back().phase, QUORLIND_PHASE_FAILED);
        return;
    }
    // Failures before the gate: no progress, nothing counted, nothing measured.
    EXPECT_TRUE(run.events.empty());
    EXPECT_TRUE(outcome.samples.empty());
    EXPECT_EQ(outcome.total_operations, 0u);
    EXPECT_EQ(outcome.checksum, 0u);
    for (const auto& counters : run.environment->counters) {
        EXPECT_EQ(counters->warmup_ops.load() + counters->measured_ops.load(), 0u);
        EXPECT_EQ(counters->active_nanos.load(), 0u);
    }
}

class RunFault : public ::testing::TestWithParam<FaultCase> {};

TEST_P(RunFault, EndsAsItsOutcomeLeavesNoThreadAndAdmitsTheNextRun) {
    const Fault& fault = *GetParam().fault;
    FaultyRun run;
    fault.inject(*run.environment, GetParam().index);
    const std::uint32_t status = run.go(fault.warmup, fault.measurement);
    ASSERT_TRUE(run.handle.outcome);
    expect_fault_outcome(fault, GetParam().index, run, status);
    expect_clean_and_admitting(*run.environment);
}

std::vector<FaultCase> per_worker_cases() {
    std::vector<FaultCase> cases;
    for (const Fault& fault : per_worker_faults) {
        for (std::uint64_t index = 0; index < workers; ++index) {
            cases.push_back({&fault, index});
        }
    }
    return cases;
}

std::vector<FaultCase> run_cases() {
    std::vector<FaultCase> cases;
    for (const Fault& fault : run_faults) {
        cases.push_back({&fault, 0});
    }
    return cases;
}

std::string case_name(const ::testing::TestParamInfo<FaultCase>& info) {
    return std::string(info.param.fault->name) + "_at_worker_" + std::to_string(info.param.index);
}

std::string run_case_name(const ::testing::TestParamInfo<FaultCase>& info) { return info.param.fault->name; }

INSTANTIATE_TEST_SUITE_P(EveryWorker, RunFault, ::testing::ValuesIn(per_worker_cases()), case_name);
INSTANTIATE_TEST_SUITE_P(WholeRun, RunFault, ::testing::ValuesIn(run_cases()), run_case_name);

// Memory runs out and an internal failure follows: the contained outcome was
// made with the handle, so the host still reads a summary and a reason.
struct EmptyFailure {};  // throwing it takes nothing from operator new

struct OutOfMemoryInTheEngine : FakeEnvironment {
    Expected<std::uint64_t> available_cpus() override {
        testing::start_failing_allocations();
        throw EmptyFailure{};
    }
};

struct AllocationsFailUntilTheEnd {
    ~AllocationsFailUntilTheEnd() { testing::stop_failing_allocations(); }
};

TEST(ContainedFailure, IsStoredWhenMemoryRunsOutDuringTheRun) {
    FaultyRun run;
    run.environment = std::make_shared<OutOfMemoryInTheEngine>();
    std::uint32_t status = 0;
    {
        AllocationsFailUntilTheEnd restore;
        status = run.go(0.25, 0.5);
    }
    EXPECT_EQ(status, status_failed);
    ASSERT_TRUE(run.handle.outcome) << "status 2 with nothing for the host to read";
    EXPECT_EQ(run.outcome().reason, "native benchmark panicked");
    EXPECT_EQ(run.outcome().benchmark, QUORLIND_BENCHMARK_PER_CPU);
    EXPECT_EQ(run.outcome().warmup_seconds, 0.25);
    EXPECT_EQ(run.outcome().measurement_seconds, 0.5);
    EXPECT_EQ(run.outcome().workers, 0u);
    expect_clean_and_admitting(*run.environment);
}

TEST(ContainedFailure, IsStoredWhenMemoryRunsOutBuildingARejection) {
    QuorlindRunHandle handle;
    const QuorlindRunConfig config{QUORLIND_ABI_VERSION + 1, QUORLIND_CONFIG_SIZE, 2, 0, 1.0, 2.0};
    std::uint32_t status = 0;
    {
        AllocationsFailUntilTheEnd restore;
        testing::start_failing_allocations();
        status =
            run_entry(&handle, &config, nullptr, nullptr, [] { return std::make_shared<FakeEnvironment>(); });
    }
    EXPECT_EQ(status, status_failed);
    ASSERT_TRUE(handle.outcome);
    EXPECT_EQ(handle.outcome->reason, "native benchmark panicked");
    // The record's other fields were never read.
    EXPECT_EQ(handle.outcome->benchmark, QUORLIND_BENCHMARK_SINGLE);
    EXPECT_EQ(handle.outcome->warmup_seconds, 120.0);
    EXPECT_EQ(handle.outcome->measurement_seconds, 60.0);
}

}  // namespace
}  // namespace quorlind
