#include "run/linux/load_files.h"

#include <charconv>
#include <cmath>
#include <vector>

namespace quorlind::bench::linux_load {
namespace {

std::optional<std::uint64_t> whole(std::string_view token) {
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(token.data(), token.data() + token.size(), value);
    if (error != std::errc() || end != token.data() + token.size() || token.empty()) {
        return std::nullopt;
    }
    return value;
}

std::vector<std::string_view> split_spaces(std::string_view text) {
    std::vector<std::string_view> tokens;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n')) {
            ++i;
        }
        std::size_t j = i;
        while (j < text.size() && text[j] != ' ' && text[j] != '\t' && text[j] != '\n') {
            ++j;
        }
        if (j > i) {
            tokens.push_back(text.substr(i, j - i));
        }
        i = j;
    }
    return tokens;
}

std::string_view first_line(std::string_view text) { return text.substr(0, text.find('\n')); }

}  // namespace

std::optional<SchedStat> parse_schedstat(std::string_view text) {
    const auto tokens = split_spaces(first_line(text));
    if (tokens.size() < 2) {
        return std::nullopt;
    }
    const auto run = whole(tokens[0]);
    const auto wait = whole(tokens[1]);
    if (!run || !wait) {
        return std::nullopt;
    }
    return SchedStat{*run, *wait};
}

std::optional<TaskStat> parse_task_stat(std::string_view text) {
    const auto close = text.rfind(')');
    if (close == std::string_view::npos) {
        return std::nullopt;
    }
    // Fields counted from 1 as proc(5) does; the first token after the name is field 3.
    const auto tokens = split_spaces(text.substr(close + 1));
    constexpr std::size_t utime = 14 - 3;
    constexpr std::size_t stime = 15 - 3;
    constexpr std::size_t processor = 39 - 3;
    if (tokens.size() <= processor) {
        return std::nullopt;
    }
    const auto user = whole(tokens[utime]);
    const auto system = whole(tokens[stime]);
    const auto cpu = whole(tokens[processor]);
    if (!user || !system || !cpu || *cpu > 1u << 20) {
        return std::nullopt;
    }
    return TaskStat{*user, *system, static_cast<int>(*cpu)};
}

std::optional<std::uint64_t> parse_involuntary_switches(std::string_view status) {
    constexpr std::string_view key = "nonvoluntary_ctxt_switches:";
    std::size_t at = 0;
    while ((at = status.find(key, at)) != std::string_view::npos) {
        if (at == 0 || status[at - 1] == '\n') {
            const auto tokens = split_spaces(first_line(status.substr(at + key.size())));
            return tokens.size() == 1 ? whole(tokens[0]) : std::nullopt;
        }
        at += key.size();
    }
    return std::nullopt;
}

std::optional<MachineTicks> parse_proc_stat(std::string_view text) {
    const auto tokens = split_spaces(first_line(text));
    // cpu user nice system idle iowait irq softirq steal [guest guest_nice]
    if (tokens.size() < 9 || tokens[0] != "cpu") {
        return std::nullopt;
    }
    std::uint64_t field[8] = {};
    for (std::size_t i = 0; i < 8; ++i) {
        const auto value = whole(tokens[i + 1]);
        if (!value) {
            return std::nullopt;
        }
        field[i] = *value;
    }
    MachineTicks ticks;
    ticks.busy = field[0] + field[1] + field[2] + field[5] + field[6];
    ticks.steal = field[7];
    for (const std::uint64_t value : field) {
        ticks.total += value;
    }
    return ticks;
}

std::optional<std::uint64_t> parse_whole_number(std::string_view text) {
    const auto tokens = split_spaces(text);
    return tokens.size() == 1 ? whole(tokens[0]) : std::nullopt;
}

std::optional<double> celsius_from_millidegrees(std::string_view text) {
    const auto tokens = split_spaces(text);
    if (tokens.size() != 1) {
        return std::nullopt;
    }
    long long millidegrees = 0;
    const auto token = tokens[0];
    const auto [end, error] = std::from_chars(token.data(), token.data() + token.size(), millidegrees);
    if (error != std::errc() || end != token.data() + token.size()) {
        return std::nullopt;
    }
    // A disconnected sensor reads -128 °C or a saturated 255 °C, never a temperature.
    const double celsius = static_cast<double>(millidegrees) / 1000.0;
    if (celsius <= -40.0 || celsius >= 150.0) {
        return std::nullopt;
    }
    return celsius;
}

}  // namespace quorlind::bench::linux_load
