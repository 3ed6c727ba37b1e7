// SPDX-License-Identifier: MIT
#include "platform/directory.h"

#include "platform/win32/records.h"

bool plat_current_directory(char* buf, std::size_t size)
{
    if (size == 0 || size > MAXDWORD)
        return false;
    const DWORD n = GetCurrentDirectoryA(static_cast<DWORD>(size), buf);
    // A directory that does not fit gives the size it needs, not what it wrote.
    return n > 0 && n < size;
}

namespace {

file_read_result failed(DWORD error)
{
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
        error == ERROR_INVALID_NAME)
        return {file_read::missing, static_cast<int>(error)};
    return {file_read::unreadable, static_cast<int>(error)};
}

}  // namespace

file_read_result plat_read_file(const char* path, std::size_t max_size, std::string& text)
{
    text.clear();
    const HANDLE f = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) {
        const DWORD e = GetLastError();
        const DWORD attributes = GetFileAttributesA(path);
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
            return {file_read::not_regular, static_cast<int>(e)};
        return failed(e);
    }
    file_read_result r{file_read::ok, 0};
    LARGE_INTEGER size{};
    // A device or a pipe of that name (CON, NUL, a named pipe) is no file.
    if (GetFileType(f) != FILE_TYPE_DISK) {
        r = {file_read::not_regular, 0};
    } else if (!GetFileSizeEx(f, &size)) {
        r = failed(GetLastError());
    } else if (static_cast<unsigned long long>(size.QuadPart) > max_size) {
        r = {file_read::too_large, 0};
    } else {
        // One byte more than the size shows a file that grew since.
        text.resize(static_cast<std::size_t>(size.QuadPart) + 1);
        std::size_t got = 0;
        for (;;) {
            DWORD n = 0;
            if (!ReadFile(f, text.data() + got, static_cast<DWORD>(text.size() - got), &n, nullptr)) {
                r = failed(GetLastError());
                break;
            }
            if (n == 0)
                break;
            got += n;
            if (got > max_size) {
                r = {file_read::too_large, 0};
                break;
            }
            if (got == text.size())
                text.resize(got + 1 > max_size + 1 ? max_size + 1 : 2 * got);
        }
        text.resize(r.result == file_read::ok ? got : 0);
    }
    CloseHandle(f);
    return r;
}
