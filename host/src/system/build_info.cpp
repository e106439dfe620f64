#include "system/build_info.h"

#include <string>

namespace quorlind::bench {
namespace {

std::optional<std::string> non_empty(const char* text) {
    return text[0] != '\0' ? std::optional<std::string>(text) : std::nullopt;
}

// CMake's compiler ids, under the names people use.
std::optional<std::string> compiler_name(const char* cmake_id) {
    const std::string id = cmake_id;
    if (id == "GNU") {
        return "GCC";
    }
    if (id == "AppleClang") {
        return "Clang";
    }
    return non_empty(cmake_id);
}

}  // namespace

BuildInfo tool_build_info() {
    BuildInfo build;
#if defined(__clang__)
    build.compiler = "Clang";
    build.compiler_version = std::to_string(__clang_major__) + "." + std::to_string(__clang_minor__) + "." +
                             std::to_string(__clang_patchlevel__);
#elif defined(__GNUC__)
    build.compiler = "GCC";
    build.compiler_version = std::to_string(__GNUC__) + "." + std::to_string(__GNUC_MINOR__) + "." +
                             std::to_string(__GNUC_PATCHLEVEL__);
#elif defined(_MSC_VER)
    build.compiler = "MSVC";
    build.compiler_version = std::to_string(_MSC_FULL_VER);
#endif
    build.build_type = non_empty(QUORLIND_BENCH_BUILD_TYPE);
    return build;
}

BuildInfo library_build_info() {
    BuildInfo build;
    build.compiler = compiler_name(QUORLIND_LIBRARY_COMPILER_ID);
    build.compiler_version = non_empty(QUORLIND_LIBRARY_COMPILER_VERSION);
    build.build_type = non_empty(QUORLIND_LIBRARY_BUILD_TYPE);
    return build;
}

}  // namespace quorlind::bench
