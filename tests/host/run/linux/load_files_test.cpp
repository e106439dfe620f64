// The Linux probe over recorded trees: data/load-linux/vm was recorded from a
// process with two threads named quorlind-0 and quorlind-1 in a virtual
// machine; desktop is the same recording with a desktop's cpufreq and hwmon
// files and no steal.
#include "run/linux/load_files.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

namespace quorlind::bench::linux_load {
namespace {

using ::testing::HasSubstr;

const std::filesystem::path data = std::filesystem::path(QUORLIND_TEST_DATA_DIR) / "load-linux";

std::uint64_t ticks(std::uint64_t count) { return count * (1'000'000'000 / ::sysconf(_SC_CLK_TCK)); }

const FigureAvailability& find(const std::vector<FigureAvailability>& list, const std::string& figure) {
    for (const auto& entry : list) {
        if (entry.figure == figure) {
            return entry;
        }
    }
    throw std::runtime_error("no availability entry for " + figure);
}

TEST(LinuxLoadFiles, AVirtualMachineGivesTheWorkersAndStealButNoClockOrSensor) {
    auto probe = make_probe(data / "vm");
    ASSERT_EQ(probe->find_workers(2), 2u);
    LoadReading reading;
    probe->read(reading);

    ASSERT_EQ(reading.workers.size(), 2u);
    ASSERT_TRUE(reading.workers[0] && reading.workers[1]);
    EXPECT_EQ(reading.workers[0]->run_nanos, 157508099u);
    EXPECT_EQ(reading.workers[0]->wait_nanos, 244217331u);
    EXPECT_EQ(reading.workers[0]->involuntary_switches, 78u);
    EXPECT_EQ(reading.workers[1]->run_nanos, 169741494u);
    EXPECT_EQ(reading.workers[1]->involuntary_switches, 82u);
    // cpu  51041 78500 12627 11591 386 0 142 280 0 0
    EXPECT_EQ(reading.machine_busy_nanos, ticks(51041 + 78500 + 12627 + 142));
    EXPECT_EQ(reading.machine_total_nanos, ticks(51041 + 78500 + 12627 + 11591 + 386 + 142 + 280));
    EXPECT_EQ(reading.machine_steal_nanos, ticks(280));
    EXPECT_EQ(reading.process_nanos, ticks(36));
    EXPECT_FALSE(reading.clock_mhz);
    EXPECT_FALSE(reading.temperature_celsius);

    const auto availability = probe->availability();
    EXPECT_TRUE(find(availability, "worker_cpu_share").available);
    EXPECT_TRUE(find(availability, "steal_share").available);
    EXPECT_FALSE(find(availability, "clock_mhz").available);
    EXPECT_THAT(find(availability, "clock_mhz").reason, HasSubstr("no cpufreq driver"));
    EXPECT_THAT(find(availability, "temperature_celsius").reason, HasSubstr("no coretemp"));
}

TEST(LinuxLoadFiles, ADesktopGivesTheWorkersClockAndTheHottestCoreSensor) {
    auto probe = make_probe(data / "desktop");
    ASSERT_EQ(probe->find_workers(2), 2u);
    LoadReading reading;
    probe->read(reading);

    // The workers last ran on processors 2 and 3; cpu0's slow clock is not theirs.
    ASSERT_TRUE(reading.clock_mhz);
    EXPECT_DOUBLE_EQ(*reading.clock_mhz, (3600.123 + 3400.0) / 2.0);
    // acpitz is no package sensor, and 255 °C is a saturated one.
    EXPECT_EQ(reading.temperature_celsius, 71.0);
    EXPECT_EQ(reading.machine_steal_nanos, 0u);
    for (const auto& entry : probe->availability()) {
        EXPECT_TRUE(entry.available) << entry.figure << ": " << entry.reason;
    }
}

TEST(LinuxLoadFiles, AThreadThatEndedReadsAsUnknownAndTheRestStays) {
    const auto tree = std::filesystem::temp_directory_path() / ("load-ended-" + std::to_string(::getpid()));
    std::filesystem::remove_all(tree);
    std::filesystem::copy(data / "desktop", tree, std::filesystem::copy_options::recursive);
    auto probe = make_probe(tree);
    ASSERT_EQ(probe->find_workers(2), 2u);
    LoadReading before;
    probe->read(before);
    before.wall_seconds = 0.0;

    std::filesystem::remove_all(tree / "proc/self/task/21257");
    LoadReading after;
    probe->read(after);
    after.wall_seconds = 1.0;
    std::filesystem::remove_all(tree);

    EXPECT_TRUE(after.workers[0]);
    EXPECT_FALSE(after.workers[1]);
    const LoadFigures figures = figures_between(before, after, 2);
    EXPECT_FALSE(figures.worker_cpu_share);
    EXPECT_FALSE(figures.involuntary_switches);
    EXPECT_TRUE(figures.other_processes_cpus);
}

TEST(LinuxLoadFiles, OddTextsReadAsNothing) {
    EXPECT_FALSE(parse_schedstat(""));
    EXPECT_FALSE(parse_schedstat("12 x 3\n"));
    EXPECT_FALSE(parse_schedstat("-5 4 3\n"));
    EXPECT_EQ(parse_schedstat("18446744073709551615 0 1\n")->run_nanos, UINT64_MAX);

    // A thread may name itself anything, parentheses and spaces too.
    std::string stat = "7 (a) b (c) R";
    for (int field = 4; field <= 39; ++field) {
        stat += ' ';
        stat += std::to_string(field == 14 ? 120 : field == 15 ? 7 : field == 39 ? 5 : 0);
    }
    const auto parsed = parse_task_stat(stat + " 0 0\n");
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->user_ticks, 120u);
    EXPECT_EQ(parsed->system_ticks, 7u);
    EXPECT_EQ(parsed->processor, 5);
    EXPECT_FALSE(parse_task_stat("7 (cut short) R 1 2 3\n"));

    EXPECT_EQ(parse_involuntary_switches("voluntary_ctxt_switches:\t3\nnonvoluntary_ctxt_switches:\t9\n"),
              9u);
    EXPECT_FALSE(parse_involuntary_switches("voluntary_ctxt_switches:\t3\n"));
    EXPECT_FALSE(parse_involuntary_switches("nonvoluntary_ctxt_switches:\tmany\n"));

    EXPECT_FALSE(parse_proc_stat("cpu  1 2 3 4\n"));          // a kernel too old for steal
    EXPECT_FALSE(parse_proc_stat("cpu0 1 2 3 4 5 6 7 8\n"));  // no total line first
    EXPECT_FALSE(parse_whole_number("<unsupported>\n"));
    EXPECT_FALSE(celsius_from_millidegrees("-128000\n"));
    EXPECT_EQ(celsius_from_millidegrees("-5000\n"), -5.0);

    EXPECT_EQ(worker_index_from_name("quorlind-12\n"), 12u);
    EXPECT_FALSE(worker_index_from_name("quorlind-\n"));
    EXPECT_FALSE(worker_index_from_name("quorlind-bench\n"));
    EXPECT_FALSE(worker_index_from_name("quorlind-99999999999"));
}

}  // namespace
}  // namespace quorlind::bench::linux_load
