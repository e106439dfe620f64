#pragma once

#include "util/native_file.h"

#include <iostream>
#include <ostream>
#include <string>
#include <string_view>

namespace quorlind::bench {

// "-" names standard output for every output option, as do /dev/stdout and
// its kin where the system has them.
bool is_standard_output(const std::string& path);

// Whether two paths name one file: compared as files where both exist (so a
// hard or symbolic link is the same file), else as absolute paths with the
// links followed and "." and ".." resolved. Standard output is one file.
bool same_file(const std::string& first, const std::string& second);

// An output file that appears whole or not at all. A regular file, or a path
// where nothing is yet, gets its text through a temporary file beside it
// (same directory, so the rename stays on one file system), flushed to the
// disk and renamed over it only when complete: a reader such as
// node_exporter never sees half a file, and a failure leaves the old one. A
// symbolic link is followed and its final target replaced, keeping the old
// file's permissions. What is no regular file (standard output, a device, a
// FIFO, a socket) cannot be replaced, so it is written in place.
class OutputFile {
public:
    // label names the file in messages, e.g. "--json". Claims the path at
    // once, so that one that cannot be written is known before any work is
    // done: throws a usage Failure. Standard output is `standard_output`.
    OutputFile(std::string label, std::string path, std::ostream& standard_output = std::cout);
    ~OutputFile();  // removes the temporary file unless committed
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    const std::string& path() const { return path_; }
    const std::string& label() const { return label_; }
    // A replaced file may be written again and again (the runs so far); a
    // stream only once.
    bool replaceable() const { return mode_ == Mode::replace; }

    // Writes the text: renamed into place, or written where it is. Throws a
    // write_failed Failure; a replaced file then stays as it was.
    void commit(std::string_view text);

private:
    enum class Mode { replace, in_place, standard_output };

    void claim_temporary();
    void abandon_temporary();
    void remove_stale_temporaries() const;

    std::string label_;
    std::string path_;
    std::string target_;  // the symbolic links followed
    std::string temporary_path_;
    std::ostream* standard_output_;
    native_file::Writer temporary_;  // open from the claim to the commit
    Mode mode_ = Mode::replace;
};

}  // namespace quorlind::bench
