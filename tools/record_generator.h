#pragma once
#include <cstdint>

#include "record/shared_status.h"

// A synthetic analysis worker: it fills a status record with a plausible data unit and
// keeps it moving, through the same dirty-flag protocol as the real worker. Shared by
// the snapshot command and the Windows demo worker, so it makes no platform calls.
namespace vandrel {

struct GeneratorOptions {
    uint32_t seed = 1;
    // Ask for the user's attention: messagePresent and two message lines.
    bool message = false;
    bool mirrored = false;
    // Observatory data (2) or test data (anything else).
    int32_t sourceKind = 2;
    // Rows in the spectrum plot, clamped to 1..203.
    int32_t rowCount = 203;
    // A data unit is analysed in passes, one per drift rate; each pass redraws the plot.
    int32_t passesPerUnit = 24;
    uint32_t passMs = 20000;
    // A new Gaussian candidate appears this often.
    uint32_t gaussianMs = 3000;
    const char* userName = "Demo Observer";
};

// The worker's view of one data unit at one moment. All of it follows from the seed,
// the unit number and the time into the unit, so equal calls give equal records.
class RecordGenerator {
  public:
    // The record must be at least rec::recordSize bytes, 4-byte aligned, and is written
    // only through this generator's calls.
    RecordGenerator(SharedStatus status, GeneratorOptions options);

    // Publishes the whole current state at once: every part written, then its flag set
    // (rows due so far included), whether or not the saver has served the flags yet.
    void publishAll();

    // Advances the clock by elapsedMs and publishes what changed. A part is rewritten
    // only once the saver has cleared its flag; until then the change stays pending and
    // goes out on a later step with the then-current values, so no update is lost.
    // Rows go out in order, each after the one before it was served.
    void step(uint32_t elapsedMs);

    // Switches the attention message on or off; it goes out through step or publishAll.
    void setMessage(bool present);

    // Milliseconds from now until every row of the current pass is due.
    uint32_t msUntilPlotFull() const;

    uint64_t unitIndex() const { return unit_; }
    int32_t passIndex() const;
    int32_t rowsDue() const;
    int32_t rowsPublished() const { return rowsPublished_; }
    int32_t rowCount() const { return rowCount_; }
    int32_t rowLength() const { return rowLength_; }
    int32_t maxHeight() const { return maxHeight_; }
    // The column where the narrow-band signal crosses row i of the current pass.
    double signalColumn(int32_t row) const;

  private:
    struct Pending {
        bool user = true, data = true, analysis = true, progress = true, cpu = true, bar = true,
             drift = true, gaussian = true, message = true, axes = true;
        void clear() {
            *this = Pending{false, false, false, false, false, false, false, false, false, false};
        }
    };

    void startPass();
    void sizePlot();
    double driftRate() const;
    int32_t fftLength() const;
    uint64_t unitMs() const;

    void writeUser() const;
    void writeData() const;
    void writeAnalysisText() const;
    void writeProgress() const;
    void writeCpu() const;
    void writeBar() const;
    void writeDrift() const;
    void writeGaussian() const;
    void writeMessage() const;
    void writePlotParameters() const;
    void writeRow(int32_t row) const;
    // Writes part data with `write` and sets its flag, if the saver has served the flag.
    template <typename Write>
    bool publishIfServed(bool& pending, size_t flag, Write write);

    SharedStatus status_;
    GeneratorOptions options_;
    Pending pending_;
    bool messagePresent_;

    uint64_t unit_ = 0;        // data units finished since the generator started
    uint64_t msIntoUnit_ = 0;  // time into the current unit
    int32_t pass_ = -1;        // the pass whose plot is being published
    uint64_t gaussianIndex_ = 0;
    float bestPeak_ = 0;
    bool gaussianIsBest_ = false;

    int32_t rowCount_ = 0, rowLength_ = 0, depthX_ = 0, depthY_ = 0, maxHeight_ = 0;
    int32_t rowsPublished_ = 0;
};

}  // namespace vandrel
