// The harness's own cost and the kernel's speed, in one plain program that
// builds natively and for Windows, so that both platforms measure alike.
//
//   quorlind_figures [--quick] [--only overhead,scaling,responsiveness]
//                    [--rounds N] [--seconds S]
//   quorlind_figures --single-run [--seconds S]
//
// The kernel's figures always come first: the others use them. --single-run
// makes one kind 1 run and nothing else, for counting its instructions under
// callgrind.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "portable/figures.h"

int main(int argc, char** argv) {
    using namespace quorlind::figures;
    Settings settings;
    std::string only = "overhead,scaling,responsiveness";
    bool single_run = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quick") == 0) {
            settings = {true, 0.15, 2};
        } else if (std::strcmp(argv[i], "--single-run") == 0) {
            single_run = true;
        } else if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc) {
            only = argv[++i];
        } else if (std::strcmp(argv[i], "--rounds") == 0 && i + 1 < argc) {
            settings.rounds = std::max(1, std::atoi(argv[++i]));
        } else if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
            settings.run_seconds = std::max(0.01, std::atof(argv[++i]));
        } else {
            std::fprintf(stderr, "usage: %s [--quick] [--only overhead,scaling,responsiveness] [--rounds N] [--seconds S]\n"
                         "       %s --single-run [--seconds S]\n", argv[0], argv[0]);
            return 2;
        }
    }
    const auto wanted = [&](const char* name) { return only.find(name) != std::string::npos; };

    if (single_run) {
        run_once(settings);
        return 0;
    }

    KernelFigures kernel;
    if (!measure_kernel(settings, kernel))
        return 1;
    if (wanted("overhead"))
        measure_overhead(settings);
    if (wanted("scaling"))
        measure_scaling(settings);
    if (wanted("responsiveness"))
        measure_responsiveness(settings, kernel);
    return 0;
}
