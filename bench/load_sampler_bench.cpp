// What the load sampler costs the host: one reading of this process's files
// with 2 and 256 threads named as the library names its workers, and one of
// a recorded tree of 256 workers' files. The sampler reads the events either
// side of each interval cut, so two readings a second; the "core_share"
// counter is the processor time of that, as a share of one processor: on a
// busy machine the wall time also counts the other processes' turns.
#include <benchmark/benchmark.h>

#include "run/linux/load_files.h"

#include <pthread.h>
#include <time.h>

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

namespace quorlind::bench {
namespace {

constexpr double readings_per_second = 2.0;

double thread_cpu_seconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

double fastest(const std::vector<double>& repetitions) {
    return *std::min_element(repetitions.begin(), repetitions.end());
}

// Threads named quorlind-0 .. quorlind-(n-1), asleep until destroyed.
class NamedThreads {
public:
    explicit NamedThreads(int count) {
        for (int i = 0; i < count; ++i) {
            threads_.emplace_back([this, i] {
                pthread_setname_np(pthread_self(), ("quorlind-" + std::to_string(i)).c_str());
                std::unique_lock<std::mutex> lock(mutex_);
                ++started_;
                changed_.notify_all();
                changed_.wait(lock, [this] { return stop_; });
            });
        }
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this, count] { return started_ == count; });
    }
    ~NamedThreads() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        changed_.notify_all();
        for (auto& thread : threads_) {
            thread.join();
        }
    }
    NamedThreads(const NamedThreads&) = delete;
    NamedThreads& operator=(const NamedThreads&) = delete;

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int started_ = 0;
    bool stop_ = false;
    std::vector<std::thread> threads_;
};

void time_readings(benchmark::State& bench, LoadProbe& probe, std::uint32_t workers) {
    if (probe.find_workers(workers) != workers) {
        bench.SkipWithError("the workers were not found");
        return;
    }
    const double start = thread_cpu_seconds();
    for (auto _ : bench) {
        LoadReading reading;
        probe.read(reading);
        benchmark::DoNotOptimize(reading.workers.data());
    }
    const double per_reading = (thread_cpu_seconds() - start) / static_cast<double>(bench.iterations());
    bench.counters["core_share"] = readings_per_second * per_reading;
}

void BM_SampleThisProcess(benchmark::State& bench) {
    const auto workers = static_cast<std::uint32_t>(bench.range(0));
    NamedThreads threads(static_cast<int>(workers));
    auto probe = make_load_probe();
    time_readings(bench, *probe, workers);
}
BENCHMARK(BM_SampleThisProcess)->Arg(2)->Arg(256)->ComputeStatistics("min", fastest);

// The desktop recording's worker files, copied to 256 tasks on 256 processors.
std::filesystem::path recorded_tree(std::uint32_t workers) {
    namespace fs = std::filesystem;
    const fs::path source = fs::path(QUORLIND_LOAD_DATA_DIR) / "desktop";
    fs::path tree = fs::temp_directory_path() / ("quorlind-load-tree-" + std::to_string(::getpid()));
    fs::remove_all(tree);
    fs::copy(source, tree, fs::copy_options::recursive);
    const fs::path task = tree / "proc/self/task";
    const fs::path model = task / "21256";
    for (std::uint32_t i = 0; i < workers; ++i) {
        const fs::path dir = task / std::to_string(30000 + i);
        fs::copy(model, dir, fs::copy_options::recursive);
        std::ofstream(dir / "comm") << "quorlind-" << i << "\n";
        const fs::path cpufreq = tree / ("sys/devices/system/cpu/cpu" + std::to_string(i)) / "cpufreq";
        fs::create_directories(cpufreq);
        std::ofstream(cpufreq / "scaling_cur_freq") << 3400000 + i << "\n";
    }
    return tree;
}

void BM_SampleRecordedTree(benchmark::State& bench) {
    const auto workers = static_cast<std::uint32_t>(bench.range(0));
    const auto tree = recorded_tree(workers);
    {
        auto probe = linux_load::make_probe(tree);
        time_readings(bench, *probe, workers);
    }
    std::filesystem::remove_all(tree);
}
BENCHMARK(BM_SampleRecordedTree)->Arg(256)->ComputeStatistics("min", fastest);

}  // namespace
}  // namespace quorlind::bench

BENCHMARK_MAIN();
