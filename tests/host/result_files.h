#pragma once

// The result files in tests/host/data, for the reader and compare tests.

#include <fstream>
#include <sstream>
#include <string>

#include <nlohmann/json.hpp>

#include "result/reader.h"

namespace quorlind::bench::testing {

inline std::string fixture_path(const std::string& name) { return QUORLIND_TEST_DATA_DIR "/" + name; }

inline std::string read_text(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

inline nlohmann::json fixture(const std::string& name) {
    return nlohmann::json::parse(read_text(fixture_path(name)));
}

// A document as the reader hands it on; the name stands for its file.
inline Result result_of(const nlohmann::json& document, const std::string& name = "result.json") {
    return parse_result_text(document.dump(), name);
}

}  // namespace quorlind::bench::testing
