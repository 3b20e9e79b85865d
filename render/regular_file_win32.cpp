#include <windows.h>

#include <algorithm>

#include "render/regular_file.h"

namespace vandrel {

RegularFile::RegularFile(const char* path) {
    if (path == nullptr) {
        return;
    }
    // Not inherited (no security attributes); a directory fails to open here. A device
    // name (CON, COM1) or a named pipe opens, but is not a disk file.
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    if (GetFileType(file) != FILE_TYPE_DISK) {
        CloseHandle(file);
        return;
    }
    handle_ = reinterpret_cast<intptr_t>(file);
}

RegularFile::~RegularFile() {
    if (isOpen()) {
        CloseHandle(reinterpret_cast<HANDLE>(handle_));
    }
}

size_t RegularFile::read(void* buffer, size_t size) {
    size_t done = 0;
    while (isOpen() && done < size) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(size - done, 1u << 30));
        DWORD got = 0;
        if (!ReadFile(reinterpret_cast<HANDLE>(handle_), static_cast<char*>(buffer) + done, chunk,
                      &got, nullptr) ||
            got == 0) {
            break;
        }
        done += got;
    }
    return done;
}

// "C:\dir", "C:/dir", "\\server\share" and "\dir" (the current drive's root).
bool isAbsolutePath(const char* path) {
    if (path == nullptr) {
        return false;
    }
    const bool drive = ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')) &&
                       path[1] == ':';
    return path[0] == '\\' || path[0] == '/' || (drive && (path[2] == '\\' || path[2] == '/'));
}

}  // namespace vandrel
