#include "util/number_format.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace quorlind::bench {

std::string group_thousands(std::uint64_t value) {
    std::string digits = std::to_string(value);
    std::string grouped;
    grouped.reserve(digits.size() + digits.size() / 3);
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i != 0 && (digits.size() - i) % 3 == 0) {
            grouped.push_back(',');
        }
        grouped.push_back(digits[i]);
    }
    return grouped;
}

std::string format_rate(double ops_per_second) {
    if (!std::isfinite(ops_per_second) || ops_per_second < 0.0) {
        return "-";
    }
    if (ops_per_second < 100.0) {
        return format_fixed(ops_per_second, 2);
    }
    if (ops_per_second >= 1.8e19) {
        return format_fixed(ops_per_second, 0);
    }
    return group_thousands(static_cast<std::uint64_t>(std::llround(ops_per_second)));
}

std::string format_fixed(double value, int decimals) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    return buffer;
}

std::string format_clock(double seconds) {
    if (!std::isfinite(seconds) || seconds < 0.0) {
        seconds = 0.0;
    }
    const auto total = static_cast<unsigned long long>(seconds);
    const unsigned long long hours = total / 3600;
    const unsigned long long minutes = total / 60 % 60;
    const unsigned long long secs = total % 60;
    char buffer[48];
    if (hours > 0) {
        std::snprintf(buffer, sizeof buffer, "%llu:%02llu:%02llu", hours, minutes, secs);
    } else {
        std::snprintf(buffer, sizeof buffer, "%llu:%02llu", minutes, secs);
    }
    return buffer;
}

std::string format_hex64(std::uint64_t value) {
    char buffer[24];
    std::snprintf(buffer, sizeof buffer, "0x%016llx", static_cast<unsigned long long>(value));
    return buffer;
}

std::string format_exact(double value) {
    // Plain decimals read best; exponents only where those get too long.
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    if (result.ec != std::errc{}) {
        result = std::to_chars(buffer, buffer + sizeof buffer, value);
    }
    return std::string(buffer, result.ptr);
}

std::string format_significant(double value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.15g", value);
    return buffer;
}

std::optional<double> parse_finite_number(const std::string& text) {
    double value = 0.0;
    const char* first = text.data();
    const char* last = first + text.size();
    auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc{} || end != last || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::string format_bytes(std::uint64_t bytes) {
    constexpr std::uint64_t kib = 1024;
    constexpr std::uint64_t mib = kib * 1024;
    constexpr std::uint64_t gib = mib * 1024;
    const auto scaled = [bytes](std::uint64_t unit, const char* name) {
        const double value = static_cast<double>(bytes) / static_cast<double>(unit);
        std::string text = bytes % unit == 0 ? group_thousands(bytes / unit) : format_fixed(value, 2);
        return text + ' ' + name;
    };
    if (bytes >= gib) {
        return scaled(gib, "GiB");
    }
    if (bytes >= mib) {
        return scaled(mib, "MiB");
    }
    if (bytes >= kib) {
        return scaled(kib, "KiB");
    }
    return std::to_string(bytes) + " bytes";
}

std::string format_signed_percent(double percent) {
    // Rounding can turn a tiny negative into "-0.0"; a sign then misleads.
    const std::string digits = format_fixed(std::fabs(percent), 1);
    const char* sign = digits == "0.0" ? "" : (percent < 0.0 ? "-" : "+");
    return sign + digits + " %";
}

std::string format_percent(double percent, int decimals) { return format_fixed(percent, decimals) + " %"; }

std::string format_count(std::size_t count, const char* singular, const char* plural) {
    return std::to_string(count) + " " + (count == 1 ? singular : plural);
}

std::string format_seconds_exact(double seconds) { return format_exact(seconds) + " s"; }

std::string format_seconds_rounded(double seconds) {
    return format_fixed(seconds, seconds >= 10.0 ? 0 : 1) + " s";
}

}  // namespace quorlind::bench
