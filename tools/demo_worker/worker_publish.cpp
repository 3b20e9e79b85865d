#include "tools/demo_worker/worker_publish.h"

#include <cstdio>

namespace vandrel {

bool AttachWatch::newAttach() {
    const bool attached = status_.loadI32(rec::saverAttached) != 0;
    const bool rising = attached && !wasAttached_;
    wasAttached_ = attached;
    return rising;
}

void ServeCounter::look(uint64_t nowUs) {
    const bool set = status_.isDirty(rec::userInfoDirty);
    const bool fell = wasSet_ && !set;
    wasSet_ = set;
    ++looks_;
    // Counted from the first serve on, so the time before the saver attached is out.
    if (serves_ != 0 && nowUs - lastLookUs_ <= kWatchedGapUs) {
        watchedUs_ += nowUs - lastLookUs_;
        watchedServes_ += fell ? 1 : 0;
    }
    lastLookUs_ = nowUs;
    if (!fell) {
        return;
    }
    if (serves_ == 0) {
        firstUs_ = nowUs;
    }
    lastUs_ = nowUs;
    ++serves_;
}

bool ServeCounter::write(const char* path, uint64_t startUs) const {
    std::FILE* f = std::fopen(path, "w");
    if (f == nullptr) {
        return false;
    }
    const double perSecond =
        watchedUs_ > 0 ? watchedServes_ * 1e6 / static_cast<double>(watchedUs_) : 0.0;
    std::fprintf(f, "rewrites=%llu\nflagRounds=%llu\nserves=%llu\n", rewrites_, looks_, serves_);
    const auto ms = [startUs](uint64_t us) {
        return static_cast<unsigned long long>(us > startUs ? (us - startUs) / 1000 : 0);
    };
    std::fprintf(f, "firstMs=%llu\nlastMs=%llu\n", serves_ != 0 ? ms(firstUs_) : 0ULL,
                 serves_ != 0 ? ms(lastUs_) : 0ULL);
    std::fprintf(f, "watchedMs=%llu\nperSecond=%.2f\n",
                 static_cast<unsigned long long>(watchedUs_ / 1000), perSecond);
    return std::fclose(f) == 0;
}

void markEveryFlag(SharedStatus status, int32_t rows) {
    static constexpr size_t flags[] = {
        rec::userInfoDirty, rec::dataInfoDirty, rec::analysisTextDirty, rec::progressDirty,
        rec::cpuDirty,      rec::barDirty,      rec::driftDirty,        rec::auxDirtyA,
        rec::auxDirtyB,     rec::gaussianDirty, rec::messageDirty,      rec::plotAxesDirty,
    };
    for (size_t flag : flags) {
        status.markDirty(flag);
    }
    for (int32_t row = 0; row < rows; ++row) {
        status.markDirty(rec::plotRowDirty(row));
    }
}

GeneratorOptions generatorOptionsFor(const WorkerOptions& options) {
    GeneratorOptions generatorOptions;
    generatorOptions.seed = options.seed;
    generatorOptions.passMs = options.passSeconds * 1000;
    generatorOptions.passesPerUnit = static_cast<int32_t>(options.passes);
    generatorOptions.message = attentionWanted(options, 0);
    return generatorOptions;
}

}  // namespace vandrel
