#include "render/dashboard.h"

#include <chrono>
#include <cstdio>
#include <cstring>

#include "render/regular_file.h"

namespace vandrel {

namespace {
constexpr int32_t kVersionMajor = VANDREL_VERSION_MAJOR;
constexpr int32_t kVersionMinor = VANDREL_VERSION_MINOR;
constexpr const char* kWebAddress = "https://vandrel.example.org";
// The trailing blanks belong to the banner's measured width: they space out its passes.
constexpr const char* kBannerText =
    "Vandrel needs your attention. Please double-click on the Vandrel icon in the taskbar.    ";

uint32_t steadyNow(void*) {
    using namespace std::chrono;
    return static_cast<uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}
}  // namespace

Clock steadyClock() {
    return Clock{steadyNow, nullptr};
}

DashboardLayout computeLayout(int32_t lh) {
    DashboardLayout l{};
    l.lineHeight = lh;
    l.headerHeight = lh + 30;
    l.analysisHeight = 12 * lh;
    l.dataInfoHeight = 6 * lh;
    l.splitX = static_cast<int32_t>(Dashboard::kWidth * 0.55);
    const int32_t h = l.headerHeight, a = l.analysisHeight, s = l.splitX;
    l.analysisPanel = {0, h + 8, s, h + 8 + a};
    // Rows of the analysis panel: 12 pixels in from each side, 8 down from its top.
    auto row = [&](int32_t i) { return h + 16 + i * lh; };
    l.percentBar = {12 + 250, row(1), s - 12, row(2)};
    l.gaussianGraph = {12, row(4), s - 12, row(8)};
    l.progressCube = {12, row(8), s - 12, row(10)};
    l.dataInfoPanel = {s + 30, h + 8, Dashboard::kWidth, h + 8 + l.dataInfoHeight};
    l.userInfoPanel = {s + 30, l.dataInfoPanel.bottom + 8, Dashboard::kWidth, h + a + 8};
    l.plotPanel = {0, h + a + 28, Dashboard::kWidth, Dashboard::kHeight};
    return l;
}

void headerPathIn(const char* clientDir, char* out, size_t outSize) {
    const size_t length = std::strlen(clientDir);
    const char last = length > 0 ? clientDir[length - 1] : '/';
    const char* separator = last == '/' || last == '\\' ? "" : "/";
    const int n = isAbsolutePath(clientDir)
                      ? std::snprintf(out, outSize, "%s%sheader.bmp", clientDir, separator)
                      : std::snprintf(out, outSize, "header.bmp");
    if (outSize > 0 && (n < 0 || static_cast<size_t>(n) >= outSize)) {
        out[0] = '\0';  // a cut path could name another file
    }
}

Dashboard::Dashboard(SharedStatus status, bool wantBanner, const char* headerPath, Clock clock)
    : status_(status), clock_(clock) {
    canvas_ = std::make_unique<Canvas>(kWidth, kHeight);
    Canvas& c = *canvas_;
    c.fillRect({0, 0, kWidth, kHeight}, colorBlack);
    textFont_ = std::make_unique<Font>(14, 400);
    titleFont_ = std::make_unique<Font>(14, 700);
    largeFont_ = std::make_unique<Font>(24, 700);

    if (wantBanner) {
        c.selectFont(*largeFont_);
        int32_t w = c.textExtent(kBannerText).width;
        bannerCanvas_ = std::make_unique<Canvas>(w, kBannerHeight);
        Canvas& b = *bannerCanvas_;
        b.fillRect({0, 0, w, kBannerHeight}, colorBlack);
        b.selectFont(*largeFont_);
        b.setTextColor(colorWhite);
        b.setBackgroundColor(colorBlack);
        b.drawText(0, 0, kBannerText);
    }

    c.selectFont(*textFont_);
    c.setTextColor(colorWhite);
    int32_t lh = c.textExtent("jX").height;
    // Without a usable font the layout still has to fit the canvas.
    if (lh <= 0 || lh > 24)
        lh = 14;
    layout_ = computeLayout(lh);

    c.setBackgroundColor(colorBlack);
    c.drawBitmapFile(headerPath, 0, 0, 500, 41);
    drawFrame();

    c.selectFont(*textFont_);
    char version[32];
    std::snprintf(version, sizeof version, "Version %d.%02d", kVersionMajor, kVersionMinor);
    c.drawTextRight(720, 6, version);
    c.drawTextRight(680, 20, kWebAddress);
    c.drawText(500, 6, "Press F1 for info");

    c.selectFont(*titleFont_);
    analysisPanel_ = std::make_unique<TextPanel>(c, layout_.analysisPanel, lh);
    analysisPanel_->setTitle(0, "Data Analysis");
    percentBar_ = std::make_unique<PercentBar>(c, layout_.percentBar);
    gaussianGraph_ = std::make_unique<GaussianGraph>(c, layout_.gaussianGraph);
    progressCube_ = std::make_unique<ProgressCube>(c, layout_.progressCube);
    dataInfoPanel_ = std::make_unique<TextPanel>(c, layout_.dataInfoPanel, lh);
    dataInfoPanel_->setTitle(0, "Data Info");
    userInfoPanel_ = std::make_unique<TextPanel>(c, layout_.userInfoPanel, lh);
    userInfoPanel_->setTitle(0, "User Info");
    plotPanel_ = std::make_unique<Panel>(c, layout_.plotPanel, colorBlack);

    plotPanelWidth_ = plotPanel_->width;
    plotPanelHeight_ = plotPanel_->height;
    plotBaseline_ = plotPanelHeight_ - 20;
    status_.storeI32(rec::plotWidth, plotPanelWidth_ - 110);
    status_.storeI32(rec::plotHeight, plotPanelHeight_ - 20);
    c.selectFont(*textFont_);
}

Dashboard::~Dashboard() = default;

void Dashboard::drawFrame() {
    Canvas& c = *canvas_;
    const int32_t h = layout_.headerHeight, a = layout_.analysisHeight, d = layout_.dataInfoHeight,
                  s = layout_.splitX, right = kWidth - 10;
    c.fillRect({10, h, right, h + 8}, colorPurple);
    c.fillCircle(10, h + 4, 4, colorPurple);
    c.fillCircle(right, h + 4, 4, colorPurple);
    c.fillRect({10, h + a + 8, right, h + a + 16}, colorPurple);
    c.fillCircle(10, h + a + 12, 4, colorPurple);
    c.fillCircle(right, h + a + 12, 4, colorPurple);
    c.fillRect({s + 30, h + d + 8, right, h + d + 16}, colorPurple);
    c.fillCircle(right, h + d + 12, 4, colorPurple);
    c.fillRect({s, h, s + 30, h + a + 16}, colorPurple);
    // Corner blocks hollowed by a black circle leave concave fillets where bars meet.
    struct Fillet {
        Rect block;
        int32_t cx, cy;
    };
    const Fillet fillets[] = {
        {{s - 16, h + 8, s, h + 24}, s - 16, h + 24},
        {{s + 30, h + 8, s + 46, h + 24}, s + 46, h + 24},
        {{s + 30, h + d - 8, s + 46, h + d + 8}, s + 46, h + d - 8},
        {{s + 30, h + d + 16, s + 46, h + d + 32}, s + 46, h + d + 32},
        {{s + 30, h + a - 8, s + 46, h + a + 8}, s + 46, h + a - 8},
        {{s - 16, h + a - 8, s, h + a + 8}, s - 16, h + a - 8},
    };
    for (const Fillet& f : fillets) {
        c.fillRect(f.block, colorPurple);
        c.fillCircle(f.cx, f.cy, 16, colorBlack);
    }
}

}  // namespace vandrel
