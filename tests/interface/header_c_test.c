/* Compiled as C99: the public header must serve C hosts as it is. Every type
 * and every function declaration is used, so a declaration that only C++
 * accepts stops this file from compiling. */
#include "quorlind.h"

#include <stdio.h>
#include <string.h>

static unsigned events_seen;

static void on_progress(const QuorlindProgressEvent* event, void* user_data) {
    (void)event;
    (void)user_data;
    ++events_seen;
}

int main(void) {
    uint32_t (*abi_version)(void) = quorlind_abi_version;
    const char* (*version)(void) = quorlind_version;
    int32_t (*default_config)(QuorlindRunConfig*) = quorlind_default_config;
    QuorlindRunHandle* (*create)(void) = quorlind_create;
    void (*free_handle)(QuorlindRunHandle*) = quorlind_free;
    void (*cancel)(QuorlindRunHandle*) = quorlind_cancel;
    uint32_t (*run)(QuorlindRunHandle*, const QuorlindRunConfig*, QuorlindProgressCallback, void*) =
        quorlind_run;
    int32_t (*result)(QuorlindRunHandle*, QuorlindRunSummary*) = quorlind_result;
    int32_t (*sample)(QuorlindRunHandle*, uint64_t, QuorlindIntervalSample*) = quorlind_sample;
    const char* (*reason)(QuorlindRunHandle*) = quorlind_reason;

    QuorlindProgressCallback callback = on_progress;
    QuorlindProgressEvent event;
    QuorlindRunConfig config;
    QuorlindRunSummary summary;
    QuorlindIntervalSample interval;
    QuorlindRunHandle* handle;
    int failures = 0;

    memset(&event, 0, sizeof event);
    callback(&event, NULL);

    if (abi_version() != 1u || abi_version() != QUORLIND_ABI_VERSION) {
        fprintf(stderr, "quorlind_abi_version() is %u, not 1\n", (unsigned)abi_version());
        ++failures;
    }
    if (strcmp(version(), QUORLIND_VERSION_STRING) != 0) {
        fprintf(stderr, "quorlind_version() is \"%s\"\n", version());
        ++failures;
    }
    if (default_config(&config) != 1 || config.struct_size != QUORLIND_CONFIG_SIZE) {
        fprintf(stderr, "quorlind_default_config() did not fill the record\n");
        ++failures;
    }

    handle = create();
    if (handle == NULL) {
        fprintf(stderr, "quorlind_create() returned null\n");
        return 1;
    }
    if (result(handle, &summary) != 0 || sample(handle, 0, &interval) != 0 || reason(handle) != NULL) {
        fprintf(stderr, "a fresh handle reported an outcome\n");
        ++failures;
    }
    cancel(handle);
    if (run(NULL, &config, callback, NULL) != QUORLIND_STATUS_FAILED) {
        fprintf(stderr, "quorlind_run() accepted a null handle\n");
        ++failures;
    }
    free_handle(handle);

    if (events_seen != 1u) {
        fprintf(stderr, "the progress callback ran %u times\n", events_seen);
        ++failures;
    }
    return failures == 0 ? 0 : 1;
}
