// SPDX-License-Identifier: MIT
#include "platform/directory.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool plat_current_directory(char* buf, std::size_t size)
{
    return size > 0 && getcwd(buf, size) != nullptr;
}

file_read_result plat_read_file(const char* path, std::size_t max_size, std::string& text)
{
    text.clear();
    // Non-blocking: a FIFO or a device of that name must not hold the tool.
    const int fd = open(path, O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int e = errno;
        if (e == ENOENT || e == ENOTDIR)
            return {file_read::missing, e};
        struct stat st{};
        if (stat(path, &st) == 0 && !S_ISREG(st.st_mode))
            return {file_read::not_regular, e};
        return {file_read::unreadable, e};
    }
    struct stat st{};
    file_read_result r{file_read::ok, 0};
    if (fstat(fd, &st) != 0) {
        r = {file_read::unreadable, errno};
    } else if (!S_ISREG(st.st_mode)) {
        r = {file_read::not_regular, 0};
    } else if (static_cast<unsigned long long>(st.st_size) > max_size) {
        r = {file_read::too_large, 0};
    } else {
        // One byte more than fstat gave shows a file that grew since; it is
        // read on to its end or to one byte past the bound.
        text.resize(static_cast<std::size_t>(st.st_size) + 1);
        std::size_t got = 0;
        while (got <= max_size) {
            if (got == text.size())
                text.resize(std::min(2 * text.size(), max_size + 1));
            const ssize_t n = read(fd, text.data() + got, text.size() - got);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                r = {file_read::unreadable, errno};
                break;
            }
            if (n == 0)
                break;
            got += static_cast<std::size_t>(n);
        }
        if (r.result == file_read::ok && got > max_size)
            r = {file_read::too_large, 0};
        text.resize(r.result == file_read::ok ? got : 0);
    }
    close(fd);
    return r;
}
