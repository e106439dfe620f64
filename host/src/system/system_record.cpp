#include "system/system_record.h"

#include <algorithm>
#include <chrono>
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

std::string format_utc(std::int64_t unix_seconds) {
    using namespace std::chrono;
    const sys_seconds instant{seconds{unix_seconds}};
    const auto day = floor<days>(instant);
    const year_month_day date{day};
    const hh_mm_ss time{instant - day};
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                  static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
                  static_cast<int>(time.seconds().count()));
    return text;
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
