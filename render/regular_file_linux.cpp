#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "render/regular_file.h"

namespace vandrel {

RegularFile::RegularFile(const char* path) {
    if (path == nullptr) {
        return;
    }
    // Without O_NONBLOCK the open of a FIFO waits for a writer; without O_NOCTTY a
    // terminal could become the controlling one of a saver started without any.
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    struct stat info {};
    if (fd >= 0 && (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))) {
        close(fd);
        return;
    }
    handle_ = fd;
}

RegularFile::~RegularFile() {
    if (isOpen()) {
        close(static_cast<int>(handle_));
    }
}

size_t RegularFile::read(void* buffer, size_t size) {
    size_t done = 0;
    while (isOpen() && done < size) {
        const ssize_t n =
            ::read(static_cast<int>(handle_), static_cast<char*>(buffer) + done, size - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
        } else if (n == 0 || errno != EINTR) {
            break;
        }
    }
    return done;
}

bool isAbsolutePath(const char* path) {
    return path != nullptr && path[0] == '/';
}

}  // namespace vandrel
