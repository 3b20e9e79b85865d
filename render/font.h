#pragma once
#include <cstdint>

namespace vandrel {

struct FontHandle;  // platform font: an HFONT on Windows, a FreeType face on Linux

// One "Arial" font asked for by character-cell height, as CreateFontA does with a
// positive height. Fonts are made once when the dashboard is built.
class Font {
  public:
    Font(int32_t height, int32_t weight);
    ~Font();
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    FontHandle* handle() const { return handle_; }
    int32_t height() const { return height_; }
    int32_t weight() const { return weight_; }

  private:
    int32_t height_;
    int32_t weight_;
    FontHandle* handle_;
};

}  // namespace vandrel
