// What the tool must never damage or lose, run as a child process the way a
// user or a CI job runs it: the paths it writes, the files it reads, the
// runs an interrupt cuts short, absurd durations and text that could deceive
// the terminal.
#include "child_process.h"

#include <nlohmann/json.hpp>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include <sys/stat.h>
#include <unistd.h>

namespace quorlind::bench {
namespace {

namespace fs = std::filesystem;
using testing::ChildProcess;
using testing::ChildResult;
using ::testing::HasSubstr;
using ::testing::Not;
using json = nlohmann::json;

// Generous: these machines are shared and noisy, and a run also builds its workload.
constexpr std::chrono::seconds limit{60};
const std::string data_dir = QUORLIND_SOURCE_DIR "/tests/host/data";

ChildResult bench(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), QUORLIND_BENCH_EXECUTABLE);
    return testing::run_child(arguments, limit);
}

std::string read_file(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

void write_file(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// A fresh directory per test, removed after it.
class Scratch {
public:
    Scratch() : directory_(fs::path(::testing::TempDir()) / ("quorlind-safety-" + std::to_string(getpid()))) {
        fs::remove_all(directory_);
        fs::create_directories(directory_);
    }
    ~Scratch() { fs::remove_all(directory_); }
    std::string operator()(const std::string& name) const { return (directory_ / name).string(); }
    std::vector<std::string> names() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(directory_)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    fs::path directory_;
};

bool is_system_document(const std::string& text) {
    try {
        return json::parse(text).at("system").contains("logical_processors");
    } catch (const json::exception&) {
        return false;
    }
}

// A process that has ended: its id is free, as a killed run's is.
std::string ended_process_id() {
    const pid_t child = fork();
    if (child == 0) {
        _exit(0);
    }
    waitpid(child, nullptr, 0);
    return std::to_string(child);
}

TEST(OutputPaths, EachKindOfPathIsWrittenAsItMustBe) {
    const Scratch at;
    std::string other_file_owner;
    struct Case {
        const char* what;
        std::function<std::vector<std::string>()> prepare;  // the arguments
        int exit_code;
        std::function<void(const ChildResult&)> check;
    };
    const Case cases[] = {
        {"a symbolic link is followed and its target replaced",
         [&] {
             write_file(at("target.json"), "old");
             fs::create_symlink("target.json", at("latest.json"));
             return std::vector<std::string>{"--system", "--json", at("latest.json")};
         },
         0,
         [&](const ChildResult&) {
             EXPECT_TRUE(fs::is_symlink(at("latest.json")));
             EXPECT_TRUE(is_system_document(read_file(at("target.json"))));
         }},
        {"the old file's permissions are kept",
         [&] {
             write_file(at("private.json"), "old");
             chmod(at("private.json").c_str(), 0600);
             return std::vector<std::string>{"--system", "--json", at("private.json")};
         },
         0,
         [&](const ChildResult&) {
             struct stat status {};
             ASSERT_EQ(stat(at("private.json").c_str(), &status), 0);
             EXPECT_EQ(status.st_mode & 0777, 0600u);
             EXPECT_TRUE(is_system_document(read_file(at("private.json"))));
         }},
        {"a name of 250 bytes has room for its temporary file",
         [&] {
             return std::vector<std::string>{"--system", "--json", at(std::string(245, 'n') + ".json")};
         },
         0,
         [&](const ChildResult&) {
             EXPECT_TRUE(is_system_document(read_file(at(std::string(245, 'n') + ".json"))));
         }},
        {"a FIFO is written, not replaced",
         [&] {
             mkfifo(at("pipe").c_str(), 0600);
             // The reader opens it as a consumer would; it ends when the writer closes.
             std::thread([path = at("pipe"), out = at("pipe.read")] {
                 write_file(out, read_file(path));
             }).detach();
             return std::vector<std::string>{"--system", "--json", at("pipe")};
         },
         0,
         [&](const ChildResult&) {
             EXPECT_TRUE(fs::is_fifo(at("pipe")));
             for (int i = 0; i < 200 && !is_system_document(read_file(at("pipe.read"))); ++i) {
                 std::this_thread::sleep_for(std::chrono::milliseconds(50));
             }
             EXPECT_TRUE(is_system_document(read_file(at("pipe.read"))));
         }},
        {"a device that refuses the write is a failure, and stays a device",
         [] {
             return std::vector<std::string>{"--system", "--json", "/dev/full"};
         },
         1,
         [](const ChildResult& result) {
             EXPECT_EQ(result.err,
                       "quorlind-bench: --json: cannot write to '/dev/full': No space left on device\n");
             EXPECT_TRUE(fs::is_character_file("/dev/full"));
         }},
        {"/dev/null stays a device",
         [] {
             return std::vector<std::string>{"--system", "--json", "/dev/null"};
         },
         0,
         [](const ChildResult& result) {
             EXPECT_TRUE(result.out.empty()) << result.out;
             EXPECT_TRUE(fs::is_character_file("/dev/null"));
         }},
        {"/dev/stdout is standard output",
         [] {
             return std::vector<std::string>{"--system", "--json", "/dev/stdout"};
         },
         0,
         [](const ChildResult& result) {
             EXPECT_TRUE(is_system_document(result.out)) << result.out;
         }},
        {"- is standard output for --csv too, which then holds the CSV alone",
         [] {
             return std::vector<std::string>{"--warmup", "0", "--measure", "0.3", "--quiet", "--csv", "-"};
         },
         0,
         [](const ChildResult& result) {
             EXPECT_EQ(result.out.rfind("interval,end_seconds,", 0), 0u) << result.out;
             EXPECT_THAT(result.out, Not(HasSubstr("Throughput")));
         }},
        {"an empty path is a usage error",
         [] {
             return std::vector<std::string>{"--html", ""};
         },
         2,
         [](const ChildResult& result) {
             EXPECT_THAT(result.err, HasSubstr("--html: expected a file name"));
         }},
        {"a killed run's temporary file goes with the next write; a live one's and others' stay",
         [&] {
             write_file(at(".kept.json.qbtmp-" + ended_process_id()), "killed");
             write_file(at(".kept.json.qbtmp-" + std::to_string(getpid())), "live");
             other_file_owner = ended_process_id();
             write_file(at(".other.json.qbtmp-" + other_file_owner), "another file's");
             write_file(at(".kept.json.tmp-1"), "not ours");
             return std::vector<std::string>{"--system", "--json", at("kept.json")};
         },
         0,
         [&](const ChildResult&) {
             std::vector<std::string> hidden;
             for (const auto& name : at.names()) {
                 if (name[0] == '.') {
                     hidden.push_back(name);
                 }
             }
             EXPECT_EQ(hidden.size(), 3u);
             EXPECT_TRUE(fs::exists(at(".kept.json.qbtmp-" + std::to_string(getpid()))));
             EXPECT_TRUE(fs::exists(at(".kept.json.tmp-1")));
             EXPECT_TRUE(fs::exists(at(".other.json.qbtmp-" + other_file_owner)));
             EXPECT_TRUE(is_system_document(read_file(at("kept.json"))));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto result = bench(c.prepare());
        EXPECT_EQ(result.exit_code, c.exit_code) << result.err;
        c.check(result);
    }
}

TEST(OutputPaths, NoOutputOverwritesAnInputOrAnotherOutput) {
    const Scratch at;
    const std::string saved = read_file(data_dir + "/result-v2-base.json");
    write_file(at("r.json"), saved);
    write_file(at("n.json"), saved);
    write_file(at("m.json"), saved);
    fs::create_symlink("r.json", at("link.json"));
    fs::create_hard_link(at("r.json"), at("hard.json"));
    fs::create_directory(at("sub"));
    // A run would take a minute: a refusal must come first.
    const std::vector<std::string> run{"--warmup", "60"};
    const std::pair<std::vector<std::string>, std::string> refused[] = {
        {{"report", at("r.json"), "--html", at("r.json")}, "--html: '" + at("r.json") + "' is an input"},
        {{"report", at("r.json"), "--openmetrics", at("link.json")}, "is an input"},
        {{"compare", at("r.json"), at("n.json"), "--html", at("hard.json")}, "is an input"},
        {{"compare", at("r.json"), at("n.json"), "--json", at("sub/../n.json")}, "is an input"},
        {{"compare", at("r.json"), at("n.json"), "--json", at("c.json"), "--html", at("c.json")},
         "--html: '" + at("c.json") + "' is also the --json output"},
        // --json once took no value here; now it takes BASE, a saved result, and refuses it.
        {{"compare", "--json", at("r.json"), at("n.json"), at("m.json")}, "is a saved result"},
        {{"compare", at("r.json"), at("n.json"), "--json"}, "--json"},
        {{"--json", at("a.json"), "--csv", at("a.json"), "--warmup", "60"},
         "--csv: '" + at("a.json") + "' is also"},
        {{"--json", at("a.json"), "--html", at("./a.json"), "--warmup", "60"}, "is also the --json output"},
        {{"--json", "-", "--csv", "/dev/stdout", "--warmup", "60"}, "--csv: standard output is also"},
    };
    for (const auto& [arguments, message] : refused) {
        SCOPED_TRACE(arguments[0] + " " + arguments[1]);
        const auto result = bench(arguments);
        EXPECT_EQ(result.exit_code, 2) << result.err;
        EXPECT_THAT(result.err, HasSubstr(message));
        EXPECT_TRUE(result.out.empty()) << result.out;
        for (const char* name : {"r.json", "n.json", "m.json"}) {
            EXPECT_EQ(read_file(at(name)), saved) << name;
        }
        EXPECT_FALSE(fs::exists(at("a.json")));
        EXPECT_FALSE(fs::exists(at("c.json")));
    }
}

TEST(Interrupts, EachSignalCancelsOnceAndKeepsWhatWasMeasured) {
    const Scratch at;
    struct Case {
        const char* what;
        std::vector<int> signals;  // sent back to back
        int exit_code;
    };
    const Case cases[] = {
        {"SIGTERM, as a CI job cancelled or a container stopped", {SIGTERM}, 143},
        {"SIGHUP, as a closed SSH session", {SIGHUP}, 129},
        {"two SIGINTs at once, as from timeout -s INT, are one Ctrl-C", {SIGINT, SIGINT}, 130},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        write_file(at("cancelled.json"), "last week's");
        ChildProcess child(
            {QUORLIND_BENCH_EXECUTABLE, "--warmup", "0", "--measure", "60", "--json", at("cancelled.json")});
        ASSERT_TRUE(child.wait_for_stderr("measurement", std::chrono::seconds(30)));
        for (const int signal_number : c.signals) {
            child.send_signal(signal_number);
        }
        const auto result = child.finish(std::chrono::seconds(30));
        EXPECT_EQ(result.exit_code, c.exit_code) << result.err;
        EXPECT_THAT(result.out, HasSubstr("benchmark: cancelled"));
        const json written = json::parse(read_file(at("cancelled.json")));
        ASSERT_EQ(written.at("runs").size(), 1u);
        EXPECT_EQ(written.at("runs")[0].at("status").at("name"), "cancelled");
        EXPECT_EQ(at.names(), std::vector<std::string>{"cancelled.json"}) << "no temporary file left";
    }

    // A later interrupt quits at once; the runs completed before the first
    // are in the file already, the series having written them as it went.
    ChildProcess child({QUORLIND_BENCH_EXECUTABLE, "--repeat", "3", "--warmup", "0", "--measure", "1.2",
                        "--json", at("series.json")});
    ASSERT_TRUE(child.wait_for_stderr("run 2 of 3  measurement", std::chrono::seconds(40)));
    const json so_far = json::parse(read_file(at("series.json")));
    ASSERT_EQ(so_far.at("runs").size(), 1u);
    EXPECT_EQ(so_far.at("runs")[0].at("status").at("name"), "completed");
    child.send_signal(SIGINT);
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    child.send_signal(SIGINT);
    const auto result = child.finish(std::chrono::seconds(30));
    EXPECT_EQ(result.exit_code, 130) << result.err;
    const json kept = json::parse(read_file(at("series.json")));
    ASSERT_GE(kept.at("runs").size(), 1u);
    EXPECT_EQ(kept.at("runs")[0].at("status").at("name"), "completed");
    EXPECT_LE(kept.at("runs").size(), 2u) << "no run starts after an interrupt";
}

TEST(Durations, AbsurdOnesAreRefusedOrWarnedOf) {
    struct Case {
        std::vector<std::string> arguments;
        int exit_code;
        const char* message;  // on standard error; empty: no word
    };
    const Case cases[] = {
        {{"--measure", "1e20"}, 2, "--measure: expected at most 18446744073709549568 seconds"},
        {{"--warmup", "1e20", "--measure", "0.3"},
         2,
         "--warmup: expected at most 18446744073709549568 seconds"},
        {{"--warmup", "0", "--measure", "0.2"},
         0,
         "warning: --measure 0.2 is shorter than one interval (1 s)"},
        {{"--warmup", "0", "--measure", "1.1"}, 0, ""},
        // More than a day: warned of, then cancelled here rather than waited for.
        {{"--warmup", "200000", "--measure", "1"}, 130, "warning: --warmup and --measure take 2.3 days"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments[1]);
        std::vector<std::string> arguments{QUORLIND_BENCH_EXECUTABLE};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        ChildProcess child(arguments);
        if (c.exit_code == 130) {
            ASSERT_TRUE(child.wait_for_stderr("warm-up", std::chrono::seconds(30)));
            child.send_signal(SIGINT);
        }
        const auto result = child.finish(limit);
        EXPECT_EQ(result.exit_code, c.exit_code) << result.err;
        if (*c.message != '\0') {
            EXPECT_THAT(result.err, HasSubstr(c.message));
        } else {
            EXPECT_THAT(result.err, Not(HasSubstr("warning")));
        }
    }
}

TEST(TerminalText, FormatCharactersFromAFileAreShownEscaped) {
    const Scratch at;
    const std::string base = data_dir + "/result-v2-base.json";
    const std::pair<const char*, const char*> characters[] = {
        {"\u202e", "\\u202e"},         {"\u2066", "\\u2066"},         {"\u200b", "\\u200b"},
        {"\u00ad", "\\u00ad"},         {"\ufeff", "\\ufeff"},         {"\u061c", "\\u061c"},
        {"\U000e0001", "\\U000e0001"}, {"\U0001d173", "\\U0001d173"},
    };
    for (const auto& [character, escaped] : characters) {
        SCOPED_TRACE(escaped);
        json changed = json::parse(read_file(base));
        changed["system"]["processor"] = std::string("Example ") + character + "CPU";
        const std::string path = at(std::string("new") + character + ".json");
        write_file(path, changed.dump(2));
        const auto result = bench({"compare", base, path, "--threshold", "5"});
        EXPECT_EQ(result.exit_code, 0) << result.err;
        EXPECT_THAT(result.out, HasSubstr(std::string("Example ") + escaped + "CPU"));
        EXPECT_THAT(result.out, HasSubstr(std::string("new") + escaped + ".json"));
        EXPECT_THAT(result.out, Not(HasSubstr(character)));
        // report prints the file's own system record.
        const auto report = bench({"report", path});
        EXPECT_EQ(report.exit_code, 0) << report.err;
        EXPECT_THAT(report.out, HasSubstr(std::string("Example ") + escaped + "CPU"));
        EXPECT_THAT(report.out, Not(HasSubstr(character)));
    }
}

}  // namespace
}  // namespace quorlind::bench
