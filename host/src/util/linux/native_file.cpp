#include "util/native_file.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <system_error>
#include <utility>

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace quorlind::bench::native_file {
namespace {

[[noreturn]] void throw_errno(const char* what) {
    throw std::system_error(errno, std::generic_category(), what);
}

int descriptor_after(std::string_view path, std::string_view prefix) {
    if (path.substr(0, prefix.size()) != prefix) {
        return -1;
    }
    const std::string_view digits = path.substr(prefix.size());
    int descriptor = -1;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), descriptor);
    return error == std::errc{} && end == digits.data() + digits.size() && !digits.empty() ? descriptor : -1;
}

// A Unix socket takes no open(); a stream connection writes to it the same way.
int connect_socket(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        errno = ENAMETOOLONG;
        return -1;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd >= 0 && connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

}  // namespace

Writer::~Writer() {
    if (handle_ >= 0) {
        ::close(static_cast<int>(handle_));
    }
}

Writer::Writer(Writer&& other) noexcept : handle_(std::exchange(other.handle_, -1)) {}

Writer& Writer::operator=(Writer&& other) noexcept {
    std::swap(handle_, other.handle_);
    return *this;
}

Writer Writer::create_new(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        throw_errno("open");
    }
    return Writer(fd);
}

Writer Writer::open_in_place(const std::string& path) {
    if (const int named = descriptor_named_by(path); named >= 0) {
        // The descriptor itself, so that its offset and append mode hold as the shell set them.
        const int fd = fcntl(named, F_DUPFD_CLOEXEC, 0);
        if (fd < 0) {
            throw_errno("dup");
        }
        return Writer(fd);
    }
    struct stat status {};
    const bool socket_file = ::stat(path.c_str(), &status) == 0 && S_ISSOCK(status.st_mode);
    const int fd = socket_file ? connect_socket(path) : ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        throw_errno("open");
    }
    return Writer(fd);
}

void Writer::write_all(std::string_view text) {
    while (!text.empty()) {
        const ssize_t written = ::write(static_cast<int>(handle_), text.data(), text.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw_errno("write");
        }
        text.remove_prefix(static_cast<std::size_t>(written));
    }
}

void Writer::flush_to_disk() {
    // Pipes, terminals and devices take no fsync; that is no failure.
    if (::fsync(static_cast<int>(handle_)) != 0 && errno != EINVAL && errno != EROFS) {
        throw_errno("fsync");
    }
}

void Writer::close() {
    const int fd = static_cast<int>(std::exchange(handle_, -1));
    if (fd >= 0 && ::close(fd) != 0 && errno != EINTR) {
        throw_errno("close");
    }
}

void replace(const std::string& from, const std::string& to) {
    if (::rename(from.c_str(), to.c_str()) != 0) {
        throw_errno("rename");
    }
    // The rename is durable only once the directory holding it is.
    const auto slash = to.rfind('/');
    const std::string directory = slash == std::string::npos ? "." : slash == 0 ? "/" : to.substr(0, slash);
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

bool may_write(const std::string& path) {
    return descriptor_named_by(path) >= 0 || ::access(path.c_str(), W_OK) == 0;
}

int descriptor_named_by(const std::string& path) {
    if (path == "/dev/stdout") {
        return STDOUT_FILENO;
    }
    if (path == "/dev/stderr") {
        return STDERR_FILENO;
    }
    for (const std::string_view prefix : {"/dev/fd/", "/proc/self/fd/"}) {
        if (const int descriptor = descriptor_after(path, prefix); descriptor >= 0) {
            return descriptor;
        }
    }
    return descriptor_after(path, "/proc/" + std::to_string(getpid()) + "/fd/");
}

std::uint64_t current_process_id() { return static_cast<std::uint64_t>(getpid()); }

bool process_is_alive(std::uint64_t process_id) {
    if (process_id == 0 || process_id > static_cast<std::uint64_t>(INT32_MAX)) {
        return false;
    }
    return ::kill(static_cast<pid_t>(process_id), 0) == 0 || errno == EPERM;
}

}  // namespace quorlind::bench::native_file
