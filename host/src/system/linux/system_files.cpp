#include "system/linux/system_files.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <map>
#include <system_error>

namespace quorlind::bench {
namespace {

namespace fs = std::filesystem;

std::string trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    const auto last = text.find_last_not_of(" \t\r\n");
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

fs::path under(const fs::path& root, const char* absolute) {
    return root / fs::path(absolute).relative_path();
}

std::optional<std::string> read_line(const fs::path& path) {
    std::ifstream file(path);
    std::string line;
    if (!file || !std::getline(file, line)) {
        return std::nullopt;
    }
    line = trim(line);
    if (line.empty()) {
        return std::nullopt;
    }
    return line;
}

std::optional<double> parse_number(const std::string& text) {
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

std::optional<double> read_number(const fs::path& path) {
    const auto line = read_line(path);
    return line ? parse_number(*line) : std::nullopt;
}

std::optional<double> positive(std::optional<double> value) {
    return value && *value > 0.0 ? value : std::nullopt;
}

// cpu0, cpu1, ... in numeric order; offline gaps are skipped, not an end.
std::vector<fs::path> processor_directories(const fs::path& root) {
    std::vector<std::pair<unsigned, fs::path>> found;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(under(root, "/sys/devices/system/cpu"), error)) {
        const std::string name = entry.path().filename().string();
        unsigned number = 0;
        if (name.size() > 3 && name.compare(0, 3, "cpu") == 0) {
            const auto [end, parse_error] =
                std::from_chars(name.data() + 3, name.data() + name.size(), number);
            if (parse_error == std::errc{} && end == name.data() + name.size()) {
                found.emplace_back(number, entry.path());
            }
        }
    }
    std::sort(found.begin(), found.end());
    std::vector<fs::path> directories;
    directories.reserve(found.size());
    for (auto& item : found) {
        directories.push_back(std::move(item.second));
    }
    return directories;
}

// The value after the colon of the first /proc/cpuinfo line whose key is one of keys.
std::optional<std::string> cpuinfo_value(const fs::path& root, std::initializer_list<const char*> keys) {
    std::ifstream file(under(root, "/proc/cpuinfo"));
    std::string line;
    while (std::getline(file, line)) {
        const auto colon = line.find(':');
        if (colon == std::string::npos) {
            continue;
        }
        const std::string key = trim(line.substr(0, colon));
        if (std::find(keys.begin(), keys.end(), key) != keys.end()) {
            const std::string value = trim(line.substr(colon + 1));
            if (!value.empty()) {
                return value;
            }
        }
    }
    return std::nullopt;
}

std::string unquote(std::string value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    std::string text;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size()) {
            ++i;
        }
        text += value[i];
    }
    return text;
}

std::map<std::string, std::string> read_os_release(const fs::path& root) {
    std::ifstream file(under(root, "/etc/os-release"));
    if (!file) {
        file.open(under(root, "/usr/lib/os-release"));
    }
    std::map<std::string, std::string> values;
    std::string line;
    while (std::getline(file, line)) {
        line = trim(line);
        const auto equals = line.find('=');
        if (line.empty() || line.front() == '#' || equals == std::string::npos) {
            continue;
        }
        values[line.substr(0, equals)] = unquote(line.substr(equals + 1));
    }
    return values;
}

std::optional<std::string> non_empty(const std::string& text) {
    return text.empty() ? std::nullopt : std::optional<std::string>(text);
}

}  // namespace

std::optional<std::string> read_processor_model(const fs::path& root) {
    return cpuinfo_value(root, {"model name", "Model", "cpu model"});
}

ClockInfo read_cpu_clock(const fs::path& root) {
    constexpr double khz_per_mhz = 1000.0;
    ClockInfo clock;
    bool has_cpufreq = false;
    for (const auto& directory : processor_directories(root)) {
        const fs::path cpufreq = directory / "cpufreq";
        std::error_code error;
        if (!fs::is_directory(cpufreq, error)) {
            continue;
        }
        has_cpufreq = true;
        if (const auto max_khz = positive(read_number(cpufreq / "cpuinfo_max_freq"))) {
            clock.max_mhz = std::max(clock.max_mhz.value_or(0.0), *max_khz / khz_per_mhz);
        }
        if (!clock.base_mhz) {
            if (const auto base_khz = positive(read_number(cpufreq / "base_frequency"))) {
                clock.base_mhz = *base_khz / khz_per_mhz;
            } else {
                clock.base_mhz = positive(read_number(directory / "acpi_cppc" / "nominal_freq"));
            }
        }
    }
    if (!has_cpufreq) {
        if (const auto mhz = cpuinfo_value(root, {"cpu MHz"})) {
            clock.base_mhz = positive(parse_number(*mhz));
        }
    }
    return clock;
}

PowerSettings read_power_settings(const fs::path& root) {
    PowerSettings power;
    for (const auto& directory : processor_directories(root)) {
        if (auto governor = read_line(directory / "cpufreq" / "scaling_governor")) {
            power.governors.push_back(std::move(*governor));
        }
    }
    if (const auto no_turbo = read_number(under(root, "/sys/devices/system/cpu/intel_pstate/no_turbo"))) {
        power.boost = *no_turbo == 0.0;
    } else if (const auto boost = read_number(under(root, "/sys/devices/system/cpu/cpufreq/boost"))) {
        power.boost = *boost != 0.0;
    } else if (const auto policy_boost =
                   read_number(under(root, "/sys/devices/system/cpu/cpufreq/policy0/boost"))) {
        power.boost = *policy_boost != 0.0;
    }
    return power;
}

OsIdentity read_os_identity(const fs::path& root, const std::string& kernel_release,
                            const std::string& kernel_version) {
    const auto release = read_os_release(root);
    OsIdentity os;
    const auto value = [&release](const char* key) -> std::optional<std::string> {
        const auto found = release.find(key);
        return found == release.end() ? std::nullopt : non_empty(found->second);
    };
    os.name = value("NAME");
    os.version = value("VERSION");
    if (!os.version) {
        os.version = value("VERSION_ID");
    }
    os.build = non_empty(trim(kernel_release + " " + kernel_version));
    return os;
}

}  // namespace quorlind::bench
