#include "lib/run_watch.h"

#include <functional>
#include <vector>

#include <gtest/gtest.h>

namespace quorlind {
namespace {

constexpr TimeSpan milliseconds(std::uint32_t ms) { return {0, ms * 1000000u}; }

ClockInstant later(ClockInstant t, TimeSpan span) { return *checked_add(t, span); }

// Time that passes only while the loop sleeps: each sleep lasts what was
// asked plus a scripted lateness, and the next pass reads the time it woke.
struct SimulatedTime {
    ClockInstant current{1000, 0};
    std::vector<TimeSpan> sleeps;       // as the loop asked for them
    std::vector<ClockInstant> wakeups;  // when each sleep ended: the next pass
    std::function<TimeSpan(std::size_t sleep)> lateness = [](std::size_t) {
        return TimeSpan{};
    };
    std::function<void(ClockInstant from, ClockInstant to)> meanwhile = [](ClockInstant, ClockInstant) {
    };

    void sleep(TimeSpan span) {
        const ClockInstant from = current;
        current = later(later(current, span), lateness(sleeps.size()));
        sleeps.push_back(span);
        meanwhile(from, current);
        wakeups.push_back(current);
    }
};

struct SeenEvent {
    ClockInstant at;
    ProgressEvent event;
};

struct WatchedRun {
    SimulatedTime time;
    WorkerCounters counters[2];
    CancelFlag cancel;
    std::vector<SeenEvent> events;
    std::vector<IntervalSample> samples;
    std::function<void()> on_event = [] {
    };
    MeasurementPlan plan;

    WatchedRun(TimeSpan warmup, TimeSpan measurement)
        : plan{*Timing::from_lengths(time.current, warmup, measurement), warmup, measurement, 2} {}

    void watch() {
        const WorkerCounters* views[] = {&counters[0], &counters[1]};
        detail::watch(
            plan, views, cancel,
            [this](const ProgressEvent& event) {
                events.push_back({time.current, event});
                on_event();
            },
            samples, [this] { return time.current; }, [this](TimeSpan span) { time.sleep(span); });
    }

    // The pass on which the loop ended.
    ClockInstant last_pass() const { return time.wakeups.empty() ? plan.timing.start : time.wakeups.back(); }
};

TEST(WatchLoop, EventsKeepTheirSpacingAndMarkEveryPhaseChange) {
    WatchedRun run(milliseconds(350), milliseconds(600));
    // Sleeps overrun by 0 to 3 ms, as a loaded system's do.
    run.time.lateness = [](std::size_t sleep) {
        return TimeSpan{0, static_cast<std::uint32_t>(sleep * 7 % 4) * 1000000u};
    };
    run.watch();

    const TimeSpan most_apart = milliseconds(100 + 10 + 3);  // the interval, one poll, its lateness
    ASSERT_FALSE(run.events.empty());
    EXPECT_EQ(run.events.front().at, run.plan.timing.start);
    EXPECT_EQ(run.events.front().event.phase, QUORLIND_PHASE_WARMUP);
    int phase_changes = 0;
    for (std::size_t i = 1; i < run.events.size(); ++i) {
        const SeenEvent& previous = run.events[i - 1];
        const SeenEvent& event = run.events[i];
        EXPECT_GE(event.event.progress, previous.event.progress);
        if (event.event.phase != previous.event.phase) {
            ++phase_changes;
            EXPECT_EQ(event.event.phase, QUORLIND_PHASE_MEASUREMENT);
            // On the first pass at or after warm_end, however recent the last event.
            EXPECT_GE(event.at, run.plan.timing.warm_end);
            EXPECT_EQ(event.event.phase_elapsed_seconds,
                      to_seconds(saturating_since(event.at, run.plan.timing.warm_end)));
            for (const ClockInstant pass : run.time.wakeups) {
                EXPECT_FALSE(pass >= run.plan.timing.warm_end && pass < event.at);
            }
            continue;
        }
        const TimeSpan apart = saturating_since(event.at, previous.at);
        EXPECT_GE(apart, event_interval) << "event " << i;
        EXPECT_LE(apart, most_apart) << "event " << i;
    }
    EXPECT_EQ(phase_changes, 1);
    for (const SeenEvent& seen : run.events) {
        EXPECT_LE(seen.event.progress, 1.0);
        EXPECT_LE(seen.event.phase_elapsed_seconds, seen.event.phase_seconds);
        EXPECT_EQ(seen.event.workers, 2u);
    }
    EXPECT_GE(run.last_pass(), run.plan.timing.end);
    EXPECT_LE(saturating_since(run.last_pass(), run.plan.timing.end), milliseconds(3));
}

TEST(WatchLoop, SleepBeforeTheEndIsShortenedToReachIt) {
    WatchedRun run({}, milliseconds(25));
    run.watch();
    const std::vector<TimeSpan> expected{milliseconds(10), milliseconds(10), milliseconds(5)};
    EXPECT_EQ(run.time.sleeps, expected);
    EXPECT_EQ(run.last_pass(), run.plan.timing.end);
}

TEST(WatchLoop, PassThatSeesTheEndLateIsClampedAndCutsNoSample) {
    // Over a second past the last cut, but past the end as well.
    WatchedRun run({}, milliseconds(900));
    run.time.lateness = [](std::size_t sleep) {
        return sleep == 0 ? TimeSpan{1, 200000000} : TimeSpan{};
    };
    run.time.meanwhile = [&run](ClockInstant, ClockInstant) {
        run.counters[1].measured_ops += 80;
    };
    run.watch();

    ASSERT_EQ(run.time.wakeups.size(), 1u);
    EXPECT_TRUE(run.samples.empty());
    ASSERT_EQ(run.events.size(), 2u);
    const ProgressEvent& late = run.events.back().event;
    EXPECT_EQ(late.phase, QUORLIND_PHASE_MEASUREMENT);
    EXPECT_EQ(late.phase_elapsed_seconds, 0.9);
    EXPECT_EQ(late.phase_seconds, 0.9);
    EXPECT_EQ(late.progress, 1.0);
    EXPECT_EQ(late.operations, 80u);
}

TEST(WatchLoop, SamplesAreCutOnPassesBeforeTheEndOnly) {
    WatchedRun run({}, {2, 500000000});
    // Worker 0 does 8 operations and worker 1 16 per sleep; the loop sums both.
    run.time.meanwhile = [&run](ClockInstant, ClockInstant) {
        run.counters[0].measured_ops += 8;
        run.counters[1].measured_ops += 16;
    };
    run.watch();

    // Passes every 10 ms: cuts at 1.0 s and 2.0 s, none on the pass at the end (2.5 s).
    ASSERT_EQ(run.samples.size(), 2u);
    EXPECT_EQ(run.samples[0].end_seconds, 1.0);
    EXPECT_EQ(run.samples[0].operations, 100u * 24u);
    EXPECT_EQ(run.samples[1].end_seconds, 2.0);
    EXPECT_EQ(run.samples[1].duration_seconds, 1.0);
    EXPECT_EQ(run.samples[1].operations, 100u * 24u);
    EXPECT_EQ(run.last_pass(), run.plan.timing.end);
    EXPECT_EQ(run.events.back().event.operations, 250u * 24u);
}

TEST(WatchLoop, CancellationIsNoticedWithinOnePoll) {
    WatchedRun run({1, 0}, {1, 0});
    const ClockInstant cancelled_at = later(run.plan.timing.start, milliseconds(333));
    run.time.meanwhile = [&](ClockInstant from, ClockInstant to) {
        if (from < cancelled_at && to >= cancelled_at) {
            run.cancel.request();
        }
    };
    run.watch();

    // The first pass after the cancel is the last one.
    ASSERT_GE(run.time.wakeups.size(), 2u);
    EXPECT_LT(run.time.wakeups[run.time.wakeups.size() - 2], cancelled_at);
    EXPECT_LE(saturating_since(run.last_pass(), cancelled_at), poll_interval);
    EXPECT_TRUE(run.samples.empty());

    // A cancel from the host's callback ends the loop on that very pass.
    WatchedRun from_callback({}, {1, 0});
    from_callback.on_event = [&from_callback] {
        from_callback.cancel.request();
    };
    from_callback.watch();
    EXPECT_TRUE(from_callback.time.sleeps.empty());
    ASSERT_EQ(from_callback.events.size(), 1u);
    EXPECT_EQ(from_callback.events[0].event.phase, QUORLIND_PHASE_MEASUREMENT);
}

}  // namespace
}  // namespace quorlind
