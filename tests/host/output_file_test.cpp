#include "util/output_file.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

namespace quorlind::bench {
namespace {

namespace fs = std::filesystem;

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

    fs::path directory_;
};

TEST_F(OutputFileTest, AppearsOnlyWhenCommittedAndReplacesTheOldFile) {
    const std::string target = path("result.prom");
    std::ofstream(target) << "old";
    {
        OutputFile file(target);
        ASSERT_TRUE(file.ok());
        EXPECT_EQ(read(target), "old");  // still whole while the new text is pending
        EXPECT_EQ(entries(), 2u);
        EXPECT_EQ(file.commit("new\n"), "");
    }
    EXPECT_EQ(read(target), "new\n");
    EXPECT_EQ(entries(), 1u);
}

TEST_F(OutputFileTest, AbandonedFileLeavesNothingBehind) {
    {
        OutputFile file(path("report.html"));
        ASSERT_TRUE(file.ok());
    }
    EXPECT_EQ(entries(), 0u);
}

TEST_F(OutputFileTest, UnwritablePlacesAreKnownBeforeAnyWork) {
    OutputFile missing_directory(path("no-such-directory/report.html"));
    EXPECT_FALSE(missing_directory.ok());
    EXPECT_NE(missing_directory.commit("text").find("no-such-directory"), std::string::npos);
    OutputFile directory(directory_.string());
    EXPECT_FALSE(directory.ok());
    OutputFile empty("");
    EXPECT_FALSE(empty.ok());
    EXPECT_EQ(entries(), 0u);
}

}  // namespace
}  // namespace quorlind::bench
