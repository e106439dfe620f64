/*
 * quorlind.h - the C interface of the Quorlind processor-throughput benchmark.
 *
 * A host creates a run handle, fills a QuorlindRunConfig (usually from
 * quorlind_default_config), calls quorlind_run, which blocks for the whole
 * run, then reads the summary, the interval samples and the reason text
 * before freeing the handle. A handle serves exactly one run.
 *
 * Every record is little-endian, naturally aligned and free of gaps; the
 * layouts below are the binary interface and are checked at compile time.
 * Versions with the same QUORLIND_ABI_VERSION are binary compatible.
 */
#ifndef QUORLIND_H
#define QUORLIND_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#  if defined(QUORLIND_BUILDING_SHARED) && defined(QUORLIND_USING_SHARED)
#    error "define QUORLIND_BUILDING_SHARED or QUORLIND_USING_SHARED, not both"
#  elif defined(QUORLIND_BUILDING_SHARED)
#    define QUORLIND_EXTERN __declspec(dllexport)
#  elif defined(QUORLIND_USING_SHARED)
#    define QUORLIND_EXTERN __declspec(dllimport)
#  else
#    define QUORLIND_EXTERN /* static use */
#  endif
#elif defined(__GNUC__) && __GNUC__ >= 4
#  define QUORLIND_EXTERN __attribute__((visibility("default")))
#else
#  define QUORLIND_EXTERN
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Version of this C interface; quorlind_abi_version() returns the same. */
#define QUORLIND_ABI_VERSION 1u
/* Size in bytes of QuorlindRunConfig; goes into its struct_size field. */
#define QUORLIND_CONFIG_SIZE 32u
/* Library version text; quorlind_version() returns the same. */
#define QUORLIND_VERSION_STRING "0.0.2"

/* BenchmarkKind: how many worker threads a run uses. */
#define QUORLIND_BENCHMARK_SINGLE 1u  /* one worker thread */
#define QUORLIND_BENCHMARK_PER_CPU 2u /* one worker per logical processor */

/* RunStatus: the result of quorlind_run and RunSummary.status. */
#define QUORLIND_STATUS_COMPLETED 0u
#define QUORLIND_STATUS_CANCELLED 1u
#define QUORLIND_STATUS_FAILED 2u

/* ProgressPhase: QuorlindProgressEvent.phase. 3 to 5 mark the final event. */
#define QUORLIND_PHASE_WARMUP 1u
#define QUORLIND_PHASE_MEASUREMENT 2u
#define QUORLIND_PHASE_COMPLETED 3u
#define QUORLIND_PHASE_CANCELLED 4u
#define QUORLIND_PHASE_FAILED 5u

/* Configuration of one run; read by quorlind_run, never kept. */
typedef struct QuorlindRunConfig {
    uint32_t abi_version;       /* must be QUORLIND_ABI_VERSION */
    uint32_t struct_size;       /* must be QUORLIND_CONFIG_SIZE */
    uint32_t benchmark;         /* QUORLIND_BENCHMARK_* */
    uint32_t reserved;          /* must be 0 */
    double warmup_seconds;      /* finite, >= 0; default 120.0 */
    double measurement_seconds; /* finite, > 0; default 60.0 */
} QuorlindRunConfig;

/* Results of a finished run; written whole by quorlind_result.
 * Fields without a value for the run hold 0 or 0.0. */
typedef struct QuorlindRunSummary {
    uint32_t abi_version;       /* always QUORLIND_ABI_VERSION */
    uint32_t status;            /* QUORLIND_STATUS_*, as quorlind_run returned */
    uint32_t benchmark;         /* 1 when no usable configuration was given */
    uint32_t workers;           /* worker threads used; 0 if never chosen */
    double ops_per_second;      /* throughput; only for status 0 */
    double warmup_seconds;      /* bit for bit as passed (120.0 if unusable) */
    double measurement_seconds; /* bit for bit as passed (60.0 if unusable) */
    double measured_seconds;    /* longest time any worker measured */
    double variation_percent;   /* valid only when has_variation is 1 */
    uint64_t total_operations;  /* kernel calls measured, all workers */
    uint64_t checksum;          /* XOR of every worker's last kernel result */
    uint64_t sample_count;      /* records readable through quorlind_sample */
    uint32_t unstable;          /* 1 when variation_percent > 10.0 */
    uint32_t has_variation;     /* 1 when variation_percent holds a value */
} QuorlindRunSummary;

/* One measured interval; intervals tile the measured time in order. */
typedef struct QuorlindIntervalSample {
    double end_seconds;      /* end of the interval since the end of warm-up */
    double duration_seconds; /* length of the interval, > 0 */
    uint64_t operations;     /* kernel calls in the interval, all workers */
    double ops_per_second;   /* operations / duration_seconds */
} QuorlindIntervalSample;

/* Progress of a running run; valid only during the callback. */
typedef struct QuorlindProgressEvent {
    uint32_t phase;               /* QUORLIND_PHASE_* */
    uint32_t workers;             /* worker threads of the run */
    double progress;              /* elapsed fraction of the whole run, 0..1 */
    double phase_elapsed_seconds; /* final event: measured_seconds */
    double phase_seconds;         /* final event: configured measurement */
    uint64_t operations;          /* so far in this phase; final: total */
} QuorlindProgressEvent;

/* Called on the thread inside quorlind_run, never concurrently with itself.
 * It may call quorlind_cancel and the queries, but not quorlind_free. */
typedef void (*QuorlindProgressCallback)(const QuorlindProgressEvent *event,
                                         void *user_data);

/* Opaque run handle. */
typedef struct QuorlindRunHandle QuorlindRunHandle;

/* Returns QUORLIND_ABI_VERSION. Thread-safe. */
QUORLIND_EXTERN uint32_t quorlind_abi_version(void);

/* Returns the static text "0.0.2". Thread-safe; never free it. */
QUORLIND_EXTERN const char *quorlind_version(void);

/* Writes the default configuration (kind 1, 120 s warm-up, 60 s measurement).
 * Returns 1, or 0 when config is null. Thread-safe. */
QUORLIND_EXTERN int32_t quorlind_default_config(QuorlindRunConfig *config);

/* Creates a run handle. Returns null if it cannot be created. */
QUORLIND_EXTERN QuorlindRunHandle *quorlind_create(void);

/* Frees a handle and everything it owns, including the reason text.
 * Null does nothing. No other call on the handle may be executing. */
QUORLIND_EXTERN void quorlind_free(QuorlindRunHandle *handle);

/* Asks the handle's run to stop. Any thread, any time, also from inside the
 * progress callback; never blocks. Before the run: it ends as "cancelled
 * before starting". Null does nothing. */
QUORLIND_EXTERN void quorlind_cancel(QuorlindRunHandle *handle);

/* Runs the benchmark on the calling thread and returns a QUORLIND_STATUS_*.
 * Blocks for warm-up + measurement plus workload building. Returns 2 at once,
 * storing nothing, for a null handle or a handle that already ran. One run
 * at a time per process: a concurrent run fails with
 * "another benchmark is already running". callback may be null; user_data is
 * only handed back to it. */
QUORLIND_EXTERN uint32_t quorlind_run(QuorlindRunHandle *handle,
                                      const QuorlindRunConfig *config,
                                      QuorlindProgressCallback callback,
                                      void *user_data);

/* Writes the summary of the finished run. Returns 1, or 0 (summary not
 * written) for a null argument or while no outcome exists. Thread-safe. */
QUORLIND_EXTERN int32_t quorlind_result(QuorlindRunHandle *handle,
                                        QuorlindRunSummary *summary);

/* Writes sample `index` (0 .. sample_count-1). Returns 1, or 0 (sample not
 * written) for a null argument, no outcome or an index out of range. */
QUORLIND_EXTERN int32_t quorlind_sample(QuorlindRunHandle *handle,
                                        uint64_t index,
                                        QuorlindIntervalSample *sample);

/* The run's reason text: "" for a completed run, else why it did not
 * complete. Null while no outcome exists. Owned by the handle and valid,
 * unchanged, until quorlind_free. */
QUORLIND_EXTERN const char *quorlind_reason(QuorlindRunHandle *handle);

#ifdef __cplusplus
} /* extern "C" */
#endif

/* Layout checks: the records are a binary interface. */
#if defined(__cplusplus)
#  define QUORLIND_STATIC_ASSERT(condition, text) static_assert(condition, text)
#elif defined(__STDC_VERSION__) && __STDC_VERSION__ >= 201112L
#  define QUORLIND_STATIC_ASSERT(condition, text) _Static_assert(condition, text)
#else /* C99: a negative array size stops the compilation instead */
#  define QUORLIND_CONCAT_(a, b) a##b
#  define QUORLIND_CONCAT(a, b) QUORLIND_CONCAT_(a, b)
#  define QUORLIND_STATIC_ASSERT(condition, text) \
    typedef char QUORLIND_CONCAT(quorlind_layout_check_, __LINE__)[(condition) ? 1 : -1]
#endif

QUORLIND_STATIC_ASSERT(sizeof(QuorlindRunConfig) == 32, "RunConfig is 32 bytes");
QUORLIND_STATIC_ASSERT(offsetof(QuorlindRunConfig, benchmark) == 8, "RunConfig.benchmark");
QUORLIND_STATIC_ASSERT(offsetof(QuorlindRunConfig, reserved) == 12, "RunConfig.reserved");
QUORLIND_STATIC_ASSERT(offsetof(QuorlindRunConfig, warmup_seconds) == 16, "RunConfig.warmup_seconds");
QUORLIND_STATIC_ASSERT(offsetof(QuorlindRunConfig, measurement_seconds) == 24,
                       "RunConfig.measurement_seconds");

QUORLIND_STATIC_ASSERT(sizeof(QuorlindRunSummary) == 88, "RunSummary is 88 bytes");
QUORLIND_STATIC_ASSERT(offsetof(QuorlindRunSummary, ops_per_second) == 16, "RunSummary.ops_per_second");
QUORLIND_STATIC_ASSERT(offsetof(QuorlindRunSummary, warmup_seconds) == 24, "RunSummary.warmup_seconds");
QUORLIND_STATIC_ASSERT(offsetof(QuorlindRunSummary, measured_seconds) == 40, "RunSummary.measured_seconds");
QUORLIND_STATIC_ASSERT(offsetof(QuorlindRunSummary, variation_percent) == 48,
                       "RunSummary.variation_percent");
QUORLIND_STATIC_ASSERT(offsetof(QuorlindRunSummary, total_operations) == 56,
                       "RunSummary.total_operations");
QUORLIND_STATIC_ASSERT(offsetof(QuorlindRunSummary, checksum) == 64, "RunSummary.checksum");
QUORLIND_STATIC_ASSERT(offsetof(QuorlindRunSummary, sample_count) == 72, "RunSummary.sample_count");
QUORLIND_STATIC_ASSERT(offsetof(QuorlindRunSummary, unstable) == 80, "RunSummary.unstable");
QUORLIND_STATIC_ASSERT(offsetof(QuorlindRunSummary, has_variation) == 84, "RunSummary.has_variation");

QUORLIND_STATIC_ASSERT(sizeof(QuorlindIntervalSample) == 32, "IntervalSample is 32 bytes");
QUORLIND_STATIC_ASSERT(offsetof(QuorlindIntervalSample, operations) == 16, "IntervalSample.operations");
QUORLIND_STATIC_ASSERT(offsetof(QuorlindIntervalSample, ops_per_second) == 24,
                       "IntervalSample.ops_per_second");

QUORLIND_STATIC_ASSERT(sizeof(QuorlindProgressEvent) == 40, "ProgressEvent is 40 bytes");
QUORLIND_STATIC_ASSERT(offsetof(QuorlindProgressEvent, progress) == 8, "ProgressEvent.progress");
QUORLIND_STATIC_ASSERT(offsetof(QuorlindProgressEvent, phase_seconds) == 24, "ProgressEvent.phase_seconds");
QUORLIND_STATIC_ASSERT(offsetof(QuorlindProgressEvent, operations) == 32, "ProgressEvent.operations");

#undef QUORLIND_STATIC_ASSERT

#endif /* QUORLIND_H */
