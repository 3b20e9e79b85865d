#pragma once
#include <cstdint>
#include <memory>

#include "record/shared_status.h"
#include "render/canvas.h"
#include "render/widgets.h"

namespace vandrel {

// A millisecond clock; the spectrum plot's row budget reads it. Tests drive their own.
struct Clock {
    uint32_t (*now)(void* context);
    void* context;
};
Clock steadyClock();

// Called between the steps of one update: before each flag is read and before the plot.
// The saver sets none; the fuzz target and tests write the record there, as a worker may
// at any moment.
struct StepHook {
    void (*call)(void* context) = nullptr;
    void* context = nullptr;
};

// Where every element lies, as a function of the text line height alone.
struct DashboardLayout {
    int32_t lineHeight, headerHeight, analysisHeight, dataInfoHeight, splitX;
    Rect analysisPanel, percentBar, gaussianGraph, progressCube, dataInfoPanel, userInfoPanel,
        plotPanel;
};
DashboardLayout computeLayout(int32_t lineHeight);

// The client folder's header.bmp, named so that it does not depend on the current
// directory when clientDir is absolute; else "header.bmp" in the current directory, which
// reading the settings made the client folder. Empty when the path does not fit.
void headerPathIn(const char* clientDir, char* out, size_t outSize);

// The composed 752 x 445 display. Built once when the saver attaches to the record; it
// writes plotWidth and plotHeight into the record and draws the static parts. Afterwards
// updateFromStatus brings it up to date with what the worker flagged.
class Dashboard {
  public:
    static constexpr int32_t kWidth = 752;
    static constexpr int32_t kHeight = 445;
    // The attention banner's canvas height; its width is the text's.
    static constexpr int32_t kBannerHeight = 30;

    // headerPath is the bitmap drawn at the top left (the saver's comes from headerPathIn).
    Dashboard(SharedStatus status, bool wantBanner, const char* headerPath = "header.bmp",
              Clock clock = steadyClock());
    ~Dashboard();
    Dashboard(const Dashboard&) = delete;
    Dashboard& operator=(const Dashboard&) = delete;

    // One update: serves the set flags in their fixed order and reports whether it drew.
    bool updateFromStatus();
    void setStepHook(StepHook hook) { stepHook_ = hook; }

    Canvas& canvas() { return *canvas_; }
    // The attention banner, exactly as wide as its text in largeFont and 30 high; null
    // when no banner was asked for.
    Canvas* bannerCanvas() { return bannerCanvas_.get(); }
    const DashboardLayout& layout() const { return layout_; }
    int32_t lineHeight() const { return layout_.lineHeight; }

    // The spectrum plot's steps, public for tests and benchmarks.
    void updateSpectrumPlot();
    void drawPlotLabels();
    void drawPlotAxes();
    void drawPlotRow(const uint8_t* heights, int32_t rowIndex);

    // Parts used by the update cycle and tests.
    TextPanel& analysisPanel() { return *analysisPanel_; }
    TextPanel& dataInfoPanel() { return *dataInfoPanel_; }
    TextPanel& userInfoPanel() { return *userInfoPanel_; }
    PercentBar& percentBar() { return *percentBar_; }
    ProgressCube& progressCube() { return *progressCube_; }
    GaussianGraph& gaussianGraph() { return *gaussianGraph_; }
    Panel& plotPanel() { return *plotPanel_; }

    // Plot parameters as copied at the start of the latest plot update (clamped to what
    // fits the record and the panel).
    int32_t plotDepthX = 0, plotDepthY = 0, plotMirrored = 0, plotMaxHeight = 0, plotRowCount = 0,
            plotRowLength = 0;

  private:
    void drawFrame();
    void drawPowerLabel(const char* text);
    void drawTimeLabels(const char* start, const char* title, const char* end);
    void drawFrequencyLabels(const char* start, const char* title, const char* end);
    void drawBarRun(int32_t column, int32_t fromLevel, int32_t toLevel, uint32_t pixel);
    void showAnalysisText();
    void showUserInfo();
    void showDataInfo();
    void showProgress();
    void showPercentBar();
    void showDrift();
    void showGaussian();
    void showMessage();
    void betweenSteps() const {
        if (stepHook_.call)
            stepHook_.call(stepHook_.context);
    }

    SharedStatus status_;
    Clock clock_;
    StepHook stepHook_;
    DashboardLayout layout_;
    std::unique_ptr<Canvas> canvas_;
    std::unique_ptr<Canvas> bannerCanvas_;
    std::unique_ptr<Font> textFont_, titleFont_, largeFont_;
    std::unique_ptr<ProgressCube> progressCube_;
    std::unique_ptr<PercentBar> percentBar_;
    std::unique_ptr<TextPanel> dataInfoPanel_, userInfoPanel_, analysisPanel_;
    std::unique_ptr<GaussianGraph> gaussianGraph_;
    std::unique_ptr<Panel> plotPanel_;
    int32_t plotPanelWidth_ = 0, plotPanelHeight_ = 0, plotBaseline_ = 0;
    bool drawn_ = false;
};

}  // namespace vandrel
