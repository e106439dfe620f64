#include "result/system_fields.h"

#include <limits>
#include <optional>

#include "util/number_format.h"

namespace quorlind::bench {
namespace {

using Json = nlohmann::ordered_json;
constexpr const char* unknown = "unknown";

template <typename T>
using Access = std::function<T&(SystemRecord&)>;

// The table reads through the same accessor it writes through.
template <typename T>
const T& get(const Access<T>& access, const SystemRecord& record) {
    return access(const_cast<SystemRecord&>(record));
}

template <typename T>
Json optional_value(const std::optional<T>& value) {
    return value ? Json(*value) : Json();
}

std::string text_or_unknown(const std::optional<std::string>& text) { return text.value_or(unknown); }

std::string shown_text(const std::optional<std::string>& text) {
    return text && !text->empty() ? *text : unknown;
}

std::string count_or_unknown(const std::optional<unsigned>& count, const char* singular, const char* plural) {
    return count ? format_count(*count, singular, plural) : std::string(plural) + " " + unknown;
}

std::string switch_text(const std::optional<bool>& value) {
    return value ? (*value ? "on" : "off") : unknown;
}

std::string yes_no_text(const std::optional<bool>& value) {
    return value ? (*value ? "yes" : "no") : unknown;
}

std::string mhz_text(const std::optional<double>& mhz) { return mhz ? format_rate(*mhz) + " MHz" : unknown; }

std::string cache_text(const std::optional<CacheLevel>& cache) {
    return cache ? format_bytes(cache->size_bytes) + " x " + std::to_string(cache->count) : unknown;
}

std::string load_text(const std::optional<LoadAverage>& load) {
    if (!load) {
        return unknown;
    }
    return format_fixed((*load)[0], 2) + " " + format_fixed((*load)[1], 2) + " " +
           format_fixed((*load)[2], 2);
}

std::string hypervisor_text(const Hypervisor& hypervisor) {
    if (!hypervisor.present) {
        return unknown;
    }
    if (!*hypervisor.present) {
        return "none";
    }
    return hypervisor.vendor.value_or("present, vendor unknown");
}

// The governors are written as one summary, distinct ones joined by ", ".
std::vector<std::string> split_governors(const std::string& summary) {
    std::vector<std::string> governors;
    for (std::size_t start = 0; start <= summary.size();) {
        const std::size_t comma = std::min(summary.find(", ", start), summary.size());
        governors.push_back(summary.substr(start, comma - start));
        start = comma + 2;
    }
    return governors;
}

using Phrase = std::function<std::string(const SystemRecord&)>;

struct Place {
    const char* key;
    const char* label;
    const char* line = "";
};

SystemField base(const Place& place, Phrase phrase) {
    SystemField field;
    field.key = place.key;
    field.label = place.label;
    field.line = place.line;
    field.phrase = std::move(phrase);
    return field;
}

SystemField required_text(const Place& place, const Access<std::string>& access, Phrase phrase = {}) {
    SystemField field = base(place, std::move(phrase));
    field.version1 = true;
    field.write = [access](const SystemRecord& record) {
        return Json(get(access, record));
    };
    field.read = [access](const CheckedObject& parent, const std::string& name, SystemRecord& record) {
        access(record) = parent.text(name);
    };
    field.value = [access](const SystemRecord& record) {
        const std::string& text = get(access, record);
        return text.empty() ? std::string(unknown) : text;
    };
    return field;
}

template <typename T>
SystemField required_count(const Place& place, const Access<T>& access, Phrase phrase = {}) {
    SystemField field = base(place, std::move(phrase));
    field.version1 = true;
    field.write = [access](const SystemRecord& record) {
        return Json(get(access, record));
    };
    field.read = [access](const CheckedObject& parent, const std::string& name, SystemRecord& record) {
        access(record) = parent.small_count(name);
    };
    field.value = [access](const SystemRecord& record) {
        return group_thousands(get(access, record));
    };
    return field;
}

SystemField nullable_text(const Place& place, const Access<std::optional<std::string>>& access,
                          Phrase phrase = {}) {
    SystemField field = base(place, std::move(phrase));
    field.write = [access](const SystemRecord& record) {
        return optional_value(get(access, record));
    };
    field.read = [access](const CheckedObject& parent, const std::string& name, SystemRecord& record) {
        access(record) = parent.optional_text(name);
    };
    field.value = [access](const SystemRecord& record) {
        return shown_text(get(access, record));
    };
    return field;
}

SystemField nullable_count(const Place& place, const Access<std::optional<unsigned>>& access,
                           Phrase phrase = {}) {
    SystemField field = base(place, std::move(phrase));
    field.write = [access](const SystemRecord& record) {
        return optional_value(get(access, record));
    };
    field.read = [access](const CheckedObject& parent, const std::string& name, SystemRecord& record) {
        access(record) = parent.optional_small_count(name);
    };
    field.value = [access](const SystemRecord& record) {
        const auto& count = get(access, record);
        return count ? group_thousands(*count) : std::string(unknown);
    };
    return field;
}

SystemField nullable_switch(const Place& place, const Access<std::optional<bool>>& access, Phrase phrase,
                            std::string (*words)(const std::optional<bool>&) = switch_text) {
    SystemField field = base(place, std::move(phrase));
    field.write = [access](const SystemRecord& record) {
        return optional_value(get(access, record));
    };
    field.read = [access](const CheckedObject& parent, const std::string& name, SystemRecord& record) {
        access(record) = parent.optional_boolean(name);
    };
    field.value = [access, words](const SystemRecord& record) {
        return words(get(access, record));
    };
    return field;
}

SystemField clock_mhz(const Place& place, const Access<std::optional<double>>& access, Phrase phrase) {
    SystemField field = base(place, std::move(phrase));
    field.unit = "MHz";
    field.write = [access](const SystemRecord& record) {
        return optional_value(get(access, record));
    };
    field.read = [access](const CheckedObject& parent, const std::string& name, SystemRecord& record) {
        access(record) = parent.optional_number(name);
    };
    field.value = [access](const SystemRecord& record) {
        return mhz_text(get(access, record));
    };
    return field;
}

SystemField cache(const Place& place, const Access<std::optional<CacheLevel>>& access,
                  const char* level_name) {
    const std::string lead = std::string(level_name) == "L1d" ? "" : ", ";
    SystemField field = base(place, [access, lead, level_name](const SystemRecord& record) {
        return lead + level_name + " " + cache_text(get(access, record));
    });
    field.unit = "bytes";
    field.write = [access](const SystemRecord& record) {
        const auto& level = get(access, record);
        return level ? Json{{"size_bytes", level->size_bytes}, {"count", level->count}} : Json();
    };
    field.read = [access](const CheckedObject& parent, const std::string& name, SystemRecord& record) {
        if (parent.is_null(name)) {
            access(record) = std::nullopt;
            return;
        }
        const CheckedObject level = parent.object(name);
        access(record) = CacheLevel{level.count("size_bytes"), level.small_count("count")};
    };
    field.value = [access](const SystemRecord& record) {
        return cache_text(get(access, record));
    };
    return field;
}

SystemField load(const Place& place, const Access<std::optional<LoadAverage>>& access, Phrase phrase) {
    SystemField field = base(place, std::move(phrase));
    field.nature = FieldNature::measured;
    // The load is the machine's other work, not what it is: it never makes two results differ.
    field.similar_within = std::numeric_limits<double>::infinity();
    field.write = [access](const SystemRecord& record) {
        const auto& values = get(access, record);
        return values ? Json::array({(*values)[0], (*values)[1], (*values)[2]}) : Json();
    };
    field.read = [access](const CheckedObject& parent, const std::string& name, SystemRecord& record) {
        const auto& values = parent.member(name);
        if (values.is_null()) {
            access(record) = std::nullopt;
            return;
        }
        if (!values.is_array() || values.size() != 3) {
            throw LayoutError(parent.place(name) + " should be null or three numbers, not " +
                              describe_json_type(values));
        }
        LoadAverage read{};
        for (std::size_t i = 0; i < read.size(); ++i) {
            if (!values[i].is_number()) {
                throw LayoutError(parent.place(name) + "[" + std::to_string(i) +
                                  "] should be a number, not " + describe_json_type(values[i]));
            }
            read[i] = values[i].get<double>();
        }
        access(record) = read;
    };
    field.value = [access](const SystemRecord& record) {
        return load_text(get(access, record));
    };
    return field;
}

std::vector<SystemField> make_table() {
    std::vector<SystemField> table;
    table.push_back(required_text(
        {"processor", "Processor", "Processor"}, [](SystemRecord & s) -> auto& { return s.processor; },
        [](const SystemRecord& s) {
            return s.processor.empty() ? std::string("unknown processor") : s.processor;
        }));
    table.push_back(required_count<unsigned>(
        {"logical_processors", "Logical processors", "Processor"},
        [](SystemRecord & s) -> auto& { return s.logical_processors; },
        [](const SystemRecord& s) {
            return ", " + std::to_string(s.logical_processors) + " logical processors";
        }));
    table.push_back(required_text(
        {"operating_system", "Operating system"},
        [](SystemRecord & s) -> auto& { return s.operating_system; }));
    table.push_back(required_text(
        {"library_version", "Library version", "Library"},
        [](SystemRecord & s) -> auto& { return s.library_version; },
        [](const SystemRecord& s) {
            return s.library_version.empty() ? std::string(unknown) : s.library_version;
        }));
    table.push_back(required_count<std::uint32_t>(
        {"abi_version", "C interface version", "Library"},
        [](SystemRecord & s) -> auto& { return s.abi_version; },
        [](const SystemRecord& s) { return ", C interface " + std::to_string(s.abi_version); }));

    SystemField start = base({"start_time_utc", "Start time (UTC)", "Started"}, [](const SystemRecord& s) {
        return s.start_time_utc ? format_utc(*s.start_time_utc) : std::string(unknown);
    });
    start.nature = FieldNature::moment;
    start.write = [](const SystemRecord& s) {
        return s.start_time_utc ? Json(format_utc(*s.start_time_utc)) : Json();
    };
    start.read = [](const CheckedObject& parent, const std::string& name, SystemRecord& s) {
        s.start_time_utc.reset();
        if (const auto text = parent.optional_text(name)) {
            s.start_time_utc = parse_utc(*text);
            if (!s.start_time_utc) {
                throw LayoutError(parent.place(name) + " should be a time as YYYY-MM-DDTHH:MM:SSZ");
            }
        }
    };
    start.value = start.phrase;
    table.push_back(std::move(start));

    SystemField monotonic = base({"monotonic_start_seconds", "Monotonic clock at start"}, {});
    monotonic.unit = "s";
    monotonic.nature = FieldNature::moment;
    monotonic.write = [](const SystemRecord& s) {
        return optional_value(s.monotonic_start_seconds);
    };
    monotonic.read = [](const CheckedObject& parent, const std::string& name, SystemRecord& s) {
        s.monotonic_start_seconds = parent.optional_number_at_least(name, 0.0);
    };
    monotonic.value = [](const SystemRecord& s) {
        return s.monotonic_start_seconds ? format_fixed(*s.monotonic_start_seconds, 3) + " s"
                                         : std::string(unknown);
    };
    table.push_back(std::move(monotonic));

    table.push_back(nullable_text(
        {"host_name", "Host name", "Started"}, [](SystemRecord & s) -> auto& { return s.host_name; },
        [](const SystemRecord& s) { return " on host " + text_or_unknown(s.host_name); }));
    table.push_back(nullable_count(
        {"packages", "Packages", "Topology"}, [](SystemRecord & s) -> auto& { return s.topology.packages; },
        [](const SystemRecord& s) { return count_or_unknown(s.topology.packages, "package", "packages"); }));
    table.push_back(nullable_count(
        {"physical_cores", "Physical cores", "Topology"},
        [](SystemRecord & s) -> auto& { return s.topology.physical_cores; },
        [](const SystemRecord& s) {
            return ", " + count_or_unknown(s.topology.physical_cores, "physical core", "physical cores");
        }));
    table.push_back(nullable_switch(
        {"smt", "SMT", "Topology"}, [](SystemRecord & s) -> auto& { return s.topology.smt; },
        [](const SystemRecord& s) { return ", SMT " + switch_text(s.topology.smt); }));
    table.push_back(nullable_count(
        {"numa_nodes", "NUMA nodes", "Topology"},
        [](SystemRecord & s) -> auto& { return s.topology.numa_nodes; },
        [](const SystemRecord& s) {
            return ", " + count_or_unknown(s.topology.numa_nodes, "NUMA node", "NUMA nodes");
        }));
    table.push_back(nullable_count(
        {"usable_logical_processors", "Usable logical processors"},
        [](SystemRecord & s) -> auto& { return s.topology.usable_logical_processors; }));
    table.push_back(nullable_count(
        {"usable_physical_cores", "Usable physical cores"},
        [](SystemRecord & s) -> auto& { return s.topology.usable_physical_cores; }));
    // Named in the report only where there is more than one group, which only Windows has.
    table.push_back(nullable_count(
        {"processor_groups", "Processor groups", "Processor"},
        [](SystemRecord & s) -> auto& { return s.topology.processor_groups; },
        [](const SystemRecord& s) {
            const auto& groups = s.topology.processor_groups;
            return groups && *groups > 1 ? " in " + std::to_string(*groups) + " processor groups"
                                         : std::string();
        }));
    // Files of earlier builds lack these three.
    for (std::size_t i = table.size() - 3; i < table.size(); ++i) {
        table[i].optional = true;
    }
    table.push_back(cache(
        {"caches.l1d", "L1d cache", "Caches"}, [](SystemRecord & s) -> auto& { return s.topology.l1d; },
        "L1d"));
    table.push_back(cache(
        {"caches.l2", "L2 cache", "Caches"}, [](SystemRecord & s) -> auto& { return s.topology.l2; }, "L2"));
    table.push_back(cache(
        {"caches.l3", "L3 cache", "Caches"}, [](SystemRecord & s) -> auto& { return s.topology.l3; }, "L3"));
    table.push_back(clock_mhz(
        {"base_frequency_mhz", "Base frequency", "Clock"},
        [](SystemRecord & s) -> auto& { return s.clock.base_mhz; },
        [](const SystemRecord& s) { return "base " + mhz_text(s.clock.base_mhz); }));
    table.push_back(clock_mhz(
        {"max_frequency_mhz", "Maximum frequency", "Clock"},
        [](SystemRecord & s) -> auto& { return s.clock.max_mhz; },
        [](const SystemRecord& s) { return ", max " + mhz_text(s.clock.max_mhz); }));
    for (const bool before : {true, false}) {
        SystemField clock = clock_mhz(
            {before ? "effective_clock_mhz.before" : "effective_clock_mhz.after",
             before ? "Effective clock before" : "Effective clock after", "Clock"},
            [before](SystemRecord & s) -> auto& {
                return before ? s.effective_clock_before_mhz : s.effective_clock_after_mhz;
            },
            [before](const SystemRecord& s) {
                return before ? "; measured " + mhz_text(s.effective_clock_before_mhz) + " before"
                              : ", " + mhz_text(s.effective_clock_after_mhz) + " after";
            });
        // Two measurements of one clock land this close; further apart, the clock itself moved.
        clock.nature = FieldNature::measured;
        clock.similar_within = 0.02;
        table.push_back(std::move(clock));
    }

    SystemField governor = base({"governor", "Frequency governor", "Power"}, [](const SystemRecord& s) {
        return "governor " + text_or_unknown(governor_summary(s.power));
    });
    governor.write = [](const SystemRecord& s) {
        return optional_value(governor_summary(s.power));
    };
    governor.read = [](const CheckedObject& parent, const std::string& name, SystemRecord& s) {
        const auto summary = parent.optional_text(name);
        s.power.governors = summary ? split_governors(*summary) : std::vector<std::string>{};
    };
    governor.value = [](const SystemRecord& s) {
        return shown_text(governor_summary(s.power));
    };
    table.push_back(std::move(governor));
    table.push_back(nullable_switch(
        {"boost", "Boost", "Power"}, [](SystemRecord & s) -> auto& { return s.power.boost; },
        [](const SystemRecord& s) { return ", boost " + switch_text(s.power.boost); }));
    table.push_back(nullable_switch(
        {"hypervisor.present", "Hypervisor", "Hypervisor"},
        [](SystemRecord & s) -> auto& { return s.hypervisor.present; },
        [](const SystemRecord& s) { return hypervisor_text(s.hypervisor); }, yes_no_text));
    table.push_back(nullable_text(
        {"hypervisor.vendor", "Hypervisor vendor"},
        [](SystemRecord & s) -> auto& { return s.hypervisor.vendor; }));
    table.push_back(nullable_text(
        {"os_name", "OS name", "OS"}, [](SystemRecord & s) -> auto& { return s.os.name; },
        [](const SystemRecord& s) { return text_or_unknown(s.os.name); }));
    table.push_back(nullable_text(
        {"os_version", "OS version", "OS"}, [](SystemRecord & s) -> auto& { return s.os.version; },
        [](const SystemRecord& s) { return " " + text_or_unknown(s.os.version); }));
    table.push_back(nullable_text(
        {"os_build", "OS build", "OS"}, [](SystemRecord & s) -> auto& { return s.os.build; },
        [](const SystemRecord& s) { return ", build " + text_or_unknown(s.os.build); }));
    table.push_back(load(
        {"load_average.before", "Load average before (1, 5, 15 min)", "Load"},
        [](SystemRecord & s) -> auto& { return s.load_before; },
        [](const SystemRecord& s) { return load_text(s.load_before) + " before"; }));
    table.push_back(load(
        {"load_average.after", "Load average after (1, 5, 15 min)", "Load"},
        [](SystemRecord & s) -> auto& { return s.load_after; },
        [](const SystemRecord& s) { return ", " + load_text(s.load_after) + " after"; }));
    table.push_back(nullable_text(
        {"library_compiler", "Library compiler", "Library"},
        [](SystemRecord & s) -> auto& { return s.library_build.compiler; },
        [](const SystemRecord& s) { return ", built with " + text_or_unknown(s.library_build.compiler); }));
    table.push_back(nullable_text(
        {"library_compiler_version", "Library compiler version", "Library"},
        [](SystemRecord & s) -> auto& { return s.library_build.compiler_version; },
        [](const SystemRecord& s) {
            const auto& version = s.library_build.compiler_version;
            return version ? " " + *version : std::string();
        }));
    table.push_back(nullable_text(
        {"library_build_type", "Library build type", "Library"},
        [](SystemRecord & s) -> auto& { return s.library_build.build_type; },
        [](const SystemRecord& s) { return " (" + text_or_unknown(s.library_build.build_type) + ")"; }));
    return table;
}

std::vector<std::string> key_parts(const std::string& key) {
    std::vector<std::string> parts;
    for (std::size_t start = 0; start <= key.size();) {
        const std::size_t dot = std::min(key.find('.', start), key.size());
        parts.push_back(key.substr(start, dot - start));
        start = dot + 1;
    }
    return parts;
}

}  // namespace

const std::vector<SystemField>& system_field_table() {
    static const std::vector<SystemField> table = make_table();
    return table;
}

const std::vector<std::string>& system_report_lines() {
    static const std::vector<std::string> lines{"Started", "Processor",  "Topology", "Caches", "Clock",
                                                "Power",   "Hypervisor", "OS",       "Load",   "Library"};
    return lines;
}

Json system_json(const SystemRecord& system) {
    Json json = Json::object();
    for (const SystemField& field : system_field_table()) {
        Json* place = &json;
        for (const std::string& part : key_parts(field.key)) {
            place = &(*place)[part];
        }
        *place = field.write(system);
    }
    return json;
}

void read_system_field(const SystemField& field, const CheckedObject& system, SystemRecord& record) {
    const std::vector<std::string> parts = key_parts(field.key);
    // Copies, since each CheckedObject refers to the JSON value it wraps.
    std::vector<CheckedObject> path{system};
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
        path.push_back(path.back().object(parts[i]));
    }
    if (field.optional && !path.back().has(parts.back())) {
        return;
    }
    field.read(path.back(), parts.back(), record);
}

SystemRecord read_system_record(const CheckedObject& system) {
    SystemRecord record;
    for (const SystemField& field : system_field_table()) {
        read_system_field(field, system, record);
    }
    return record;
}

}  // namespace quorlind::bench
