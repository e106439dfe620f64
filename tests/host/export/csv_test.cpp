#include "export/csv.h"
#include "result/result.h"
#include "result_fixtures.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace quorlind::bench {
namespace {

using testing::completed_run;
using testing::one_run_result;
using testing::sample;
using testing::test_result;

constexpr std::uint32_t all = QUORLIND_BENCHMARK_PER_CPU;

TEST(CsvOutput, HeaderAndOneExactRowPerSampleOfEveryRun) {
    ResultRecord result = one_run_result();
    result.runs.push_back(completed_run(1, all, 10.0, {sample(1.5, 1.5, 15)}));
    // A sampled run's figures; one the machine did not offer stays empty.
    result.runs.back().load = RunLoad{};
    result.runs.back().load->intervals = {LoadFigures{0.5}};
    std::ostringstream out;
    write_samples_csv(out, result_of_run(result));
    std::istringstream lines(out.str());
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line,
              "interval,end_seconds,duration_seconds,operations,ops_per_second,run,threads,worker_cpu_share,"
              "other_processes_cpus");
    std::getline(lines, line);
    EXPECT_EQ(line, "0,0.1,0.1,3000000,30000000,0,single,,");
    std::getline(lines, line);
    EXPECT_EQ(line, "1,0.30000000000000004,0.20000000000000004,6000001,30000004.9,0,single,,");
    std::getline(lines, line);
    EXPECT_EQ(line, "0,1.5,1.5,15,10,1,all,0.5,");
    EXPECT_FALSE(std::getline(lines, line));

    std::ostringstream empty;
    write_samples_csv(empty, result_of_run(test_result({})));
    EXPECT_EQ(empty.str(),
              "interval,end_seconds,duration_seconds,operations,ops_per_second,run,threads,worker_cpu_share,"
              "other_processes_cpus\n");
}

}  // namespace
}  // namespace quorlind::bench
