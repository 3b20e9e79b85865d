#include "render/scaled_copy.h"

#include <gtest/gtest.h>

#include <vector>

namespace vandrel {
namespace {

// A 2 x 2 canvas of pixels 1 2 / 3 4 copied into a 5 x 4 buffer whose rows are 6 apart;
// the last column of each row lies outside the buffer and must stay 9.
TEST(ScaledCopy, PlacesClipsAndReportsWhatChanged) {
    Canvas canvas(2, 2);
    canvas.pixels()[0] = 1, canvas.pixels()[1] = 2, canvas.pixels()[2] = 3, canvas.pixels()[3] = 4;
    struct Case {
        Rect part;
        Point origin;
        int32_t scale;
        Rect clip;
        uint32_t set;
        std::vector<uint32_t> rows;  // the buffer afterwards, 0 where nothing was written
        Rect changed;
    };
    const Rect all{-100, -100, 100, 100};
    const Case cases[] = {
        // Doubled from (1, 1): the fourth row would fall below the buffer.
        {{0, 0, 2, 2},
         {1, 1},
         2,
         all,
         0,
         {0, 0, 0, 0, 0, 9, 0, 1, 1, 2, 2, 9, 0, 1, 1, 2, 2, 9, 0, 3, 3, 4, 4, 9},
         {1, 1, 5, 4}},
        // Half a block off the left edge, clipped to two columns; the alpha byte set.
        {{0, 0, 2, 2},
         {-1, 0},
         2,
         {0, 0, 2, 9},
         0xFF000000u,
         {0xFF000001u, 0xFF000002u, 0, 0, 0, 9, 0xFF000001u, 0xFF000002u, 0, 0, 0, 9,
          0xFF000003u, 0xFF000004u, 0, 0, 0, 9, 0xFF000003u, 0xFF000004u, 0, 0, 0, 9},
         {0, 0, 2, 4}},
        // A part reaching past the canvas is cut to it: its one pixel in the last column.
        {{1, 1, 7, 7},
         {3, 2},
         1,
         all,
         0,
         {0, 0, 0, 0, 0, 9, 0, 0, 0, 0, 0, 9, 0, 0, 0, 0, 0, 9, 0, 0, 0, 0, 4, 9},
         {4, 3, 5, 4}},
        // No scale, no copy.
        {{0, 0, 2, 2},
         {0, 0},
         0,
         all,
         0,
         {0, 0, 0, 0, 0, 9, 0, 0, 0, 0, 0, 9, 0, 0, 0, 0, 0, 9, 0, 0, 0, 0, 0, 9},
         {0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        std::vector<uint32_t> buffer(24, 0);
        for (size_t y = 0; y < 4; ++y)
            buffer[y * 6 + 5] = 9;
        const PixelBuffer out{buffer.data(), 5, 4, 6};
        EXPECT_EQ(copyScaled(canvas, c.part, c.origin, c.scale, c.clip, out, c.set), c.changed);
        EXPECT_EQ(buffer, c.rows);
        // The same copy again changes nothing.
        EXPECT_TRUE(isEmpty(copyScaled(canvas, c.part, c.origin, c.scale, c.clip, out, c.set)));
    }
}

}  // namespace
}  // namespace vandrel
