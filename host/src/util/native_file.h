#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The system calls behind OutputFile, one implementation per operating
// system (linux/, win32/). Failures throw std::system_error with the
// system's own code.
namespace quorlind::bench::native_file {

// A file written through the system's own calls, so that every error, and
// the flush to the disk, is seen. Closed when destroyed.
class Writer {
public:
    Writer() = default;
    ~Writer();
    Writer(Writer&& other) noexcept;
    Writer& operator=(Writer&& other) noexcept;
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

    // A file that must not exist yet, with the permissions a new file gets.
    static Writer create_new(const std::string& path);
    // What is not a regular file (a device, a FIFO, a socket, a descriptor
    // such as /dev/fd/3), written where it is.
    static Writer open_in_place(const std::string& path);

    void write_all(std::string_view text);
    // To the disk; a no-op for what has no disk behind it.
    void flush_to_disk();
    void close();

private:
    explicit Writer(std::intptr_t handle) : handle_(handle) {}
    std::intptr_t handle_ = -1;
};

// Renames `from` over `to` in one step, and makes the rename itself durable.
void replace(const std::string& from, const std::string& to);

// Whether the process may try to write there at all, checked before any work.
bool may_write(const std::string& path);

// The descriptor that a path such as /dev/stdout or /dev/fd/3 names, or -1.
// Such a path is written in place, never replaced.
int descriptor_named_by(const std::string& path);

std::uint64_t current_process_id();
bool process_is_alive(std::uint64_t process_id);

}  // namespace quorlind::bench::native_file
