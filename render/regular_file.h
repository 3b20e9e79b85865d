#pragma once
#include <cstddef>
#include <cstdint>

namespace vandrel {

// A file opened for reading only when it is a regular file. Whatever else a path may name
// (a FIFO, a terminal, a device, a directory, a named pipe) is refused at once: a saver
// that waits for a writer that never comes would hold the screen. The handle is not
// inherited by programs the process starts.
class RegularFile {
  public:
    explicit RegularFile(const char* path);
    ~RegularFile();
    RegularFile(const RegularFile&) = delete;
    RegularFile& operator=(const RegularFile&) = delete;

    bool isOpen() const { return handle_ != -1; }
    // Reads until size bytes or the end of the file; returns how many came.
    size_t read(void* buffer, size_t size);

  private:
    intptr_t handle_ = -1;  // a descriptor, or a HANDLE on Windows (-1 is none on both)
};

// True when path does not depend on the current directory.
bool isAbsolutePath(const char* path);

}  // namespace vandrel
