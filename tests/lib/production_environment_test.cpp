#include <algorithm>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "../stress/process_probe.h"
#include "../support/thread_probe.h"
#include "lib/coordinator.h"
#include "lib/run_environment.h"

namespace quorlind {
namespace {

// The production environment, unchanged but for a look from inside each
// worker: build_workload runs on the worker's own thread, so it notes what
// that thread is before building as production does.
class WatchedProductionEnvironment : public ProductionEnvironment {
public:
    struct Worker {
        std::uint64_t index;
        std::string name;
        std::size_t stack_bytes;
        std::thread::id thread;
        std::string processors;
    };

    Expected<WorkloadState> build_workload(std::uint64_t index) override {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            workers_.push_back({index, testing::current_thread_name(), testing::current_thread_stack_bytes(),
                                std::this_thread::get_id(), testing::current_thread_processors()});
        }
        return ProductionEnvironment::build_workload(index);
    }

    std::vector<Worker> workers() {
        const std::lock_guard<std::mutex> lock(mutex_);
        std::vector<Worker> sorted = workers_;
        std::sort(sorted.begin(), sorted.end(),
                  [](const Worker& a, const Worker& b) { return a.index < b.index; });
        return sorted;
    }

private:
    std::mutex mutex_;
    std::vector<Worker> workers_;
};

TEST(ProductionEnvironment, KindTwoRunsOneNamedWorkerPerProcessorOnATwoMiBStack) {
    auto environment = std::make_shared<WatchedProductionEnvironment>();
    const std::uint64_t processors = platform::logical_processor_count();
    ASSERT_GE(processors, 1u);
    // Only Windows machines of several processor groups place their workers;
    // everywhere else each worker may run where the thread that started it may.
    const bool placed = !platform::available_processors().groups.empty();
    const std::string inherited = testing::current_thread_processors();

    // What the system lists while the workers run (Linux: /proc/self/task/*/comm),
    // once the threads of earlier tests have gone.
    ASSERT_EQ(testing::worker_threads_after_settling().value_or(std::vector<std::string>{}),
              std::vector<std::string>{});
    bool asked = false;
    std::optional<std::vector<std::string>> listed;
    const RunOutcome outcome = run_benchmark(
        QUORLIND_BENCHMARK_PER_CPU, {}, {0, 200000000}, std::make_shared<CancelFlag>(),
        [&](const ProgressEvent&) {
            if (!asked) {
                asked = true;
                listed = testing::worker_thread_names();
            }
        },
        environment);

    ASSERT_EQ(outcome.status, status_completed) << outcome.message;
    EXPECT_EQ(outcome.workers, processors);
    std::vector<std::string> expected_names;
    for (std::uint64_t i = 0; i < processors; ++i) {
        expected_names.push_back("quorlind-" + std::to_string(i));
    }

    const auto workers = environment->workers();
    ASSERT_EQ(workers.size(), processors);
    const bool names_shown = !workers.front().name.empty();
    for (std::uint64_t i = 0; i < processors; ++i) {
        EXPECT_EQ(workers[i].index, i);
        EXPECT_GE(workers[i].stack_bytes, worker_stack_bytes) << "worker " << i;
        // Where the system shows no thread names (Windows before
        // SetThreadDescription), what is checked instead is that every
        // worker ran on a thread of its own.
        if (names_shown) {
            EXPECT_EQ(workers[i].name, expected_names[i]);
        }
        EXPECT_NE(workers[i].thread, std::this_thread::get_id());
        if (!placed) {
            EXPECT_EQ(workers[i].processors, inherited) << "worker " << i;
        }
        for (std::uint64_t j = 0; j < i; ++j) {
            EXPECT_NE(workers[i].thread, workers[j].thread);
        }
    }

    ASSERT_TRUE(asked);
    if (listed) {
        std::sort(listed->begin(), listed->end());
        std::sort(expected_names.begin(), expected_names.end());
        EXPECT_EQ(*listed, expected_names);
    }
}

TEST(ProductionEnvironment, ProcessorCountIsTheSystemsAndZeroIsUnknown) {
    ProductionEnvironment environment;
    const Expected<std::uint64_t> cpus = environment.available_cpus();
    ASSERT_TRUE(cpus);
    EXPECT_EQ(cpus.value(), platform::logical_processor_count());

    EXPECT_EQ(cpus_from_system_count(5).value(), 5u);
    const Expected<std::uint64_t> none = cpus_from_system_count(0);
    ASSERT_FALSE(none);
    EXPECT_EQ(none.error(), "the number of hardware threads is not known for the target platform");
}

}  // namespace
}  // namespace quorlind
