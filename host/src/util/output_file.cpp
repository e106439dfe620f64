#include "util/output_file.h"

#include "util/failure.h"
#include "util/native_file.h"

#include <cerrno>
#include <charconv>
#include <filesystem>
#include <system_error>

namespace quorlind::bench {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view temporary_marker = ".qbtmp-";
// Leaves room for the dot, the marker and the process id within the 255
// bytes that most file systems allow a name.
constexpr std::size_t kept_name_bytes = 200;

// ".NAME.qbtmp-PID": hidden, never a name a collector reads (node_exporter
// takes only *.prom), and it says whose it is, so a later run can tell a
// killed run's leftovers from a live one's.
std::string temporary_prefix(const fs::path& target) {
    std::string name = target.filename().string();
    if (name.size() > kept_name_bytes) {
        std::size_t cut = kept_name_bytes;
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xc0) == 0x80) {
            --cut;  // whole UTF-8 characters only
        }
        name.resize(cut);
    }
    return "." + name + std::string(temporary_marker);
}

// The process id in a name that begins with prefix: "PID" or "PID-N".
std::uint64_t owner_of(std::string_view name, std::string_view prefix) {
    if (name.substr(0, prefix.size()) != prefix) {
        return 0;
    }
    name.remove_prefix(prefix.size());
    std::uint64_t owner = 0;
    const auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), owner);
    if (error != std::errc{} || (end != name.data() + name.size() && *end != '-')) {
        return 0;
    }
    return owner;
}

// Symbolic links followed to the file they end at, which may not exist yet.
// A path naming an open descriptor (/dev/stdout) ends the walk: what it leads
// to is the process's own stream.
fs::path final_target(const std::string& path) {
    fs::path current(path);
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code error;
        if (native_file::descriptor_named_by(current.string()) >= 0 ||
            !fs::is_symlink(fs::symlink_status(current, error))) {
            return current;
        }
        const fs::path next = fs::read_symlink(current, error);
        if (error) {
            return current;
        }
        current = next.is_absolute() ? next : current.parent_path() / next;
    }
    return current;  // a loop: opening it fails and says so
}

}  // namespace

bool is_standard_output(const std::string& path) {
    return path == "-" || native_file::descriptor_named_by(path) == 1;
}

bool same_file(const std::string& first, const std::string& second) {
    if (is_standard_output(first) || is_standard_output(second)) {
        return is_standard_output(first) && is_standard_output(second);
    }
    const fs::path first_target = final_target(first);
    const fs::path second_target = final_target(second);
    std::error_code error;
    if (fs::exists(first_target, error) && fs::exists(second_target, error)) {
        return fs::equivalent(first_target, second_target, error);
    }
    const auto normalised = [](const fs::path& path) {
        std::error_code ignored;
        const fs::path canonical = fs::weakly_canonical(fs::absolute(path, ignored), ignored);
        return (canonical.empty() ? path : canonical).lexically_normal();
    };
    return normalised(first_target) == normalised(second_target);
}

OutputFile::OutputFile(std::string label, std::string path, std::ostream& standard_output)
    : label_(std::move(label)), path_(std::move(path)), standard_output_(&standard_output) {
    if (path_.empty()) {
        throw usage_failure(label_ + ": expected a file name, or - for standard output");
    }
    if (is_standard_output(path_)) {
        mode_ = Mode::standard_output;
        return;
    }
    const fs::path target = final_target(path_);
    target_ = target.string();
    std::error_code error;
    const fs::file_status status = fs::status(target, error);
    if (native_file::descriptor_named_by(target_) >= 0 ||
        (fs::exists(status) && !fs::is_regular_file(status) && !fs::is_directory(status))) {
        mode_ = Mode::in_place;
        if (!native_file::may_write(target_)) {
            throw cannot_write(Failure::Kind::usage, label_, path_);
        }
        return;
    }
    if (fs::is_directory(status)) {
        throw cannot_write(Failure::Kind::usage, label_, path_);
    }
    try {
        claim_temporary();
    } catch (const std::system_error&) {
        abandon_temporary();
        throw cannot_write(Failure::Kind::usage, label_, path_);
    }
}

OutputFile::~OutputFile() { abandon_temporary(); }

void OutputFile::abandon_temporary() {
    temporary_ = native_file::Writer{};  // closed first: Windows removes no open file
    if (!temporary_path_.empty()) {
        std::error_code ignored;
        fs::remove(fs::path(temporary_path_), ignored);
        temporary_path_.clear();
    }
}

void OutputFile::claim_temporary() {
    const fs::path target(target_);
    const std::string stem = temporary_prefix(target) + std::to_string(native_file::current_process_id());
    // Another output of this process may share the cut name.
    for (int attempt = 0;; ++attempt) {
        const std::string candidate =
            (target.parent_path() / (attempt == 0 ? stem : stem + "-" + std::to_string(attempt))).string();
        try {
            temporary_ = native_file::Writer::create_new(candidate);
            temporary_path_ = candidate;
            // The old file's permissions from the start, so that text meant
            // for its owner alone is never readable by others on the way.
            std::error_code no_old_file;
            const fs::perms kept = fs::status(target, no_old_file).permissions();
            if (!no_old_file && kept != fs::perms::unknown) {
                fs::permissions(fs::path(temporary_path_), kept, no_old_file);
            }
            return;
        } catch (const std::system_error& error) {
            if (error.code() != std::errc::file_exists || attempt >= 100) {
                throw;
            }
        }
    }
}

void OutputFile::commit(std::string_view text) {
    try {
        if (mode_ == Mode::standard_output) {
            errno = 0;
            *standard_output_ << text;
            standard_output_->flush();
            if (!*standard_output_) {
                const int error = errno;
                throw Failure(
                    Failure::Kind::write_failed,
                    label_ + ": cannot write to standard output" +
                        (error != 0 ? ": " + std::generic_category().message(error) : std::string()));
            }
            return;
        }
        if (mode_ == Mode::in_place) {
            native_file::Writer stream = native_file::Writer::open_in_place(target_);
            stream.write_all(text);
            stream.close();
            return;
        }
        if (temporary_path_.empty()) {
            claim_temporary();  // the last commit used the one claimed first
        }
        temporary_.write_all(text);
        temporary_.flush_to_disk();
        temporary_.close();
        native_file::replace(temporary_path_, target_);
        temporary_path_.clear();
    } catch (const std::system_error& error) {
        abandon_temporary();
        throw cannot_write(Failure::Kind::write_failed, label_, path_, error.code().message());
    }
    remove_stale_temporaries();
}

// Only this tool's temporary files of this very target, and only those whose
// process has ended: a run killed between claim and commit.
void OutputFile::remove_stale_temporaries() const {
    const fs::path target(target_);
    const std::string prefix = temporary_prefix(target);
    const std::uint64_t own = native_file::current_process_id();
    std::error_code error;
    const fs::path directory = target.parent_path().empty() ? fs::path(".") : target.parent_path();
    for (fs::directory_iterator it(directory, error), end; !error && it != end; it.increment(error)) {
        const std::uint64_t owner = owner_of(it->path().filename().string(), prefix);
        if (owner != 0 && owner != own && !native_file::process_is_alive(owner)) {
            std::error_code ignored;
            fs::remove(it->path(), ignored);
        }
    }
}

}  // namespace quorlind::bench
