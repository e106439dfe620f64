#pragma once

#include <string>

namespace quorlind::bench {

// An output file that appears whole or not at all. The text goes to a
// temporary file beside the target (same directory, so the rename stays on one
// file system) and is renamed over it only when complete: a reader such as
// node_exporter never sees half a file, and a failure leaves the old one.
class OutputFile {
public:
    // Creates the temporary file at once, so that a path that cannot be
    // written is known before any work is done; check ok().
    explicit OutputFile(std::string path);
    ~OutputFile();  // removes the temporary file unless committed
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    bool ok() const { return !temporary_path_.empty(); }
    const std::string& path() const { return path_; }

    // Writes the text and renames it into place. On failure the returned text
    // says what went wrong, and nothing is left behind.
    std::string commit(const std::string& text);

private:
    std::string path_;
    std::string temporary_path_;
};

}  // namespace quorlind::bench
