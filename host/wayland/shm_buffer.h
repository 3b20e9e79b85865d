#pragma once
#include <cstddef>
#include <cstdint>

struct wl_buffer;
struct wl_buffer_listener;
struct wl_shm;

namespace vandrel {

// One XRGB8888 wl_buffer in a sealed memfd of its own, mapped for drawing; it starts out
// black.
class ShmBuffer {
  public:
    ShmBuffer() = default;
    ~ShmBuffer() { destroy(); }
    ShmBuffer(const ShmBuffer&) = delete;
    ShmBuffer& operator=(const ShmBuffer&) = delete;

    // False, with nothing left behind, when the memory or the buffer cannot be made.
    // width and height are clamped by the caller (at most kMaxSurfaceSide).
    bool create(wl_shm* shm, int32_t width, int32_t height, const wl_buffer_listener* listener,
                void* data);
    void destroy();

    wl_buffer* buffer() const { return buffer_; }
    uint32_t* pixels() const { return pixels_; }
    int32_t width() const { return width_; }
    int32_t height() const { return height_; }

  private:
    wl_buffer* buffer_ = nullptr;
    uint32_t* pixels_ = nullptr;
    int32_t width_ = 0, height_ = 0;
    size_t bytes_ = 0;
};

}  // namespace vandrel
