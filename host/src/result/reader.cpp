#include "result/reader.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "result/json_writer.h"
#include "result/result_json.h"
#include "result/names.h"
#include "result/upgrade.h"
#include "util/printable_text.h"

namespace quorlind::bench {
namespace {

using json = nlohmann::json;

[[noreturn]] void refuse(const std::string& name, const std::string& what) {
    throw InvalidResultFile(name + ": " + what);
}

std::string read_at_most(const std::string& path, std::size_t max_bytes) {
    std::error_code ignored;
    if (std::filesystem::is_directory(path, ignored)) {
        refuse(path, "is a directory, not a result file");
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        refuse(path, std::string("cannot open the file: ") + std::strerror(errno));
    }
    // Read in pieces rather than trusting a size: pipes and devices have none.
    std::string text;
    char buffer[1 << 16];
    while (file.read(buffer, sizeof buffer) || file.gcount() > 0) {
        text.append(buffer, static_cast<std::size_t>(file.gcount()));
        if (text.size() > max_bytes) {
            refuse(path, "larger than " + std::to_string(max_bytes) +
                             " bytes; result files are far smaller, so this is not one");
        }
    }
    if (file.bad()) {
        refuse(path, "cannot read the file");
    }
    return text;
}

json parse_json(std::string_view text, const std::string& name) {
    if (text.find_first_not_of(" \t\r\n") == std::string_view::npos) {
        refuse(name, "the file is empty");
    }
    const auto limit_depth = [](int depth, json::parse_event_t, json&) {
        if (static_cast<std::size_t>(depth) > max_result_nesting) {
            throw LayoutError("nested deeper than " + std::to_string(max_result_nesting) +
                              " levels; no result is");
        }
        return true;
    };
    try {
        return json::parse(text.begin(), text.end(), limit_depth);
    } catch (const json::exception& error) {
        // "[json.exception.parse_error.101] parse error at line 3, column 8: ..." without the tag.
        std::string detail = error.what();
        const auto tag_end = detail.find("] ");
        if (tag_end != std::string::npos) {
            detail.erase(0, tag_end + 2);
        }
        const auto* parse_error = dynamic_cast<const json::parse_error*>(&error);
        const bool cut_short = parse_error != nullptr && parse_error->byte >= text.size();
        refuse(name,
               std::string(cut_short ? "the JSON ends too early (a truncated file?): " : "not valid JSON: ") +
                   printable_text(detail, 160));
    } catch (const LayoutError& error) {
        refuse(name, error.what());
    }
}

int schema_version_of(const json& document, const std::string& name) {
    const std::string not_ours = std::string("not a ") + tool_name + " result: ";
    if (!document.is_object()) {
        refuse(name, not_ours + "the document is " + describe_json_type(document) + ", not an object");
    }
    const auto tool = document.find("tool");
    if (tool == document.end() || !tool->is_object() || !tool->contains("name") ||
        !(*tool)["name"].is_string()) {
        refuse(name, not_ours + "it has no tool.name");
    }
    const auto& name_read = (*tool)["name"].get_ref<const std::string&>();
    if (name_read != tool_name) {
        refuse(name, not_ours + "tool.name is '" + printable_text(name_read, 60) + "'");
    }
    const auto version = document.find("schema_version");
    if (version == document.end()) {
        return 1;
    }
    if (!version->is_number_integer()) {
        refuse(name, "schema_version should be a whole number, not " + describe_json_type(*version));
    }
    if (*version != 1 && *version != 2 && *version != result_schema_version) {
        refuse(name, "schema_version " + version->dump() + " is not one this tool reads (1 to 3); a newer " +
                         tool_name + " may read it");
    }
    return version->get<int>();
}

// Equal but for the last digits a writer may have rounded away.
bool close(double stored, double computed) {
    return std::fabs(stored - computed) <= 1e-6 * std::max(std::fabs(stored), std::fabs(computed)) + 1e-12;
}

bool close(const std::optional<double>& stored, const std::optional<double>& computed) {
    return stored.has_value() == computed.has_value() && (!stored || close(*stored, *computed));
}

bool close(const std::optional<Interval>& stored, const std::optional<Interval>& computed) {
    return stored.has_value() == computed.has_value() &&
           (!stored || (close(stored->low, computed->low) && close(stored->high, computed->high)));
}

bool same(const Stability& stored, const Stability& computed) {
    return close(stored.trend_percent, computed.trend_percent) &&
           stored.trend_significant == computed.trend_significant &&
           stored.instability == computed.instability;
}

bool same(const std::optional<KindStatistics>& stored, const std::optional<KindStatistics>& computed) {
    if (!stored || !computed) {
        return stored.has_value() == computed.has_value();
    }
    return stored->runs == computed->runs && stored->completed == computed->completed &&
           close(stored->median, computed->median) && close(stored->minimum, computed->minimum) &&
           close(stored->maximum, computed->maximum) && close(stored->mean, computed->mean) &&
           close(stored->ci95, computed->ci95) && close(stored->cv_percent, computed->cv_percent);
}

bool same(const std::optional<Scaling>& stored, const std::optional<Scaling>& computed) {
    if (!stored || !computed) {
        return stored.has_value() == computed.has_value();
    }
    return close(stored->multi_core_ratio, computed->multi_core_ratio) &&
           close(stored->multi_core_ratio_interval, computed->multi_core_ratio_interval) &&
           stored->pairs == computed->pairs && stored->workers == computed->workers &&
           stored->physical_cores == computed->physical_cores &&
           close(stored->efficiency_per_logical_processor, computed->efficiency_per_logical_processor) &&
           close(stored->efficiency_per_physical_core, computed->efficiency_per_physical_core) &&
           close(stored->smt_gain, computed->smt_gain);
}

bool same_kinds(const std::vector<LoadCause>& stored, const std::vector<LoadCause>& computed) {
    return std::equal(stored.begin(), stored.end(), computed.begin(), computed.end(),
                      [](const LoadCause& a, const LoadCause& b) {
                          return a.kind == b.kind && a.intervals == b.intervals && close(a.figure, b.figure);
                      });
}

// Raw data are the truth: every derived figure is worked out again by
// today's code, and those the file held otherwise are named.
void recompute_figures(Result& result) {
    const Result stored = result;
    derive_figures(result);
    for (std::size_t i = 0; i < stored.record.runs.size(); ++i) {
        const RunRecord& stored_run = stored.record.runs[i];
        const RunRecord& run = result.record.runs[i];
        if (!same(stored_run.stability, run.stability)) {
            result.recomputed.push_back("stability of run " + std::to_string(stored_run.index + 1));
        }
        if (run.load && (stored_run.disturbance.disturbed != run.disturbance.disturbed ||
                         !same_kinds(stored_run.causes, run.causes))) {
            result.recomputed.push_back("load causes of run " + std::to_string(stored_run.index + 1));
        }
    }
    for (const std::uint32_t benchmark : benchmark_kinds) {
        if (!same(stored.statistics(benchmark), result.statistics(benchmark))) {
            result.recomputed.push_back(std::string("statistics of ") + benchmark_name(benchmark));
        }
    }
    if (!same(stored.scaling, result.scaling)) {
        result.recomputed.push_back("scaling");
    }
}

}  // namespace

Result parse_result_text(std::string_view text, const std::string& name) {
    const json document = parse_json(text, name);
    const int version = schema_version_of(document, name);
    try {
        Result result = version == 1   ? read_version2(upgrade_version1(document))
                        : version == 2 ? read_version2(upgrade_version2(document))
                                       : read_version2(document);
        recompute_figures(result);
        result.path = name;
        result.schema_version_read = version;
        return result;
    } catch (const LayoutError& error) {
        refuse(name, error.what());
    } catch (const json::exception& error) {
        refuse(name, "unexpected layout: " + printable_text(error.what(), 160));
    }
}

Result read_result_file(const std::string& path, std::size_t max_bytes) {
    return parse_result_text(read_at_most(path, max_bytes), path);
}

}  // namespace quorlind::bench
