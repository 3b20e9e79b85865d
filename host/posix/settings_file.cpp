#include "host/posix/settings_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vandrel {
namespace {

class Fd {
  public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

std::string failure(const char* what, const char* path, int error) {
    return std::string(what) + " " + path + ": " + std::strerror(error);
}

}  // namespace

SettingsRead readSettingsText(const char* path, std::string& text, std::string& why) {
    text.clear();
    const Fd file(open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (file.get() < 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            return SettingsRead::Missing;
        }
        why = failure("cannot open", path, errno);
        return SettingsRead::Skipped;
    }
    struct stat info {};
    if (fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        why = std::string("skipping ") + path + ": not a regular file";
        return SettingsRead::Skipped;
    }
    text.resize(kMaxSettingsBytes + 1);
    size_t length = 0;
    while (length < text.size()) {
        const ssize_t n = read(file.get(), &text[length], text.size() - length);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            why = failure("cannot read", path, errno);
            text.clear();
            return SettingsRead::Skipped;
        }
        if (n == 0) {
            break;
        }
        length += static_cast<size_t>(n);
    }
    if (length > kMaxSettingsBytes) {
        // The read ends inside a line: that line is dropped whole, or a value cut here
        // could name another program.
        length = kMaxSettingsBytes;
        while (length > 0 && text[length - 1] != '\n' && text[length - 1] != '\r') {
            --length;
        }
    }
    text.resize(length);
    return SettingsRead::Read;
}

namespace {

// Makes dir and the folders above it; false with errno when one cannot be made.
bool makeFolders(const std::string& dir) {
    struct stat info {};
    if (dir.empty() || stat(dir.c_str(), &info) == 0) {
        return true;
    }
    const size_t slash = dir.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !makeFolders(dir.substr(0, slash))) {
        return false;
    }
    return mkdir(dir.c_str(), 0755) == 0 || errno == EEXIST;
}

bool writeAll(int fd, const std::string& text) {
    for (size_t done = 0; done < text.size();) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

bool writeSettingsText(const char* path, const std::string& text, std::string& why) {
    const std::string target(path);
    const size_t slash = target.find_last_of('/');
    const std::string dir = slash == std::string::npos ? "." : target.substr(0, slash);
    if (!makeFolders(dir)) {
        why = failure("cannot make the folder", dir.c_str(), errno);
        return false;
    }
    std::string temp = target + ".XXXXXX";
    const Fd file(mkostemp(temp.data(), O_CLOEXEC));
    if (file.get() < 0) {
        why = failure("cannot write in the folder", dir.c_str(), errno);
        return false;
    }
    // The new file keeps the old one's permissions; a first one is readable by all, as
    // the folder's other settings files are.
    struct stat old {};
    const mode_t mode = stat(path, &old) == 0 ? (old.st_mode & 07777) : 0644;
    if (fchmod(file.get(), mode) != 0 || !writeAll(file.get(), text) || fsync(file.get()) != 0 ||
        rename(temp.c_str(), path) != 0) {
        why = failure("cannot write", path, errno);
        unlink(temp.c_str());
        return false;
    }
    // The rename itself reaches the disk with the folder.
    const Fd folder(open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() >= 0) {
        fsync(folder.get());
    }
    return true;
}

}  // namespace vandrel
