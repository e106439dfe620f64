#include "run/linux/load_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <set>
#include <system_error>

namespace quorlind::bench::linux_load {
namespace {

enum Figure : std::size_t {
    worker_cpu_share,
    runqueue_wait_share,
    involuntary_switches,
    other_processes_cpus,
    steal_share,
    clock_mhz,
    temperature_celsius,
    figure_count
};

constexpr const char* figure_names[figure_count] = {
    "worker_cpu_share", "runqueue_wait_share", "involuntary_switches", "other_processes_cpus",
    "steal_share",      "clock_mhz",           "temperature_celsius"};

// The whole of a small kernel file into `text`; errno on failure. Plain
// system calls: a reading opens a few files per worker every second.
int read_file(const std::string& path, std::string& text) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return errno;
    }
    text.resize(4096);
    std::size_t size = 0;
    for (;;) {
        if (size == text.size()) {
            text.resize(text.size() * 2);
        }
        const ssize_t got = ::read(fd, text.data() + size, text.size() - size);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            const int error = errno;
            ::close(fd);
            return error;
        }
        if (got == 0) {
            break;
        }
        size += static_cast<std::size_t>(got);
    }
    ::close(fd);
    text.resize(size);
    return 0;
}

std::string read_or_empty(const std::filesystem::path& path) {
    std::string text;
    return read_file(path.string(), text) == 0 ? text : std::string();
}

class LinuxProbe final : public LoadProbe {
public:
    explicit LinuxProbe(std::filesystem::path root)
        : root_(std::move(root)),
          nanos_per_tick_(1'000'000'000 / std::max<long>(1, ::sysconf(_SC_CLK_TCK))),
          task_dir_(root_ / "proc/self/task"),
          proc_stat_((root_ / "proc/stat").string()),
          self_stat_((root_ / "proc/self/stat").string()) {
        const auto cpu0 = root_ / "sys/devices/system/cpu/cpu0/cpufreq/scaling_cur_freq";
        std::error_code error;
        has_cpufreq_ = std::filesystem::exists(cpu0, error);
        if (!has_cpufreq_) {
            note(clock_mhz, "no cpufreq driver (usual in a virtual machine)");
        }
        find_sensors();
        if (sensors_.empty()) {
            note(temperature_celsius,
                 "no coretemp, k10temp or zenpower sensor and no x86_pkg_temp thermal zone");
        }
    }

    std::size_t find_workers(std::uint32_t workers) override {
        tasks_.assign(workers, std::string());
        std::size_t found = 0;
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(task_dir_, error)) {
            const auto index = worker_index_from_name(read_or_empty(entry.path() / "comm"));
            if (index && *index < workers && tasks_[*index].empty()) {
                tasks_[*index] = entry.path().string() + "/";
                ++found;
            }
        }
        if (found < workers) {
            for (const Figure figure : {worker_cpu_share, runqueue_wait_share, involuntary_switches}) {
                note(figure, "the worker threads were not found in " + task_dir_.string());
            }
        }
        return found;
    }

    void read(LoadReading& reading) override {
        reading.workers.assign(tasks_.size(), std::nullopt);
        std::set<int> processors;
        for (std::size_t i = 0; i < tasks_.size(); ++i) {
            if (!tasks_[i].empty()) {
                reading.workers[i] = read_worker(tasks_[i], processors);
            }
        }
        if (const auto ticks = parse_or_note(proc_stat_, other_processes_cpus, parse_proc_stat)) {
            reading.machine_busy_nanos = ticks->busy * nanos_per_tick_;
            reading.machine_total_nanos = ticks->total * nanos_per_tick_;
            reading.machine_steal_nanos = ticks->steal * nanos_per_tick_;
            seen_[steal_share] = true;
        }
        if (const auto own = parse_or_note(self_stat_, other_processes_cpus, parse_task_stat)) {
            reading.process_nanos = (own->user_ticks + own->system_ticks) * nanos_per_tick_;
            seen_[other_processes_cpus] = reading.machine_busy_nanos.has_value();
        }
        reading.clock_mhz = read_clock(processors);
        for (const std::string& sensor : sensors_) {
            if (read_file(sensor, text_) == 0) {
                const auto celsius = celsius_from_millidegrees(text_);
                if (celsius && (!reading.temperature_celsius || *celsius > *reading.temperature_celsius)) {
                    reading.temperature_celsius = celsius;
                    seen_[temperature_celsius] = true;
                }
            }
        }
    }

    std::vector<FigureAvailability> availability() const override {
        std::vector<FigureAvailability> list;
        for (std::size_t i = 0; i < figure_count; ++i) {
            FigureAvailability entry{figure_names[i], seen_[i], {}};
            if (!seen_[i]) {
                entry.reason = reasons_[i].empty() ? "not read during the run" : reasons_[i];
            }
            list.push_back(entry);
        }
        return list;
    }

private:
    void note(Figure figure, std::string reason) {
        if (reasons_[figure].empty()) {
            reasons_[figure] = std::move(reason);
        }
    }

    void note_error(Figure figure, const std::string& path, int error) {
        if (error == EACCES || error == EPERM) {
            note(figure, "permission denied reading " + path);
        } else if (error == ENOENT) {
            note(figure, "the kernel offers no " + path);
        }
    }

    template <class Parse>
    auto parse_or_note(const std::string& path, Figure figure, Parse parse)
        -> decltype(parse(std::string_view())) {
        if (const int error = read_file(path, text_); error != 0) {
            note_error(figure, path, error);
            return std::nullopt;
        }
        return parse(text_);
    }

    // A thread that has ended leaves no files, and so no reading.
    std::optional<WorkerReading> read_worker(const std::string& task, std::set<int>& processors) {
        WorkerReading worker;
        if (const auto sched = parse_or_note(task + "schedstat", runqueue_wait_share, parse_schedstat)) {
            worker.run_nanos = sched->run_nanos;
            worker.wait_nanos = sched->wait_nanos;
            seen_[runqueue_wait_share] = seen_[worker_cpu_share] = true;
        }
        // stat only where it adds something: the processor for the clock,
        // or the processor time where the kernel keeps no schedstat.
        if (has_cpufreq_ || !worker.run_nanos) {
            if (const auto stat = parse_or_note(task + "stat", worker_cpu_share, parse_task_stat)) {
                processors.insert(stat->processor);
                if (!worker.run_nanos) {
                    worker.run_nanos = (stat->user_ticks + stat->system_ticks) * nanos_per_tick_;
                    seen_[worker_cpu_share] = true;
                }
            } else if (!worker.run_nanos) {
                return std::nullopt;
            }
        }
        if (const auto switches =
                parse_or_note(task + "status", involuntary_switches, parse_involuntary_switches)) {
            worker.involuntary_switches = switches;
            seen_[involuntary_switches] = true;
        }
        return worker;
    }

    std::optional<double> read_clock(const std::set<int>& processors) {
        if (!has_cpufreq_ || processors.empty()) {
            return std::nullopt;
        }
        double sum_mhz = 0.0;
        std::size_t count = 0;
        for (const int cpu : processors) {
            auto& path = cpufreq_paths_[cpu];
            if (path.empty()) {
                path = (root_ / ("sys/devices/system/cpu/cpu" + std::to_string(cpu)) /
                        "cpufreq/scaling_cur_freq")
                           .string();
            }
            if (const auto khz = parse_or_note(path, clock_mhz, parse_whole_number); khz && *khz > 0) {
                sum_mhz += static_cast<double>(*khz) / 1000.0;
                ++count;
            }
        }
        if (count == 0) {
            return std::nullopt;
        }
        seen_[clock_mhz] = true;
        return sum_mhz / static_cast<double>(count);
    }

    void find_sensors() {
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(root_ / "sys/class/hwmon", error)) {
            const auto name = read_or_empty(entry.path() / "name");
            const auto driver = name.substr(0, name.find('\n'));
            if (driver != "coretemp" && driver != "k10temp" && driver != "zenpower") {
                continue;
            }
            std::error_code inner;
            for (const auto& file : std::filesystem::directory_iterator(entry.path(), inner)) {
                const auto leaf = file.path().filename().string();
                if (leaf.rfind("temp", 0) == 0 && leaf.size() > 6 && leaf.ends_with("_input")) {
                    sensors_.push_back(file.path().string());
                }
            }
        }
        if (!sensors_.empty()) {
            return;
        }
        for (const auto& entry : std::filesystem::directory_iterator(root_ / "sys/class/thermal", error)) {
            if (read_or_empty(entry.path() / "type").starts_with("x86_pkg_temp")) {
                sensors_.push_back((entry.path() / "temp").string());
            }
        }
    }

    std::filesystem::path root_;
    std::uint64_t nanos_per_tick_;
    std::filesystem::path task_dir_;
    std::string proc_stat_;
    std::string self_stat_;
    bool has_cpufreq_ = false;
    std::vector<std::string> tasks_;  // "<root>/proc/self/task/<tid>/" per worker; empty where not found
    std::vector<std::string> sensors_;
    std::map<int, std::string> cpufreq_paths_;
    std::string text_;
    bool seen_[figure_count] = {};
    std::string reasons_[figure_count];
};

}  // namespace

std::unique_ptr<LoadProbe> make_probe(const std::filesystem::path& root) {
    return std::make_unique<LinuxProbe>(root);
}

}  // namespace quorlind::bench::linux_load

namespace quorlind::bench {

std::unique_ptr<LoadProbe> make_load_probe() { return linux_load::make_probe("/"); }

}  // namespace quorlind::bench
