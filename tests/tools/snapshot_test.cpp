#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <string>
#include <vector>

#include "render/dashboard.h"
#include "tools/png_writer.h"
#include "tools/record_generator.h"

namespace vandrel {
namespace {

// Reads a PNG back as 0x00RRGGBB pixels; false if libpng refuses it.
bool readPng(const std::string& path, int32_t& width, int32_t& height,
             std::vector<uint32_t>& pixels) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return false;
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr))
        return false;
    width = static_cast<int32_t>(image.width);
    height = static_cast<int32_t>(image.height);
    pixels.resize(static_cast<size_t>(width) * height);
    for (size_t i = 0; i < pixels.size(); ++i) {
        pixels[i] = uint32_t{rgb[3 * i]} << 16 | uint32_t{rgb[3 * i + 1]} << 8 | rgb[3 * i + 2];
    }
    return true;
}

TEST(PngWriter, ExactPixelsTopDownAndFailuresReported) {
    const std::string path = testing::TempDir() + "vandrel_png_pattern.png";
    const uint32_t pattern[] = {0x00FF0000, 0x0000FF00, 0x000000FF,
                                0x00010203, 0xAA123456, 0x00FFFFFF};
    std::string error = "stale";
    ASSERT_TRUE(writePng(path.c_str(), pattern, 3, 2, error)) << error;
    EXPECT_TRUE(error.empty());
    int32_t w = 0, h = 0;
    std::vector<uint32_t> back;
    ASSERT_TRUE(readPng(path, w, h, back));
    EXPECT_EQ(w, 3);
    EXPECT_EQ(h, 2);
    const std::vector<uint32_t> expected = {0xFF0000, 0x00FF00, 0x0000FF,
                                            0x010203, 0x123456, 0xFFFFFF};
    EXPECT_EQ(back, expected);  // the unused top byte does not leak into the colour
    std::remove(path.c_str());

    EXPECT_FALSE(writePng("/nonexistent-dir/x.png", pattern, 3, 2, error));
    EXPECT_NE(error.find("/nonexistent-dir/x.png"), std::string::npos) << error;
    EXPECT_FALSE(writePng(path.c_str(), pattern, 0, 2, error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(writePng(path.c_str(), nullptr, 3, 2, error));
    std::FILE* f = std::fopen(path.c_str(), "rb");
    EXPECT_EQ(f, nullptr);  // nothing left behind
    if (f != nullptr)
        std::fclose(f);
}

TEST(Snapshot, GeneratedDashboardRoundTripsThroughThePng) {
    std::vector<uint64_t> words((rec::recordSize + 7) / 8, 0);
    SharedStatus status(words.data());
    Dashboard dashboard(status, false, "no-such-header.bmp");
    RecordGenerator generator(status, GeneratorOptions{});
    generator.step(generator.msUntilPlotFull());
    generator.publishAll();
    int cycles = 0;
    while (cycles < 1000 && dashboard.updateFromStatus())
        ++cycles;
    EXPECT_LT(cycles, 1000);
    // Everything the generator flagged was drawn.
    for (int32_t i = 0; i < rec::plotRowCapacity; ++i) {
        EXPECT_FALSE(status.isDirty(rec::plotRowDirty(i))) << i;
    }
    EXPECT_FALSE(status.isDirty(rec::plotAxesDirty));
    EXPECT_FALSE(status.isDirty(rec::gaussianDirty));

    const Canvas& canvas = dashboard.canvas();
    ASSERT_EQ(canvas.width(), 752);
    ASSERT_EQ(canvas.height(), 445);
    // The plot is in the bottom band: plenty of coloured bars there.
    const Rect plot = dashboard.layout().plotPanel;
    int coloured = 0;
    for (int32_t y = plot.top; y < plot.bottom; ++y) {
        for (int32_t x = plot.left; x < plot.right; ++x) {
            uint32_t p = canvas.pixel(x, y);
            coloured += (p & 0xFF0000) != 0 && p != 0xFFFFFF && (p >> 16 & 0xFF) != (p & 0xFF);
        }
    }
    EXPECT_GT(coloured, 5000);

    const std::string path = testing::TempDir() + "vandrel_snapshot_test.png";
    std::string error;
    ASSERT_TRUE(writePng(path.c_str(), canvas.pixels(), canvas.width(), canvas.height(), error))
        << error;
    int32_t w = 0, h = 0;
    std::vector<uint32_t> back;
    ASSERT_TRUE(readPng(path, w, h, back));
    std::remove(path.c_str());
    ASSERT_EQ(w, 752);
    ASSERT_EQ(h, 445);
    size_t differing = 0;
    for (size_t i = 0; i < back.size(); ++i)
        differing += back[i] != (canvas.pixels()[i] & 0xFFFFFF);
    EXPECT_EQ(differing, 0u);
}

}  // namespace
}  // namespace vandrel
