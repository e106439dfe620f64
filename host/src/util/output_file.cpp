#include "util/output_file.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <system_error>

namespace quorlind::bench {
namespace {

// Not a name a collector reads (node_exporter takes only *.prom) and unlikely
// to meet another writer's temporary file.
std::string temporary_name_for(const std::string& path) {
    std::random_device entropy;
    const unsigned long long token = (static_cast<unsigned long long>(entropy()) << 32) ^ entropy();
    return path + ".tmp-" + std::to_string(token);
}

}  // namespace

OutputFile::OutputFile(std::string path) : path_(std::move(path)) {
    std::error_code error;
    if (path_.empty() || std::filesystem::is_directory(std::filesystem::path(path_), error)) {
        return;
    }
    std::string candidate = temporary_name_for(path_);
    std::ofstream probe(std::filesystem::path(candidate), std::ios::binary | std::ios::trunc);
    if (probe) {
        temporary_path_ = std::move(candidate);
    }
}

OutputFile::~OutputFile() {
    if (!temporary_path_.empty()) {
        std::error_code ignored;
        std::filesystem::remove(std::filesystem::path(temporary_path_), ignored);
    }
}

std::string OutputFile::commit(const std::string& text) {
    if (temporary_path_.empty()) {
        return "cannot write to '" + path_ + "'";
    }
    const auto temporary = std::filesystem::path(temporary_path_);
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        file << text;
        file.flush();
        if (!file) {
            return "writing '" + path_ + "' failed";
        }
    }
    std::error_code error;
    std::filesystem::rename(temporary, std::filesystem::path(path_), error);
    if (error) {
        return "cannot replace '" + path_ + "': " + error.message();
    }
    temporary_path_.clear();
    return {};
}

}  // namespace quorlind::bench
