#include "system/system_record.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

namespace quorlind::bench {

std::optional<std::string> governor_summary(const PowerSettings& power) {
    std::vector<std::string> distinct;
    for (const auto& governor : power.governors) {
        if (std::find(distinct.begin(), distinct.end(), governor) == distinct.end()) {
            distinct.push_back(governor);
        }
    }
    if (distinct.empty()) {
        return std::nullopt;
    }
    std::string text = distinct.front();
    for (std::size_t i = 1; i < distinct.size(); ++i) {
        text += ", " + distinct[i];
    }
    return text;
}

std::string format_utc(std::chrono::sys_seconds time) {
    using namespace std::chrono;
    const auto day = floor<days>(time);
    const year_month_day date{day};
    const hh_mm_ss clock{time - day};
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                  static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
                  static_cast<int>(clock.seconds().count()));
    return text;
}

std::optional<std::chrono::sys_seconds> parse_utc(std::string_view text) {
    using namespace std::chrono;
    // GCC 12's library (the mingw build's) has no chrono::parse: the digits by hand, the calendar by chrono.
    if (text.size() != 20 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' ||
        text[16] != ':' || text[19] != 'Z') {
        return std::nullopt;
    }
    const auto digits = [&](std::size_t at, std::size_t length) -> std::optional<int> {
        int value = 0;
        const char* end = text.data() + at + length;
        const auto read = std::from_chars(text.data() + at, end, value);
        if (read.ec != std::errc{} || read.ptr != end || text[at] == '+' || text[at] == '-') {
            return std::nullopt;
        }
        return value;
    };
    const auto year_digits = digits(0, 4);
    const auto month_digits = digits(5, 2);
    const auto day_digits = digits(8, 2);
    const auto hour = digits(11, 2);
    const auto minute = digits(14, 2);
    const auto second = digits(17, 2);
    if (!year_digits || !month_digits || !day_digits || !hour || !minute || !second || *hour > 23 ||
        *minute > 59 || *second > 60) {
        return std::nullopt;
    }
    const year_month_day date{year{*year_digits}, month{static_cast<unsigned>(*month_digits)},
                              day{static_cast<unsigned>(*day_digits)}};
    if (!date.ok()) {
        return std::nullopt;
    }
    return sys_days{date} + hours{*hour} + minutes{*minute} + seconds{*second};
}

EnvironmentFacts environment_facts(const SystemRecord& system) {
    EnvironmentFacts facts;
    facts.frequency_governors = system.power.governors;
    if (system.load_before) {
        facts.load_average = (*system.load_before)[0];
    }
    if (system.hypervisor.present.value_or(false)) {
        facts.hypervisor = system.hypervisor.vendor.value_or("unknown vendor");
    }
    facts.logical_processors = system.logical_processors;
    facts.usable_processors = system.topology.usable_logical_processors;
    return facts;
}

}  // namespace quorlind::bench
