// The saver session on a screen in memory, under both hosts' policies: attach, the
// worker's start, a saver that never let go, a change of size and the record's end.
#include "controller/saver_session.h"

#include <gtest/gtest.h>

#include <vector>

#include "render/scaled_copy.h"
#include "tools/reference_cases.h"

namespace vandrel {
namespace {

struct MemoryOutput final : SaverOutput {
    int32_t w = 800, h = 600;
    std::vector<uint32_t> screen = std::vector<uint32_t>(size_t(1600) * 1200, 0x123456);
    Placement placed;
    int32_t width() const override { return w; }
    int32_t height() const override { return h; }
    void place(const Placement& p) override { placed = p; }
    void copyCanvas(const Canvas& canvas, Rect part, Point origin, int32_t scale,
                    Rect clip) override {
        copyScaled(canvas, part, origin, scale, clip, {screen.data(), w, h, size_t(w)});
    }
    void fillBlack(Rect area) override {
        for (int32_t y = area.top; y < area.bottom; ++y)
            for (int32_t x = area.left; x < area.right; ++x)
                screen[size_t(y) * w + x] = 0;
    }
    void drawLabel(int32_t, int32_t) override {}
    // The dashboard's 752 x 445 pixels as placed at scale 1.
    std::vector<uint32_t> dashboard() const {
        std::vector<uint32_t> out;
        for (int32_t y = 0; y < kCanvasHeight; ++y) {
            const uint32_t* row = &screen[size_t(placed.canvasOrigin.y + y) * w];
            out.insert(out.end(), row + placed.canvasOrigin.x, row + placed.canvasOrigin.x + 752);
        }
        return out;
    }
};

struct MemoryLink final : RecordLink {
    std::vector<uint64_t> words = std::vector<uint64_t>((rec::recordSize + 7) / 8, 0);
    bool exists = false, allowed = true;
    AfterWorkerStart policy = AfterWorkerStart::End;
    int opened = 0, starts = 0;
    void* open() override { return exists ? (++opened, words.data()) : nullptr; }
    void close() override { --opened; }
    void startWorker() override { ++starts; }
    int32_t priorityClass() override { return 64; }
    bool mayConnect(uint32_t) override { return allowed; }
    AfterWorkerStart afterWorkerStart() override { return policy; }
    SharedStatus status() { return SharedStatus(words.data()); }
};

std::vector<uint32_t> picture(const ReferenceCase& c) {
    std::vector<uint64_t> words((rec::recordSize + 7) / 8, 0);
    Dashboard dashboard(SharedStatus(words.data()), true);
    c.fill(SharedStatus(words.data()));
    while (dashboard.updateFromStatus()) {
    }
    return {dashboard.canvas().pixels(), dashboard.canvas().pixels() + 752 * 445};
}

// Runs ticks 33 ms apart until done says so or 400 ticks pass; false when a tick ended it.
template <typename Done>
bool run(SaverSession& session, uint32_t& now, Done done) {
    for (int i = 0; i < 400 && !done(); ++i)
        if (!session.tick(now += 33))
            return false;
    return true;
}

TEST(SaverSession, BothPoliciesAndTheRecordsLife) {
    const ReferenceCase& demo = referenceCases()[0];
    const std::vector<uint32_t> demoPicture = picture(demo);
    for (AfterWorkerStart policy : {AfterWorkerStart::End, AfterWorkerStart::Wait}) {
        SCOPED_TRACE(policy == AfterWorkerStart::End ? "end" : "wait");
        MemoryOutput output;
        MemoryLink link;
        link.policy = policy;
        uint32_t now = 1000;
        SaverSession session(output, link, 0);
        session.start(now, SaverSettings{});
        EXPECT_EQ(output.placed.canvasOrigin, (Point{24, 77}));
        link.allowed = false;  // another saver shows the dashboard: no start, no attach
        EXPECT_TRUE(run(session, now, [] { return false; }));
        EXPECT_EQ(link.starts, 0);
        link.allowed = true;
        const bool stayed = run(session, now, [&] { return link.starts > 0; }) &&
                            run(session, now, [] { return false; });
        EXPECT_EQ(stayed, policy == AfterWorkerStart::Wait);
        EXPECT_EQ(link.starts, 1);  // once a run
        if (!stayed)
            continue;
        // The worker's record comes; a saver before this one took every flag and never
        // let go, yet the picture must be whole.
        demo.fill(link.status());
        link.status().storeI32(rec::saverAttached, 1);
        for (size_t flag : rec::partFlags)
            link.status().clearDirty(flag);
        for (int32_t row = 0; row < rec::plotRowCapacity; ++row)
            link.status().clearDirty(rec::plotRowDirty(row));
        link.exists = true;
        EXPECT_TRUE(run(session, now, [&] { return output.dashboard() == demoPicture; }));
        EXPECT_EQ(output.dashboard(), demoPicture);
        EXPECT_EQ(link.status().loadI32(rec::saverPriorityClass), 64);
        // Twice the size: placed anew at scale 2, black around, the dashboard drawn again.
        output.w = 1600, output.h = 1200;
        session.resized();
        EXPECT_EQ(output.placed.scale, 2);
        EXPECT_EQ(output.screen[0], 0u);
        EXPECT_EQ(output.screen[size_t(output.placed.canvasOrigin.y + 400) * 1600 +
                                output.placed.canvasOrigin.x + 700],
                  demoPicture[200 * 752 + 350]);
        session.letGo(true);  // the worker ended
        EXPECT_EQ(link.status().loadI32(rec::saverAttached), 0);
        EXPECT_EQ(link.opened, 0);
        EXPECT_TRUE(run(session, now, [&] { return session.attached(); }));
        EXPECT_EQ(link.status().loadI32(rec::saverAttached), 1);
        session.finish(true);
        EXPECT_EQ(link.status().loadI32(rec::saverAttached), 0);
        EXPECT_EQ(link.opened, 0);
    }
}

}  // namespace
}  // namespace vandrel
