// Made-up readings tied to made-up samples, the sampler's timing against a
// simulation of the library's watch, and the causes named from the figures.
#include "result/load_causes.h"
#include "run/load_figures.h"
#include "run/load_sampler.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>

namespace quorlind::bench {
namespace {

constexpr double nanos_per_second = 1e9;

// One worker; counters given in seconds.
LoadReading reading(double seconds, double worker_run, double machine_busy, double own) {
    LoadReading r;
    r.phase = QUORLIND_PHASE_MEASUREMENT;
    r.elapsed_seconds = seconds;
    r.wall_seconds = seconds;
    WorkerReading worker;
    worker.run_nanos = static_cast<std::uint64_t>(worker_run * nanos_per_second);
    r.workers = {worker};
    r.machine_busy_nanos = static_cast<std::uint64_t>(machine_busy * nanos_per_second);
    r.process_nanos = static_cast<std::uint64_t>(own * nanos_per_second);
    r.machine_total_nanos = static_cast<std::uint64_t>(2 * seconds * nanos_per_second);
    r.machine_steal_nanos = 0;
    return r;
}

std::vector<QuorlindIntervalSample> samples_ending(const std::vector<double>& ends) {
    std::vector<QuorlindIntervalSample> samples;
    double start = 0.0;
    for (const double end : ends) {
        samples.push_back({end, end - start, 1000, 1000 / (end - start)});
        start = end;
    }
    return samples;
}

TEST(LoadAlignment, EachBoundaryTakesItsNearestReading) {
    // The worker ran all the time but half of 1.04..2.0 s, when another
    // process took a whole processor; an extra reading at 0.5 s is not a boundary.
    const std::vector<LoadReading> readings = {
        reading(0.0, 0.0, 0.0, 0.0), reading(0.5, 0.5, 0.5, 0.5), reading(1.04, 1.04, 1.04, 1.04),
        reading(2.0, 1.52, 2.48, 1.52), reading(2.95, 2.47, 3.43, 2.47)};
    const auto samples = samples_ending({1.01, 2.03, 3.0});
    const RunLoad load = align_readings(readings, samples, 1);

    ASSERT_EQ(load.intervals.size(), 3u);
    EXPECT_NEAR(*load.intervals[0].worker_cpu_share, 1.0, 1e-9);
    EXPECT_NEAR(*load.intervals[0].other_processes_cpus, 0.0, 1e-9);
    EXPECT_NEAR(*load.intervals[1].worker_cpu_share, 0.5, 1e-9);
    EXPECT_NEAR(*load.intervals[1].other_processes_cpus, 1.0, 1e-9);
    EXPECT_NEAR(*load.intervals[2].worker_cpu_share, 1.0, 1e-9);
    EXPECT_NEAR(load.alignment_seconds, 0.05, 1e-9);
    EXPECT_NEAR(*load.measurement.worker_cpu_share, 2.47 / 2.95, 1e-9);
    EXPECT_NEAR(*load.measurement.worker_cpu_seconds, 2.47, 1e-9);
    EXPECT_NEAR(*operations_per_processor_second(2470, load.measurement.worker_cpu_seconds), 1000.0, 1e-6);
    EXPECT_FALSE(operations_per_processor_second(2470, std::nullopt));
    EXPECT_FALSE(load.intervals[0].runqueue_wait_share) << "a figure never read stays empty, not zero";
    EXPECT_FALSE(load.intervals[0].clock_mhz);
}

TEST(LoadAlignment, WrappedCountersDistantReadingsAndTinyIntervalsReadAsUnknown) {
    std::vector<LoadReading> readings = {reading(0.0, 0.0, 0.0, 0.0), reading(1.0, 1.0, 1.0, 1.0),
                                         reading(2.0, 2.0, 2.0, 2.0), reading(3.0, 3.0, 3.0, 3.0)};
    readings[2].machine_busy_nanos = 5;  // wrapped between 1 and 2 s
    RunLoad load = align_readings(readings, samples_ending({1.0, 2.0, 3.0}), 1);
    EXPECT_TRUE(load.intervals[0].other_processes_cpus);
    EXPECT_FALSE(load.intervals[1].other_processes_cpus);
    EXPECT_TRUE(load.intervals[1].worker_cpu_share) << "only the wrapped counter is lost";
    EXPECT_TRUE(load.intervals[2].other_processes_cpus);

    // Nothing read near 2 s: the intervals on both sides are unknown, the run is not.
    readings.erase(readings.begin() + 2);
    load = align_readings(readings, samples_ending({1.0, 2.0, 3.0}), 1);
    EXPECT_TRUE(load.intervals[0].worker_cpu_share);
    EXPECT_FALSE(load.intervals[1].worker_cpu_share);
    EXPECT_FALSE(load.intervals[2].worker_cpu_share);
    EXPECT_NEAR(*load.measurement.worker_cpu_seconds, 3.0, 1e-9);

    // A last interval of 0.02 s has one reading for both of its ends; nothing
    // read near the end leaves the run without its processor time.
    load = align_readings(readings, samples_ending({1.0, 2.99, 3.01}), 1);
    EXPECT_FALSE(load.intervals[2].worker_cpu_share);
    load = align_readings({readings[0], readings[1]}, samples_ending({1.0, 2.0}), 1);
    EXPECT_TRUE(load.measurement.worker_cpu_share);
    EXPECT_FALSE(load.measurement.worker_cpu_seconds);
}

class CountingProbe final : public LoadProbe {
public:
    std::size_t find_workers(std::uint32_t workers) override { return workers; }
    void read(LoadReading& r) override {
        r.workers = {WorkerReading{}};
        r.workers[0]->run_nanos = 0;
    }
    std::vector<FigureAvailability> availability() const override { return {}; }
};

struct PassTrain {
    double pass_seconds;
    double jitter_seconds;
};

// The library's watch as it is: a progress event on the first pass 0.1 s
// after the last, a cut on the first pass 1 s after the last; passes of an
// idle host (10 ms and a little) and of loaded ones, each with one pass half
// a second late, as after a stall.
TEST(LoadSampler, ReadsNearEveryCutOfALongRunWithoutReadingEveryEvent) {
    for (const PassTrain train :
         {PassTrain{0.01006, 0.0001}, PassTrain{0.0103, 0.0005}, PassTrain{0.0108, 0.0008}}) {
        SCOPED_TRACE("pass " + std::to_string(train.pass_seconds));
        LoadSampler sampler(std::make_unique<CountingProbe>());
        const double warmup = 2.0;
        const double measurement = 120.0;
        std::vector<QuorlindIntervalSample> samples;
        double t = 0.0;
        double last_event = -1.0;
        double last_cut = 0.0;
        std::uint32_t last_phase = 0;
        std::uint64_t pass = 0;
        while (t < warmup + measurement) {
            const std::uint32_t phase = t < warmup ? QUORLIND_PHASE_WARMUP : QUORLIND_PHASE_MEASUREMENT;
            const double x = phase == QUORLIND_PHASE_WARMUP ? t : t - warmup;
            if (phase == QUORLIND_PHASE_MEASUREMENT && x - last_cut >= 1.0) {
                samples.push_back({x, x - last_cut, 1, 1.0});
                last_cut = x;
            }
            if (phase != last_phase || t - last_event >= progress_period_seconds) {
                const double length = phase == QUORLIND_PHASE_WARMUP ? warmup : measurement;
                sampler.on_progress({phase, 1, t / (warmup + measurement), x, length, 0}, t);
                last_event = t;
                last_phase = phase;
            }
            ++pass;
            const double jitter = train.jitter_seconds * std::fmod(static_cast<double>(pass) * 0.618034, 1.0);
            t += train.pass_seconds + jitter + (pass == 5000 ? 0.5 : 0.0);
        }
        samples.push_back({measurement, measurement - last_cut, 1, 1.0});

        std::size_t measured_readings = 0;
        for (const auto& r : sampler.readings()) {
            measured_readings += r.phase == QUORLIND_PHASE_MEASUREMENT ? 1 : 0;
        }
        EXPECT_LE(measured_readings, 2 * samples.size() + 4)
            << "the events either side of each cut, and the end";
        const RunLoad load = sampler.figures(samples);
        EXPECT_LE(load.alignment_seconds, progress_period_seconds);
        for (std::size_t i = 0; i < load.intervals.size(); ++i) {
            EXPECT_TRUE(load.intervals[i].worker_cpu_seconds)
                << "interval " << i << " to " << samples[i].end_seconds;
        }
    }
}

// Ten one-second intervals of one worker, quiet unless a test says otherwise.
struct MadeUpRun {
    RunLoad load;
    std::vector<QuorlindIntervalSample> samples = samples_ending({1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    MadeUpRun() {
        load.intervals.resize(10);
        for (auto& figures : load.intervals) {
            figures.worker_cpu_share = 1.0;
            figures.other_processes_cpus = 0.1;
            figures.steal_share = 0.0;
            figures.clock_mhz = 3600.0;
        }
        settle();
    }
    void settle() {
        double share = 0.0;
        for (const auto& figures : load.intervals) {
            share += figures.worker_cpu_share.value_or(0.0) / 10.0;
        }
        load.measurement.worker_cpu_share = share;
    }
};

TEST(LoadCauses, EachSupportedCauseIsNamedStrongestFirstWithItsIntervals) {
    MadeUpRun run;
    for (std::size_t i = 3; i <= 5; ++i) {
        run.load.intervals[i].worker_cpu_share = 0.5;
        run.load.intervals[i].other_processes_cpus = 1.0;
    }
    run.load.intervals[7].steal_share = 0.05;
    run.load.intervals[8].steal_share = 0.05;
    for (std::size_t i = 6; i < 10; ++i) {
        run.load.intervals[i].clock_mhz = 3100.0;
    }
    run.load.intervals[8].temperature_celsius = 96.4;
    // Busy on another processor while the worker had its own: no cause.
    run.load.intervals[9].other_processes_cpus = 1.5;
    run.settle();

    const Disturbance disturbance = judge_disturbance(run.load);
    EXPECT_EQ(disturbance.disturbed, true);
    EXPECT_EQ(disturbance.intervals, (std::vector<std::size_t>{3, 4, 5}));
    const auto causes = name_causes(run.load, run.samples, 1);
    ASSERT_EQ(causes.size(), 4u);
    EXPECT_STREQ(cause_kind_name(causes[0].kind), "other_processes");
    EXPECT_EQ(causes[0].intervals, (std::vector<std::size_t>{3, 4, 5}));
    EXPECT_DOUBLE_EQ(causes[0].figure, 1.0);
    EXPECT_STREQ(cause_kind_name(causes[1].kind), "clock_fall");
    EXPECT_STREQ(cause_kind_name(causes[2].kind), "steal");
    EXPECT_EQ(causes[2].intervals, (std::vector<std::size_t>{7, 8}));
    EXPECT_STREQ(cause_kind_name(causes[3].kind), "temperature");
    EXPECT_EQ(
        describe_load(disturbance, causes),
        "disturbed: other processes used 1.0 processors in 3.0\u20136.0 s, and the worker ran 50 % of that "
        "time; the clock fell from 3.6 to 3.1 GHz at 6.0 s; the hypervisor took 5 % (steal); temperature "
        "rose to 96 \u00B0C");
}

TEST(LoadCauses, QuietDisturbedWithoutEvidenceAndUnknownRunsSaySo) {
    MadeUpRun quiet;
    EXPECT_EQ(describe_load(judge_disturbance(quiet.load), name_causes(quiet.load, quiet.samples, 1)),
              "not disturbed");

    // 96 % of the window, every interval above 90 %: still disturbed.
    MadeUpRun slow;
    for (auto& figures : slow.load.intervals) {
        figures.worker_cpu_share = 0.96;
    }
    slow.settle();
    EXPECT_EQ(describe_load(judge_disturbance(slow.load), name_causes(slow.load, slow.samples, 2)),
              "disturbed: no cause seen in what this machine reports");

    MadeUpRun unknown;
    for (auto& figures : unknown.load.intervals) {
        figures = LoadFigures{};
    }
    unknown.load.measurement = LoadFigures{};
    EXPECT_FALSE(judge_disturbance(unknown.load).disturbed);
    EXPECT_TRUE(name_causes(unknown.load, unknown.samples, 1).empty());
}

TEST(LoadCauses, TheWarmupNoteNeedsAQuarterProcessorOrTwoPercentSteal) {
    LoadFigures warmup;
    warmup.other_processes_cpus = 0.25;
    warmup.steal_share = 0.02;
    EXPECT_FALSE(busy_warmup_note(warmup));
    warmup.other_processes_cpus = 0.94;
    EXPECT_EQ(busy_warmup_note(warmup),
              "the machine is busy: other processes used 0.9 processors during the warm-up");
    warmup.steal_share = 0.031;
    EXPECT_EQ(
        busy_warmup_note(warmup),
        "the machine is busy: other processes used 0.9 processors and the hypervisor took 3 % (steal) during "
        "the warm-up");
    EXPECT_FALSE(busy_warmup_note(LoadFigures{}));
}

}  // namespace
}  // namespace quorlind::bench
