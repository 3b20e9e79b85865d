#include "controller/saver_session.h"

#include <new>

#include "record/shared_status.h"

namespace vandrel {

void SaverSession::place() {
    placement_ = placeDashboard(output_.primaryArea(), scaleSetting_);
    output_.place(placement_);
}

void SaverSession::start(uint32_t now, const SaverSettings& settings) {
    headerPathIn(settings.ClientDir, headerPath_, sizeof headerPath_);
    place();
    const Rect& primary = placement_.primary;
    logic_.create(primary.right - primary.left, now, settings.Blank, settings.Minutes);
    if (logic_.displayMode() != DisplayMode::Label && link_.mayConnect(now)) {
        connect();
    }
}

bool SaverSession::connect() {
    void* view = link_.open();
    if (view == nullptr) {
        return false;
    }
    view_ = view;
    SharedStatus status(view);
    // A saver before this one never let go (killed, ended by the system): the worker sees
    // no new attach and flags nothing, so every part is asked for here.
    if (status.loadI32(rec::saverAttached) != 0) {
        status.markEveryPart();
    }
    status.storeI32(rec::saverAttached, 1);
    status.storeI32(rec::saverPriorityClass, link_.priorityClass());
    try {
        dashboard_ = std::make_unique<Dashboard>(status, true, headerPath_);
    } catch (const std::bad_alloc&) {
        dashboard_.reset();  // without memory for it the screen stays black
    }
    return true;
}

void SaverSession::letGo(bool detach) {
    finish(detach);
    logic_.reconnect();
}

void SaverSession::finish(bool detach) {
    if (view_ == nullptr) {
        return;  // the dashboard lives only while a record is attached
    }
    if (detach) {
        SharedStatus(view_).storeI32(rec::saverAttached, 0);
    }
    dashboard_.reset();
    view_ = nullptr;
    link_.close();
}

void SaverSession::copyParts(const DrawnArea& parts) {
    for (int i = 0; i < parts.count(); ++i) {
        output_.copyCanvas(dashboard_->canvas(), parts[i], placement_.canvasOrigin,
                           placement_.scale, placement_.primary);
    }
}

bool SaverSession::tick(uint32_t now) {
    bool messagePresent = false;
    int32_t bannerWidth = 0;
    Canvas* banner = dashboard_ ? dashboard_->bannerCanvas() : nullptr;
    if (logic_.blankPhase() == BlankPhase::Blanked && view_ != nullptr) {
        messagePresent = SharedStatus(view_).loadI32(rec::messagePresent) != 0;
        bannerWidth = banner != nullptr ? banner->width() * placement_.scale : 0;
    }
    const TickPlan plan = logic_.tick(now, view_ != nullptr, messagePresent, bannerWidth);
    switch (plan.action) {
        case TickAction::None:
            break;
        case TickAction::DrawLabel:
            output_.drawLabel(placement_.primary.left, placement_.primary.top);
            break;
        case TickAction::Connect:
            if (!link_.mayConnect(now) || logic_.connectResult(connect())) {
                break;
            }
            if (mayStartWorker_) {
                link_.startWorker();
                mayStartWorker_ = false;
            }
            return link_.afterWorkerStart() == AfterWorkerStart::Wait;
        case TickAction::Update: {
            const bool drew = dashboard_ && dashboard_->updateFromStatus();
            const CanvasCopy copy = logic_.shouldCopyCanvas(drew);
            if (copy == CanvasCopy::None || !dashboard_) {
                break;
            }
            DrawnArea parts = dashboard_->canvas().takeDrawnArea();
            if (copy == CanvasCopy::Whole) {
                parts = DrawnArea();
                parts.add({0, 0, kCanvasWidth, kCanvasHeight});
            }
            copyParts(parts);
            break;
        }
        case TickAction::ClearScreen:
            output_.fillBlack({0, 0, output_.width(), output_.height()});
            logic_.cleared(now);
            break;
        case TickAction::DrawBanner:
            if (banner != nullptr) {
                output_.copyCanvas(*banner, {0, 0, banner->width(), banner->height()},
                                   {placement_.primary.left + plan.bannerX, bannerTop(placement_)},
                                   placement_.scale, placement_.primary);
            }
            break;
    }
    return true;
}

void SaverSession::expose(Rect area) {
    if (dashboard_ && logic_.canvasOnScreen()) {
        output_.copyCanvas(dashboard_->canvas(), clientToCanvas(area, placement_),
                           placement_.canvasOrigin, placement_.scale, placement_.primary);
    }
}

void SaverSession::resized() {
    place();
    logic_.resized(placement_.primary.right - placement_.primary.left);
    const Rect whole{0, 0, output_.width(), output_.height()};
    output_.fillBlack(whole);
    expose(whole);
}

}  // namespace vandrel
