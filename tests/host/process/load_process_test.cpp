// A run really disturbed: quorlind-bench and three busy processes share one
// processor for the middle of the measurement, and the tool must say so.
#include "child_process.h"

#include <nlohmann/json.hpp>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sched.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

namespace quorlind::bench {
namespace {

using ::testing::HasSubstr;

// Sets this process's affinity for what it starts next; the old mask comes back at the end.
class PinnedChildren {
public:
    explicit PinnedChildren(int processor) {
        sched_getaffinity(0, sizeof old_, &old_);
        cpu_set_t one;
        CPU_ZERO(&one);
        CPU_SET(processor, &one);
        sched_setaffinity(0, sizeof one, &one);
    }
    ~PinnedChildren() { sched_setaffinity(0, sizeof old_, &old_); }
    PinnedChildren(const PinnedChildren&) = delete;
    PinnedChildren& operator=(const PinnedChildren&) = delete;

private:
    cpu_set_t old_{};
};

// The first processor this process may use.
int usable_processor() {
    cpu_set_t mask;
    CPU_ZERO(&mask);
    sched_getaffinity(0, sizeof mask, &mask);
    for (int i = 0; i < CPU_SETSIZE; ++i) {
        if (CPU_ISSET(i, &mask)) {
            return i;
        }
    }
    return 0;
}

std::vector<pid_t> start_spinners(int count) {
    std::vector<pid_t> pids;
    for (int i = 0; i < count; ++i) {
        const pid_t pid = fork();
        if (pid == 0) {
            for (volatile unsigned long n = 0;; n = n + 1) {
            }
        }
        pids.push_back(pid);
    }
    return pids;
}

void stop(const std::vector<pid_t>& pids) {
    for (const pid_t pid : pids) {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }
}

TEST(LoadProcess, BusyNeighboursOnTheSameProcessorAreNamed) {
    const std::string json_path = "/tmp/quorlind-load-process-" + std::to_string(getpid()) + ".json";
    const int processor = usable_processor();
    std::vector<pid_t> spinners;
    std::unique_ptr<testing::ChildProcess> child;
    {
        const PinnedChildren pinned(processor);
        child = std::make_unique<testing::ChildProcess>(std::vector<std::string>{
            QUORLIND_BENCH_EXECUTABLE, "--warmup", "0.5", "--measure", "4", "--json", json_path});
        ASSERT_TRUE(child->wait_for_stderr("measurement", std::chrono::seconds(60)));
        // From about 1.2 s to 3 s of the measurement: the interval 2 s ends is disturbed throughout.
        std::this_thread::sleep_for(std::chrono::milliseconds(1200));
        spinners = start_spinners(3);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1800));
    stop(spinners);
    const auto result = child->finish(std::chrono::seconds(60));
    ASSERT_EQ(result.exit_code, 0) << result.err;

    std::ifstream file(json_path);
    const auto document = nlohmann::json::parse(file);
    std::remove(json_path.c_str());
    const auto& load = document.at("runs").at(0).at("load");
    const auto& intervals = load.at("intervals");
    ASSERT_GE(intervals.size(), 3u);
    // Other helpers load the machine too, so the figures are judged against
    // each other: the interval the spinners filled against the run's best.
    double best = 0.0;
    for (const auto& interval : intervals) {
        if (!interval.at("worker_cpu_share").is_null()) {
            best = std::max(best, interval.at("worker_cpu_share").get<double>());
        }
    }
    const auto& disturbed = intervals.at(1);
    ASSERT_FALSE(disturbed.at("worker_cpu_share").is_null());
    EXPECT_LT(disturbed.at("worker_cpu_share").get<double>(), 0.7 * best) << load.dump();
    EXPECT_GE(disturbed.at("other_processes_cpus").get<double>(), 1.0 / 3.0) << load.dump();
    EXPECT_EQ(load.at("disturbed"), true);
    ASSERT_FALSE(load.at("causes").empty());
    EXPECT_EQ(load.at("causes").at(0).at("kind"), "other_processes");
    EXPECT_THAT(load.at("causes").at(0).at("intervals").dump(), HasSubstr("1"));
    EXPECT_THAT(result.out, HasSubstr("disturbed: other processes used"));
}

}  // namespace
}  // namespace quorlind::bench
