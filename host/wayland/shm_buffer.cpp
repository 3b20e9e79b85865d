#include "host/wayland/shm_buffer.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <algorithm>

namespace vandrel {

bool ShmBuffer::create(wl_shm* shm, int32_t width, int32_t height,
                       const wl_buffer_listener* listener, void* data) {
    destroy();
    if (shm == nullptr || width <= 0 || height <= 0) {
        return false;
    }
    const size_t bytes = static_cast<size_t>(width) * static_cast<size_t>(height) * 4;
    const int fd = memfd_create("vandrel", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    if (fd < 0) {
        return false;
    }
    if (ftruncate(fd, static_cast<off_t>(bytes)) != 0) {
        close(fd);
        return false;
    }
    // The compositor maps the same memory: a fixed size keeps a shrink on either side from
    // turning a read into SIGBUS.
    fcntl(fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_SEAL);
    void* mapped = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (mapped == MAP_FAILED) {
        close(fd);
        return false;
    }
    wl_shm_pool* pool = wl_shm_create_pool(shm, fd, static_cast<int32_t>(bytes));
    close(fd);
    buffer_ = wl_shm_pool_create_buffer(pool, 0, width, height, width * 4, WL_SHM_FORMAT_XRGB8888);
    wl_shm_pool_destroy(pool);  // the buffer keeps the memory
    if (buffer_ == nullptr) {
        munmap(mapped, bytes);
        return false;
    }
    wl_buffer_add_listener(buffer_, listener, data);
    pixels_ = static_cast<uint32_t*>(mapped);
    // Black with the padding byte set, as every later drawing writes it.
    std::fill(pixels_, pixels_ + bytes / 4, 0xFF000000u);
    width_ = width;
    height_ = height;
    bytes_ = bytes;
    return true;
}

void ShmBuffer::destroy() {
    if (buffer_ != nullptr) {
        wl_buffer_destroy(buffer_);
        buffer_ = nullptr;
    }
    if (pixels_ != nullptr) {
        munmap(pixels_, bytes_);
        pixels_ = nullptr;
    }
    width_ = height_ = 0;
    bytes_ = 0;
}

}  // namespace vandrel
