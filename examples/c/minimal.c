/* The smallest complete host: one run, then its summary.
 * Usage: minimal [measurement-seconds]   (default 0.2, no warm-up) */
#include <inttypes.h>
#include <stdio.h>
#include <stdlib.h>

#include <quorlind.h>

int main(int argc, char** argv) {
    QuorlindRunConfig config;
    QuorlindRunSummary summary;
    QuorlindRunHandle* handle;
    uint32_t status;

    quorlind_default_config(&config);
    config.warmup_seconds = 0.0;
    config.measurement_seconds = 0.2;
    if (argc > 1) {
        char* end;
        config.measurement_seconds = strtod(argv[1], &end);
        if (end == argv[1] || *end != '\0') {
            fprintf(stderr, "usage: %s [measurement-seconds]\n", argv[0]);
            return 2;
        }
    }

    handle = quorlind_create();
    if (!handle) {
        fprintf(stderr, "cannot create a run handle\n");
        return 1;
    }
    status = quorlind_run(handle, &config, NULL, NULL);
    if (!quorlind_result(handle, &summary)) {
        fprintf(stderr, "no result\n");
        quorlind_free(handle);
        return 1;
    }

    printf("quorlind %s\n", quorlind_version());
    printf("status:           %s", status == QUORLIND_STATUS_COMPLETED   ? "completed"
                                   : status == QUORLIND_STATUS_CANCELLED ? "cancelled"
                                                                         : "failed");
    /* Empty for a completed run; owned by the handle, so read before freeing. */
    if (*quorlind_reason(handle)) {
        printf(" (%s)", quorlind_reason(handle));
    }
    printf("\n");
    printf("workers:          %" PRIu32 "\n", summary.workers);
    printf("ops per second:   %.1f\n", summary.ops_per_second);
    printf("total operations: %" PRIu64 "\n", summary.total_operations);
    printf("measured seconds: %.3f\n", summary.measured_seconds);
    printf("checksum:         %016" PRIx64 "\n", summary.checksum);
    if (summary.has_variation) {
        printf("variation:        %.2f %%%s\n", summary.variation_percent,
               summary.unstable ? " (unstable)" : "");
    }

    quorlind_free(handle);
    return status == QUORLIND_STATUS_COMPLETED ? 0 : 1;
}
