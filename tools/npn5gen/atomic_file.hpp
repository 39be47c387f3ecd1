// Replacing a file whole: every file the generator writes (the image, the
// class list, the progress files) goes through here, so that an interrupted
// run leaves the old file or the new one, never a part of either.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

namespace npn5gen {

namespace detail {

[[noreturn]] inline void fail_with_errno(int error, const std::string& what) {
    throw std::system_error(error, std::generic_category(), what);
}

// 0, or the errno of the write that failed.
inline int write_all(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return 0;
}

}  // namespace detail

// Writes `bytes` to a new file in path's folder, flushes it to disk, renames it
// over path and flushes the folder, so that the rename too survives a crash.
// Throws std::system_error (naming the file) on failure; path is then as it was.
inline void write_file_atomically(const std::string& path, std::string_view bytes) {
    // A name of its own per process and call: threads may write files at once.
    static std::atomic<unsigned> serial{0};
    const std::string tmp = path + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(serial++);
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        detail::fail_with_errno(errno, "cannot create " + tmp);
    }
    int error = detail::write_all(fd, bytes);
    std::string failed = "cannot write " + tmp;
    if (error == 0 && ::fsync(fd) != 0) {
        error = errno;
        failed = "cannot flush " + tmp;
    }
    if (::close(fd) != 0 && error == 0) {
        error = errno;
        failed = "cannot close " + tmp;
    }
    if (error == 0 && ::rename(tmp.c_str(), path.c_str()) != 0) {
        error = errno;
        failed = "cannot rename " + tmp + " to " + path;
    }
    if (error != 0) {
        ::unlink(tmp.c_str());
        detail::fail_with_errno(error, failed);
    }
    std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (folder.empty()) {
        folder = ".";
    }
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) {
        detail::fail_with_errno(errno, "cannot open " + folder.string());
    }
    const bool synced = ::fsync(dir) == 0;
    error = errno;
    ::close(dir);
    if (!synced) {
        detail::fail_with_errno(error, "cannot flush " + folder.string());
    }
}

}  // namespace npn5gen
