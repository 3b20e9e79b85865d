#pragma once
#include <cstdint>
#include <memory>

#include "controller/record_link.h"
#include "controller/saver_logic.h"
#include "controller/saver_output.h"
#include "controller/settings.h"
#include "render/dashboard.h"

// One run of the saver on one output, the same for every host: attaches the worker's
// record (or starts the worker), keeps the dashboard up to date, blanks the screen, runs
// the banner and repaints what the display lost. Hosts feed it ticks and their display's
// events; what differs between them is the output and the record link.
namespace vandrel {

class SaverSession {
  public:
    // scaleSetting: 0 automatic, 1 to 8 fixed (a preview passes 1).
    SaverSession(SaverOutput& output, RecordLink& link, int32_t scaleSetting)
        : output_(output), link_(link), scaleSetting_(scaleSetting) {}
    ~SaverSession() { finish(false); }
    SaverSession(const SaverSession&) = delete;
    SaverSession& operator=(const SaverSession&) = delete;

    // Places the dashboard on the output and, unless it only shows the label, attaches
    // the record when the link allows. The blanking and the worker's folder (its header
    // bitmap) come from settings.
    void start(uint32_t now, const SaverSettings& settings);
    // One step of the controller; false when the saver should end.
    bool tick(uint32_t now);
    // The display lost the pixels of area (output coordinates): drawn again.
    void expose(Rect area);
    // The output changed size or its monitors moved: placed anew, black, then drawn again.
    void resized();
    // Lets the record go; the picture stays until a new record is drawn. detach: this
    // saver is done with it (its worker ended), so the saverAttached mark goes too; one
    // that hands the dashboard to another saver leaves the mark on.
    void letGo(bool detach);
    // The end of the run: lets go of the record, detaching when detach.
    void finish(bool detach);

    bool attached() const { return view_ != nullptr; }
    DisplayMode displayMode() const { return logic_.displayMode(); }

  private:
    bool connect();
    void place();
    void copyParts(const DrawnArea& parts);

    SaverOutput& output_;
    RecordLink& link_;
    int32_t scaleSetting_;
    ControllerLogic logic_;
    Placement placement_;
    void* view_ = nullptr;
    std::unique_ptr<Dashboard> dashboard_;  // from an attach until the record goes
    bool mayStartWorker_ = true;            // once a run
    char headerPath_[kMaxPathChars + 16] = {};
};

}  // namespace vandrel
