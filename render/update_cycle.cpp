#include <cstdio>

#include "render/dashboard.h"
#include "render/format.h"

namespace vandrel {

namespace {
// Room for any row: the longest field is the user name, cut at its 268 bytes.
constexpr size_t kRowTextSize = 320;
}  // namespace

bool Dashboard::updateFromStatus() {
    drawn_ = false;
    // Each flag is read at its own step, so a flag the worker sets meanwhile is seen.
    struct Step {
        size_t flag;
        void (Dashboard::*show)();
    };
    static constexpr Step steps[] = {
        {rec::analysisTextDirty, &Dashboard::showAnalysisText},
        {rec::userInfoDirty, &Dashboard::showUserInfo},
        {rec::dataInfoDirty, &Dashboard::showDataInfo},
        {rec::cpuDirty, &Dashboard::showProgress},
        {rec::progressDirty, &Dashboard::showProgress},
        {rec::barDirty, &Dashboard::showPercentBar},
        {rec::driftDirty, &Dashboard::showDrift},
        {rec::auxDirtyA, nullptr},
        {rec::auxDirtyB, nullptr},
        {rec::gaussianDirty, &Dashboard::showGaussian},
        {rec::messageDirty, &Dashboard::showMessage},
    };
    for (const Step& step : steps) {
        betweenSteps();
        if (!status_.isDirty(step.flag))
            continue;
        if (step.show)
            (this->*step.show)();
        // The progress row shows both values, so serving either serves both.
        if (step.show == &Dashboard::showProgress) {
            status_.clearDirty(rec::progressDirty);
            status_.clearDirty(rec::cpuDirty);
        } else {
            status_.clearDirty(step.flag);
        }
        drawn_ = true;
    }
    betweenSteps();
    if (status_.loadI32(rec::messagePresent) == 0)
        updateSpectrumPlot();
    return drawn_;
}

void Dashboard::showAnalysisText() {
    char text[rec::analysisTextLength];
    status_.text(rec::analysisText, rec::analysisTextLength, text, sizeof text);
    analysisPanel_->setRow(1, text);
}

void Dashboard::showUserInfo() {
    UserInfo info;
    status_.copy(info);
    char name[UserInfo::userNameLength + 1];
    info.text(UserInfo::userName, UserInfo::userNameLength, name, sizeof name);
    char row[kRowTextSize];
    std::snprintf(row, sizeof row, "Name: %s", name);
    userInfoPanel_->setRow(1, row);
    std::snprintf(row, sizeof row, "Data units completed: %d",
                  info.get<int32_t>(UserInfo::unitsCompleted));
    userInfoPanel_->setRow(2, row);
    std::snprintf(row, sizeof row, "Total computer time: %s",
                  durationText(info.get<double>(UserInfo::totalCpuSeconds)));
    userInfoPanel_->setRow(3, row);
}

void Dashboard::showDataInfo() {
    DataInfo info;
    status_.copy(info);
    char ra[kValueTextSize], dec[kValueTextSize], row[kRowTextSize];
    rightAscensionText(info.get<float>(DataInfo::raHours), ra, sizeof ra);
    declinationText(info.get<float>(DataInfo::decDegrees), dec, sizeof dec);
    std::snprintf(row, sizeof row, "From: %s, %s", ra, dec);
    dataInfoPanel_->setRow(1, row);
    const double julian = info.get<double>(DataInfo::recordedJulianDate);
    std::snprintf(row, sizeof row, "Recorded on: %s GMT",
                  recordingDateText(unixSecondsToJulian(julianToUnixSeconds(julian))));
    dataInfoPanel_->setRow(2, row);
    std::snprintf(
        row, sizeof row, "Source: %s",
        info.get<int32_t>(DataInfo::sourceKind) == 2 ? "Arecibo Radio Observatory" : "Test Data");
    dataInfoPanel_->setRow(3, row);
    std::snprintf(row, sizeof row, "Base Frequency: %10.9f GHz",
                  info.get<double>(DataInfo::baseFrequencyHz) * 0.000000001);
    dataInfoPanel_->setRow(4, row);
}

void Dashboard::showProgress() {
    progressCube_->setFraction(status_.loadFloat(rec::progressFraction));
    char left[kRowTextSize];
    std::snprintf(left, sizeof left, "Overall: %6.3f%% done",
                  status_.loadFloat(rec::progressFraction) * 100.0);
    char right[kRowTextSize];
    std::snprintf(right, sizeof right, "CPU time: %s",
                  durationText(status_.loadDouble(rec::cpuSeconds)));
    analysisPanel_->setRowPair(10, left, right);
}

void Dashboard::showPercentBar() {
    percentBar_->setFraction(status_.loadFloat(rec::barFraction));
}

void Dashboard::showDrift() {
    char row[kRowTextSize];
    std::snprintf(row, sizeof row, "Doppler drift rate: %6.4f Hz/sec    Resolution: %5.3f Hz",
                  static_cast<double>(status_.loadFloat(rec::driftRate)),
                  frequencyResolution(status_.loadI32(rec::fftLength),
                                      status_.loadDouble(rec::sampleRateHz)));
    analysisPanel_->setRow(2, row);
}

void Dashboard::showGaussian() {
    GaussianInfo g;
    status_.copy(g);
    const float peak = g.get<float>(GaussianInfo::gaussPeakPower);
    // NaN compares unequal to 0 but is no fit either.
    if (peak != 0 && peak == peak) {
        char row[kRowTextSize];
        std::snprintf(row, sizeof row, "%sGaussian: power %5.2f, fit %5.3f",
                      g.get<int32_t>(GaussianInfo::gaussIsBest) ? "Best " : "",
                      static_cast<double>(peak),
                      static_cast<double>(g.get<float>(GaussianInfo::gaussFit)));
        analysisPanel_->setRow(3, row);
        gaussianGraph_->drawGaussian(g);
    } else {
        analysisPanel_->setRow(3, "");
        gaussianGraph_->fill(colorBlack);
    }
}

void Dashboard::showMessage() {
    MessageInfo m;
    status_.copy(m);
    canvas_->fillRect(plotPanel_->bounds, colorBlack);
    if (m.get<int32_t>(MessageInfo::messagePresent) == 0)
        return;
    const int32_t cx = plotPanel_->width / 2, cy = plotPanel_->height / 2;
    char line[rec::messageLineLength + 1];
    canvas_->selectFont(*largeFont_);
    m.text(MessageInfo::messageLine1, rec::messageLineLength, line, sizeof line);
    plotPanel_->drawText(cx - canvas_->textExtent(line).width / 2, cy - 30, line);
    m.text(MessageInfo::messageLine2, rec::messageLineLength, line, sizeof line);
    plotPanel_->drawText(cx - canvas_->textExtent(line).width / 2, cy, line);
    canvas_->selectFont(*textFont_);
}

}  // namespace vandrel
