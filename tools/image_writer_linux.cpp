#include "tools/image_writer.h"
#include "tools/png_writer.h"

namespace vandrel {

const char* const kImageExtension = ".png";

bool writeImage(const char* path, const uint32_t* pixels, int32_t width, int32_t height,
                std::string& error) {
    return writePng(path, pixels, width, height, error);
}

}  // namespace vandrel
