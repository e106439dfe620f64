// The harness's own cost, in one plain program that builds natively and for
// Windows, so that both platforms measure alike. The kernel's own speed is
// kernel_bench's, with Google Benchmark.
//
//   quorlind_figures [--quick] [--only overhead,scaling,responsiveness]
//                    [--rounds N] [--seconds S]
//   quorlind_figures --single-run [--seconds S]
//
// --single-run makes one kind 1 run and nothing else, for counting its
// instructions under callgrind. A malformed option is a usage error, exit 2.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "harness/figures.h"

int main(int argc, char** argv) {
    using namespace quorlind::figures;
    CLI::App app{"The harness's own cost: overhead against a bare loop, scaling and responsiveness.",
                 "quorlind_figures"};
    bool quick = false;
    bool single_run = false;
    std::vector<std::string> only;
    int rounds = 0;
    double seconds = 0;
    app.add_flag("--quick", quick, "Brief runs that keep the program working; their figures mean little");
    CLI::Option* single =
        app.add_flag("--single-run", single_run, "One kind 1 run without a warm-up, nothing else");
    CLI::Option* only_option = app.add_option("--only", only, "The figures to take (default all)")
                                   ->delimiter(',')
                                   ->check(CLI::IsMember({"overhead", "scaling", "responsiveness"}));
    CLI::Option* rounds_option =
        app.add_option("--rounds", rounds, "Alternations of the two sides of a comparison (default 10)")
            ->check(CLI::Range(1, 1000))
            ->type_name("N");
    CLI::Option* seconds_option =
        app.add_option("--seconds", seconds, "Length of each measured run (default 1.5)")
            ->check(CLI::Range(0.01, 3600.0))
            ->type_name("S");
    single->excludes(only_option)->excludes(rounds_option);

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        std::fputs(app.help().c_str(), stdout);
        return 0;
    } catch (const CLI::ParseError& error) {
        std::fprintf(stderr, "%s (see --help)\n", error.what());
        return 2;
    }

    // --quick sets the defaults; an explicit --rounds or --seconds still wins.
    Settings settings;
    if (quick) {
        settings = {true, 0.15, 2};
    }
    if (*rounds_option) {
        settings.rounds = rounds;
    }
    if (*seconds_option) {
        settings.run_seconds = seconds;
    }

    if (single_run) {
        run_once(settings);
        return 0;
    }
    const auto wanted = [&](const char* name) {
        return only.empty() || std::find(only.begin(), only.end(), name) != only.end();
    };
    if (wanted("overhead")) {
        measure_overhead(settings);
    }
    if (wanted("scaling")) {
        measure_scaling(settings);
    }
    if (wanted("responsiveness")) {
        measure_responsiveness(settings);
    }
    return 0;
}
