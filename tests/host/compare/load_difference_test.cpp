// Compare's word on disturbance: the runs it marks, and the note when the
// two files lost more time than the change it judges.
#include "compare/comparison.h"
#include "compare/load_difference.h"
#include "result/reader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>

namespace quorlind::bench {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

Result sampled(const std::string& name, double share) {
    Result result = read_result_file(std::string(QUORLIND_TEST_DATA_DIR) + "/" + name);
    for (RunRecord& run : result.record.runs) {
        run.load = RunLoad{};
        run.load->intervals.resize(run.samples.size(), LoadFigures{share});
        run.load->measurement.worker_cpu_share = share;
    }
    derive_figures(result);
    return result;
}

std::vector<std::string> notes_of(const Comparison& comparison) { return comparison.pairs.at(0).notes; }

TEST(LoadDifference, NotedOnlyWhenItOutweighsTheChangeJudged) {
    const Result base = sampled("result-v2-base.json", 0.997);
    const Result slower = sampled("result-v2-slower.json", 0.85);
    const Comparison comparison = compare_results({base, slower}, {});
    EXPECT_THAT(comparison.files[0].disturbed_runs, IsEmpty());
    EXPECT_EQ(comparison.files[1].disturbed_runs.size(), slower.record.runs.size());
    const double change = std::fabs(comparison.pairs[0].kinds.at(0).ratio.change_percent());
    ASSERT_LT(change, 14.7) << "the fixtures' change must be smaller than the time lost";
    EXPECT_THAT(notes_of(comparison),
                ::testing::Contains(HasSubstr("NEW's runs lost 15 % of their time to other processes, "
                                              "BASE's 0.3 %; more than the")));

    // Both as quiet: nothing to say, and files without a load say nothing either.
    const Comparison quiet = compare_results({base, sampled("result-v2-slower.json", 0.995)}, {});
    for (const auto& note : notes_of(quiet)) {
        EXPECT_THAT(note, ::testing::Not(HasSubstr("other processes"))) << note;
    }
    const Result unsampled = read_result_file(std::string(QUORLIND_TEST_DATA_DIR) + "/result-v2-slower.json");
    EXPECT_FALSE(lost_share(unsampled, QUORLIND_BENCHMARK_SINGLE));
    const Comparison older = compare_results({base, unsampled}, {});
    EXPECT_THAT(older.files[1].disturbed_runs, IsEmpty());
    EXPECT_EQ(notes_of(older), notes_of(compare_results({read_result_file(base.path), unsampled}, {})));
}

}  // namespace
}  // namespace quorlind::bench
