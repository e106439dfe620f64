#include "util/output_file.h"

#include "app/output_files.h"
#include "result/json_writer.h"
#include "result/result.h"
#include "result_fixtures.h"
#include "util/failure.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace quorlind::bench {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

class OutputFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        directory_ = fs::path(::testing::TempDir()) /
                     ("quorlind-output-file-" +
                      std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(directory_);
        fs::create_directories(directory_);
    }
    void TearDown() override { fs::remove_all(directory_); }

    std::string path(const std::string& name) const { return (directory_ / name).string(); }
    std::size_t entries() const {
        return static_cast<std::size_t>(
            std::distance(fs::directory_iterator(directory_), fs::directory_iterator()));
    }
    static std::string read(const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
    // The message of the Failure that `action` raises, checked for its kind.
    template <typename Action>
    static std::string failure_of(Failure::Kind kind, Action&& action) {
        try {
            action();
        } catch (const Failure& failure) {
            EXPECT_EQ(failure.kind(), kind) << failure.what();
            return failure.what();
        }
        ADD_FAILURE() << "no Failure raised";
        return {};
    }

    fs::path directory_;
};

TEST_F(OutputFileTest, AppearsOnlyWhenCommittedAndReplacesTheOldFile) {
    const std::string target = path("result.prom");
    std::ofstream(target) << "old";
    {
        OutputFile file("--openmetrics", target);
        EXPECT_EQ(read(target), "old");  // still whole while the new text is pending
        EXPECT_EQ(entries(), 2u);
        file.commit("new\n");
        EXPECT_EQ(read(target), "new\n");
        file.commit("newer\n");  // the runs so far, then all of them
    }
    EXPECT_EQ(read(target), "newer\n");
    EXPECT_EQ(entries(), 1u);
}

TEST_F(OutputFileTest, AbandonedFileLeavesNothingBehind) {
    { OutputFile file("--html", path("report.html")); }
    EXPECT_EQ(entries(), 0u);
}

TEST_F(OutputFileTest, UnwritablePlacesAreKnownBeforeAnyWork) {
    const std::string missing = path("no-such-directory/report.html");
    EXPECT_EQ(failure_of(Failure::Kind::usage, [&] { OutputFile file("--html", missing); }),
              "--html: cannot write to '" + missing + "'");
    EXPECT_THAT(failure_of(Failure::Kind::usage, [&] { OutputFile file("--json", directory_.string()); }),
                HasSubstr("cannot write to"));
    EXPECT_THAT(failure_of(Failure::Kind::usage, [&] { OutputFile file("--csv", ""); }),
                HasSubstr("--csv: expected a file name"));
    EXPECT_EQ(entries(), 0u);
}

// A run's --json and --csv files, as the older results a script keeps.
class RunOutputsTest : public OutputFileTest {
protected:
    void SetUp() override {
        OutputFileTest::SetUp();
        options_.json = true;
        options_.json_path = json_path_ = path("result.json");
        options_.csv_path = csv_path_ = path("samples.csv");
        std::ofstream(json_path_, std::ios::binary) << "{\"earlier\": true}\n";
        std::ofstream(csv_path_, std::ios::binary) << "earlier,samples\r\n";
        record_.system = testing::test_system();
        record_.runs.push_back(testing::completed_run(0, QUORLIND_BENCHMARK_SINGLE, 1000.0));
    }

    void expect_earlier_files() const {
        EXPECT_EQ(read(json_path_), "{\"earlier\": true}\n");
        EXPECT_EQ(read(csv_path_), "earlier,samples\r\n");
    }

    std::string json_path_;
    std::string csv_path_;
    Options options_;
    ResultRecord record_;
};

TEST_F(RunOutputsTest, EarlierFilesStayWholeUntilTheNewOnesReplaceThem) {
    RunOutputs outputs(options_);
    expect_earlier_files();  // all through the run

    const Result result = result_of_run(record_);
    outputs.write(result);
    EXPECT_EQ(read(options_.json_path), json_text(to_json(result)));
    EXPECT_EQ(read(options_.csv_path).rfind("interval,end_seconds,", 0), 0u);
    EXPECT_EQ(entries(), 2u);
}

TEST_F(RunOutputsTest, AFailedWriteLeavesEveryEarlierFile) {
    std::optional<RunOutputs> outputs(std::in_place, options_);
    // The JSON's place taken by a directory during the run: replacing it must fail.
    fs::remove(json_path_);
    fs::create_directories(fs::path(json_path_) / "kept");
    EXPECT_THAT(failure_of(Failure::Kind::write_failed, [&] { outputs->write(result_of_run(record_)); }),
                HasSubstr("--json: cannot write to '" + options_.json_path + "': "));
    outputs.reset();
    EXPECT_TRUE(fs::is_directory(fs::path(json_path_) / "kept"));
    EXPECT_EQ(read(csv_path_), "earlier,samples\r\n") << "no file is written after one that failed";
    EXPECT_EQ(entries(), 2u) << "the temporary files are gone";
}

TEST_F(RunOutputsTest, AnUnwritablePathIsNamedWithItsOption) {
    options_.csv_path = path("no-such-directory/samples.csv");
    EXPECT_EQ(failure_of(Failure::Kind::usage, [&] { RunOutputs outputs(options_); }),
              "--csv: cannot write to '" + options_.csv_path + "'");
    options_.json_path = directory_.string();
    EXPECT_EQ(failure_of(Failure::Kind::usage, [&] { RunOutputs outputs(options_); }),
              "--json: cannot write to '" + directory_.string() + "'");
    expect_earlier_files();
    EXPECT_EQ(entries(), 2u);  // no claimed file left behind
}

}  // namespace
}  // namespace quorlind::bench
