#include "util/native_file.h"

#include <bit>
#include <filesystem>
#include <system_error>
#include <utility>

#include <windows.h>

namespace quorlind::bench::native_file {
namespace {

[[noreturn]] void throw_last_error(const char* what) {
    throw std::system_error(static_cast<int>(GetLastError()), std::system_category(), what);
}

HANDLE as_handle(std::intptr_t handle) { return std::bit_cast<HANDLE>(handle); }

std::intptr_t checked(HANDLE handle, const char* what) {
    if (handle == INVALID_HANDLE_VALUE || handle == nullptr) {
        throw_last_error(what);
    }
    return std::bit_cast<std::intptr_t>(handle);
}

std::wstring wide(const std::string& path) { return std::filesystem::path(path).wstring(); }

}  // namespace

Writer::~Writer() {
    if (handle_ != -1) {
        CloseHandle(as_handle(handle_));
    }
}

Writer::Writer(Writer&& other) noexcept : handle_(std::exchange(other.handle_, -1)) {}

Writer& Writer::operator=(Writer&& other) noexcept {
    std::swap(handle_, other.handle_);
    return *this;
}

Writer Writer::create_new(const std::string& path) {
    return Writer(checked(CreateFileW(wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                      nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr),
                          "CreateFile"));
}

Writer Writer::open_in_place(const std::string& path) {
    return Writer(checked(CreateFileW(wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr),
                          "CreateFile"));
}

void Writer::write_all(std::string_view text) {
    while (!text.empty()) {
        const DWORD chunk = text.size() > (1u << 30) ? (1u << 30) : static_cast<DWORD>(text.size());
        DWORD written = 0;
        if (!WriteFile(as_handle(handle_), text.data(), chunk, &written, nullptr)) {
            throw_last_error("WriteFile");
        }
        text.remove_prefix(written);
    }
}

void Writer::flush_to_disk() {
    // Consoles, pipes and NUL have no disk behind them.
    if (GetFileType(as_handle(handle_)) == FILE_TYPE_DISK && !FlushFileBuffers(as_handle(handle_))) {
        throw_last_error("FlushFileBuffers");
    }
}

void Writer::close() {
    const std::intptr_t handle = std::exchange(handle_, -1);
    if (handle != -1 && !CloseHandle(as_handle(handle))) {
        throw_last_error("CloseHandle");
    }
}

void replace(const std::string& from, const std::string& to) {
    if (!MoveFileExW(wide(from).c_str(), wide(to).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        throw_last_error("MoveFileEx");
    }
}

bool may_write(const std::string&) { return true; }

int descriptor_named_by(const std::string&) { return -1; }

std::uint64_t current_process_id() { return GetCurrentProcessId(); }

bool process_is_alive(std::uint64_t process_id) {
    if (process_id == 0 || process_id > MAXDWORD) {
        return false;
    }
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(process_id));
    if (process == nullptr) {
        return GetLastError() == ERROR_ACCESS_DENIED;
    }
    DWORD code = 0;
    const bool alive = GetExitCodeProcess(process, &code) && code == STILL_ACTIVE;
    CloseHandle(process);
    return alive;
}

}  // namespace quorlind::bench::native_file
