#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "result/run_record.h"

namespace quorlind::bench {

// A result file as every consumer sees it, whatever version was on disk:
// `document` is the whole result in the version-2 layout, and the members
// beside it are the parts that consumers compute with, already checked, in
// the records a run leaves.
// Every string came from the file and may hold anything: treat it as data.
struct ResultFile {
    std::string path;
    int schema_version_read = 0;  // 1 or 2: what the file held before upgrading
    nlohmann::json document;
    double warmup_seconds = 0.0;
    double measurement_seconds = 0.0;
    std::string library_version;
    std::uint64_t abi_version = 0;
    std::vector<RunRecord> runs;  // config holds the file's lengths
};

// What is wrong with a result file; the message begins with the file's name.
class InvalidResultFile : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace quorlind::bench
