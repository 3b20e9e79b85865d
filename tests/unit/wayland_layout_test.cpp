// The Wayland display's pure decisions: the dashboard's output, buffer sizes and scales,
// and the buffer bookkeeping that keeps every committed frame whole.
#include <gtest/gtest.h>

#include <array>
#include <random>
#include <vector>

#include "host/wayland/wayland_layout.h"

namespace vandrel {
namespace {

TEST(WaylandLayout, ChoosesTheNamedElseTheTopLeftOutput) {
    const OutputPlace three[] = {{"DP-1", 1920, 0}, {"HDMI-A-1", 0, 200}, {"eDP-1", 0, 0}};
    const OutputPlace ties[] = {{"", 0, 0}, {"", 0, 0}, {"B", -10, 5}};
    const OutputPlace left[] = {{"A", 100, -50}, {"B", -100, -50}};
    struct Case {
        const OutputPlace* outputs;
        int count;
        const char* wanted;
        int expected;
    } cases[] = {
        {three, 3, nullptr, 2},    {three, 3, "", 2},      {three, 3, "DP-1", 0},
        {three, 3, "HDMI-A-1", 1}, {three, 3, "DP-2", 2},  {three, 3, "dp-1", 2},
        {ties, 3, nullptr, 0},     {ties, 3, "", 0},       {left, 2, nullptr, 1},
        {three, 0, "DP-1", -1},    {three, 1, nullptr, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(chooseDashboardOutput(c.outputs, c.count, c.wanted), c.expected)
            << (c.wanted ? c.wanted : "(null)") << " of " << c.count;
    }
}

TEST(WaylandLayout, ModeSizeTurnsWithTheTransformAndIsClamped) {
    EXPECT_EQ(shownModeSize(1920, 1080, 0), (PixelSize{1920, 1080}));
    EXPECT_EQ(shownModeSize(1920, 1080, 1), (PixelSize{1080, 1920}));  // 90
    EXPECT_EQ(shownModeSize(1920, 1080, 2), (PixelSize{1920, 1080}));  // 180
    EXPECT_EQ(shownModeSize(1920, 1080, 7), (PixelSize{1080, 1920}));  // flipped 270
    EXPECT_EQ(shownModeSize(-5, 1 << 30, 0), (PixelSize{0, kMaxSurfaceSide}));
}

TEST(WaylandLayout, BuffersMatchTheOutputsPixels) {
    const int32_t M = kMaxSurfaceSide;
    struct Case {
        int32_t lw, lh;
        PixelSize pixels;
        int32_t scale;
        bool viewporter;
        BufferPlan expected;
    } cases[] = {
        // Integer ratios: the buffer scale, whatever wl_output.scale says.
        {1024, 768, {1024, 768}, 1, true, {1024, 768, 1, false, 1024, 768}},
        {1024, 768, {2048, 1536}, 2, true, {2048, 1536, 2, false, 1024, 768}},
        {1024, 768, {3072, 2304}, 2, false, {3072, 2304, 3, false, 1024, 768}},
        // Fractional (1.5, reported as 2): a viewport, or the integer scale without one.
        {1280, 720, {1920, 1080}, 2, true, {1920, 1080, 1, true, 1280, 720}},
        {1280, 720, {1920, 1080}, 2, false, {2560, 1440, 2, false, 1280, 720}},
        // Ratios that differ per axis are not a scale.
        {1000, 500, {2000, 1500}, 2, true, {2000, 1500, 1, true, 1000, 500}},
        // No logical size from the compositor: the pixels over the scale, rounded up.
        {0, 0, {2048, 1536}, 2, true, {2048, 1536, 2, false, 1024, 768}},
        {0, 600, {1001, 601}, 2, true, {1001, 601, 1, true, 501, 301}},
        // A window: no pixel size, the integer scale of its output.
        {800, 600, {0, 0}, 2, true, {1600, 1200, 2, false, 800, 600}},
        {800, 600, {0, 0}, 0, true, {800, 600, 1, false, 800, 600}},
        {800, 600, {0, 0}, 99, false, {12800, 9600, 16, false, 800, 600}},
        // Wild sizes are clamped before anything is allocated.
        {-3, -3, {0, 0}, 1, true, {1, 1, 1, false, 1, 1}},
        {1 << 30, 10, {0, 0}, 2, true, {M, 10, 1, false, M, 10}},
        {100, 100, {1 << 30, 1 << 30}, 1, true, {M, M, 1, true, 100, 100}},
        {M, M, {M, M}, 4, false, {M, M, 1, false, M, M}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(planBuffer(c.lw, c.lh, c.pixels, c.scale, c.viewporter), c.expected)
            << c.lw << "x" << c.lh << " on " << c.pixels.width << "x" << c.pixels.height
            << " scale " << c.scale << (c.viewporter ? " viewporter" : "");
        // Black: the middle of 3 x 3 over the same logical size, or without a viewporter all.
        const BufferPlan one{
            3, 3, 1, true, c.expected.logicalWidth, c.expected.logicalHeight, {1, 1, 2, 2}};
        EXPECT_EQ(blackBuffer(c.expected, c.viewporter), c.viewporter ? one : c.expected);
    }
}

// A part's pixels land where the full buffer would put them: its place and logical size
// are whole, and map back onto exactly its pixel area.
TEST(WaylandLayout, PartsLieOnWholeLogicalCoordinates) {
    const BufferPlan uhd1{3840, 2160, 1, false, 3840, 2160};
    const BufferPlan uhd2{3840, 2160, 2, false, 1920, 1080};
    const BufferPlan xga2{1024, 768, 2, false, 512, 384};
    const BufferPlan fhd15{1920, 1080, 1, true, 1280, 720};  // 1.5: 3 pixels per 2
    const BufferPlan odd{1001, 601, 1, true, 501, 301};      // no common step
    struct Case {
        BufferPlan full;
        Rect wanted;
        PartPlan expected;
    } cases[] = {
        {uhd1,
         {792, 412, 3048, 1747},
         {{792, 412, 3048, 1747}, 792, 412, {2256, 1335, 1, false, 2256, 1335}}},
        {uhd2,
         {792, 412, 3048, 1747},
         {{792, 412, 3048, 1748}, 396, 206, {2256, 1336, 2, false, 1128, 668}}},
        {xga2,
         {136, 161, 888, 606},
         {{136, 160, 888, 606}, 68, 80, {752, 446, 2, false, 376, 223}}},
        {uhd2, {0, 30, 3840, 120}, {{0, 30, 3840, 120}, 0, 15, {3840, 90, 2, false, 1920, 45}}},
        {fhd15,
         {584, 317, 1336, 762},
         {{582, 315, 1338, 762}, 388, 210, {756, 447, 1, true, 504, 298}}},
        {odd, {100, 100, 200, 200}, {{0, 0, 1001, 601}, 0, 0, {1001, 601, 1, true, 501, 301}}},
        // Clipped to the drawing area; nothing where it misses.
        {xga2, {-5, 700, 2000, 900}, {{0, 700, 1024, 768}, 0, 350, {1024, 68, 2, false, 512, 34}}},
        {uhd1, {4000, 0, 4100, 10}, {}},
    };
    for (const Case& c : cases) {
        const PartPlan p = planPart(c.full, c.wanted);
        EXPECT_EQ(p, c.expected) << c.wanted.left << "," << c.wanted.top << " on " << c.full.width;
        const Rect& a = p.area;
        EXPECT_EQ(int64_t{p.x} * c.full.width, int64_t{a.left} * c.full.logicalWidth);
        EXPECT_EQ(int64_t{p.y} * c.full.height, int64_t{a.top} * c.full.logicalHeight);
        EXPECT_EQ(int64_t{p.buffer.logicalWidth} * c.full.width,
                  int64_t{a.right - a.left} * c.full.logicalWidth);
        EXPECT_EQ(intersectRect(c.wanted, a),
                  intersectRect(c.wanted, {0, 0, c.full.width, c.full.height}));
    }
}

TEST(WaylandLayout, DashboardPartsOnlyWhereTheyHoldLess) {
    const BufferPlan uhd1{3840, 2160, 1, false, 3840, 2160};
    const BufferPlan svga{800, 600, 1, false, 800, 600};
    const Rect canvas{792, 412, 3048, 1747}, strip{0, 30, 3840, 120};
    DashboardParts parts = planDashboardParts(uhd1, canvas, strip);
    ASSERT_EQ(parts.count, 2);
    EXPECT_EQ(parts.parts[0], planPart(uhd1, canvas));
    EXPECT_EQ(parts.parts[1], planPart(uhd1, strip));
    // No strip (off the area): the canvas alone.
    EXPECT_EQ(planDashboardParts(uhd1, canvas, {0, 3000, 3840, 3090}).count, 1);
    // A canvas cut by the edge (a narrow output), or none: the surface draws itself.
    EXPECT_EQ(planDashboardParts(uhd1, {3000, 412, 5256, 1747}, strip).count, 0);
    EXPECT_EQ(planDashboardParts(uhd1, {}, strip).count, 0);
    // 800 x 600: canvas and strip hold fewer pixels than the output, 752 x 600 would not.
    EXPECT_EQ(planDashboardParts(svga, {24, 77, 776, 522}, {0, 10, 800, 40}).count, 2);
    const BufferPlan tight{752, 600, 1, false, 752, 600};
    EXPECT_EQ(planDashboardParts(tight, {0, 0, 752, 445}, {0, 10, 752, 600}).count, 0);
}

// The chain against a model: random drawings, commits and releases on tiny buffers. Every
// committed buffer must hold exactly the newest picture, the damage must cover every
// pixel that changed since the last frame, and a buffer the compositor holds is drawn
// into only when all of them are held.
TEST(WaylandLayout, BufferChainCommitsWholePicturesWithTheirDamage) {
    constexpr int32_t W = 9, H = 7;
    using Pixels = std::array<uint32_t, W * H>;
    std::mt19937 random(12345);
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<uint32_t>(n)); };
    BufferChain chain;
    std::vector<Pixels> buffers;
    Pixels truth{}, shown{};
    uint32_t colour = 0;
    int commits = 0, catchUps = 0, heldDraws = 0;
    bool frameOpen = false;  // drawn since the last commit: the slot stays the same
    chain.reset(W, H);
    for (int step = 0; step < 20000; ++step) {
        const int op = pick(10);
        if (op < 5) {
            const int before = chain.slots();
            BufferChain::DrawTarget t = chain.beginDraw();
            ASSERT_GE(t.slot, 0);
            ASSERT_LE(t.slot, before);
            if (t.slot == static_cast<int>(buffers.size())) {
                buffers.push_back(Pixels{});  // new memory is black
            }
            ASSERT_LT(t.slot, BufferChain::kMaxSlots);
            if (chain.held(t.slot) && !frameOpen) {
                ++heldDraws;
                for (int s = 0; s < chain.slots(); ++s) {
                    ASSERT_TRUE(chain.held(s) || s == t.slot) << "slot " << s << " was free";
                }
            }
            if (t.source >= 0) {
                ++catchUps;
                for (int i = 0; i < t.catchUp.count(); ++i) {
                    const Rect& r = t.catchUp[i];
                    for (int32_t y = r.top; y < r.bottom; ++y)
                        for (int32_t x = r.left; x < r.right; ++x)
                            buffers[t.slot][y * W + x] = buffers[t.source][y * W + x];
                }
            }
            const int32_t x0 = pick(W + 2) - 1, y0 = pick(H + 2) - 1;
            const Rect r{x0, y0, x0 + 1 + pick(4), y0 + 1 + pick(3)};
            ++colour;
            for (int32_t y = std::max(r.top, 0); y < std::min(r.bottom, H); ++y) {
                for (int32_t x = std::max(r.left, 0); x < std::min(r.right, W); ++x) {
                    buffers[t.slot][y * W + x] = colour;
                    truth[y * W + x] = colour;
                }
            }
            chain.drew(r);
            frameOpen = true;
        } else if (op < 8 && chain.hasFrame()) {
            DrawnArea damage;
            const int slot = chain.commit(damage);
            ASSERT_GE(slot, 0);
            ASSERT_EQ(buffers[slot], truth) << "frame " << commits;
            for (int32_t y = 0; y < H; ++y)
                for (int32_t x = 0; x < W; ++x)
                    ASSERT_TRUE(shown[y * W + x] == truth[y * W + x] || damage.contains(x, y))
                        << x << "," << y << " changed outside the damage";
            shown = truth;
            frameOpen = false;
            ++commits;
        } else if (op < 9) {
            chain.released(pick(BufferChain::kMaxSlots));
        } else if (pick(200) == 0) {
            chain.reset(W, H);  // a new size: new black buffers
            buffers.clear();
            truth = shown = Pixels{};
            frameOpen = false;
        }
    }
    EXPECT_GT(commits, 1000);
    EXPECT_GT(catchUps, 1000);
    EXPECT_GT(heldDraws, 0);
}

TEST(WaylandLayout, BufferChainReusesTheShownBufferOnceReleased) {
    BufferChain chain;
    chain.reset(4, 4);
    EXPECT_FALSE(chain.hasFrame());
    BufferChain::DrawTarget t = chain.beginDraw();
    EXPECT_EQ(t.slot, 0);
    EXPECT_EQ(t.source, -1);
    chain.drew({0, 0, 4, 4});
    DrawnArea damage;
    EXPECT_EQ(chain.commit(damage), 0);
    EXPECT_EQ(damage.count(), 1);
    // Held by the compositor: a second buffer, caught up with the whole first one.
    t = chain.beginDraw();
    EXPECT_EQ(t.slot, 1);
    EXPECT_EQ(t.source, 0);
    EXPECT_EQ(t.catchUp.pixels(), 16);
    chain.drew({1, 1, 2, 2});
    EXPECT_EQ(chain.commit(damage), 1);
    EXPECT_EQ(damage.pixels(), 1);
    // Released: drawn into again without a copy; a hidden surface never grows a third.
    chain.released(1);
    t = chain.beginDraw();
    EXPECT_EQ(t.slot, 1);
    EXPECT_EQ(t.source, -1);
    EXPECT_EQ(chain.slots(), 2);
    chain.drew({3, 3, 9, 9});  // clipped
    EXPECT_EQ(chain.commit(damage), 1);
    EXPECT_EQ(damage[0], (Rect{3, 3, 4, 4}));
}

}  // namespace
}  // namespace vandrel
