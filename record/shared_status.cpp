#include "record/shared_status.h"

#include <algorithm>

namespace vandrel {

static_assert(rec::userInfo + rec::userInfoLength == rec::userInfoDirty);
static_assert(rec::dataInfo + rec::dataInfoLength == rec::dataInfoDirty);
static_assert(rec::gaussian + rec::gaussianLength == rec::gaussianDirty);
static_assert(rec::message + rec::messageLength == rec::messageDirty);
static_assert(rec::userInfo + UserInfo::userName == rec::userName);
static_assert(rec::userName + UserInfo::userNameLength == rec::userNameEnd);
static_assert(rec::userInfo + UserInfo::unitsCompleted == rec::unitsCompleted);
static_assert(rec::userInfo + UserInfo::totalCpuSeconds == rec::totalCpuSeconds);
static_assert(rec::dataInfo + DataInfo::raHours == rec::raHours);
static_assert(rec::dataInfo + DataInfo::decDegrees == rec::decDegrees);
static_assert(rec::dataInfo + DataInfo::recordedJulianDate == rec::recordedJulianDate);
static_assert(rec::dataInfo + DataInfo::baseFrequencyHz == rec::baseFrequencyHz);
static_assert(rec::dataInfo + DataInfo::sampleRateHz == rec::sampleRateHz);
static_assert(rec::dataInfo + DataInfo::sourceKind == rec::sourceKind);
static_assert(rec::dataInfo + DataInfo::sampleCount == rec::sampleCount);
static_assert(rec::gaussian + GaussianInfo::gaussSigma == rec::gaussSigma);
static_assert(rec::gaussian + GaussianInfo::gaussPeakPower == rec::gaussPeakPower);
static_assert(rec::gaussian + GaussianInfo::gaussMeanPower == rec::gaussMeanPower);
static_assert(rec::gaussian + GaussianInfo::gaussFit == rec::gaussFit);
static_assert(rec::gaussian + GaussianInfo::gaussCentre == rec::gaussCentre);
static_assert(rec::gaussian + GaussianInfo::gaussPowers == rec::gaussPowers);
static_assert(rec::gaussPowers + 4 * rec::gaussPowerCount == rec::gaussianDirty);
static_assert(rec::message + MessageInfo::messageLine1 == rec::messageLine1);
static_assert(rec::message + MessageInfo::messageLine2 == rec::messageLine2);
static_assert(rec::messageLine2 + rec::messageLineLength == rec::messageDirty);
static_assert(rec::plotRow(0) == 3936 && rec::plotRowDirty(0) == 4536);
static_assert(rec::plotRowDirty(rec::plotRowCapacity - 1) + 4 <= rec::saverAttached);
static_assert(rec::plotRow(rec::plotRowCapacity) + rec::plotRowSize > rec::saverAttached);
static_assert(rec::saverPriorityClass + 4 == rec::recordSize);
// Every word the saver touches is naturally aligned, so each access is one load or store.
static_assert(rec::userInfo % 4 == 0 && rec::dataInfo % 4 == 0 && rec::gaussian % 4 == 0 &&
              rec::message % 4 == 0 && rec::plotRowSize % 4 == 0);
static_assert(rec::totalCpuSeconds % 8 == 0 && rec::recordedJulianDate % 8 == 0 &&
              rec::baseFrequencyHz % 8 == 0 && rec::sampleRateHz % 8 == 0 &&
              rec::cpuSeconds % 8 == 0);

namespace {
// Copies bytes up to the first NUL, stopping at the field's end and at the output's room.
void copyText(const unsigned char* field, size_t fieldLength, char* out, size_t outSize) {
    size_t n = 0;
    while (n + 1 < outSize && n < fieldLength && field[n] != 0) {
        out[n] = static_cast<char>(field[n]);
        ++n;
    }
    out[n] = '\0';
}
}  // namespace

template <size_t Length>
void SubBlock<Length>::text(size_t offset, size_t fieldLength, char* out, size_t outSize) const {
    if (outSize == 0)
        return;
    if (offset >= Length) {
        out[0] = '\0';
        return;
    }
    if (fieldLength > Length - offset)
        fieldLength = Length - offset;
    copyText(bytes + offset, fieldLength, out, outSize);
}
template struct SubBlock<rec::userInfoLength>;
template struct SubBlock<rec::dataInfoLength>;
template struct SubBlock<rec::gaussianLength>;
template struct SubBlock<rec::messageLength>;

void SharedStatus::copyBytes(size_t offset, void* out, size_t length) const {
    auto* dst = static_cast<unsigned char*>(out);
    size_t i = 0;
    for (; i + 4 <= length; i += 4) {
        uint32_t w = loadU32(offset + i);
        std::memcpy(dst + i, &w, 4);
    }
    for (; i < length; ++i) {
        dst[i] = std::atomic_ref<unsigned char>(base_[offset + i]).load(std::memory_order_relaxed);
    }
}

void SharedStatus::text(size_t offset, size_t fieldLength, char* out, size_t outSize) const {
    if (outSize == 0)
        return;
    size_t n = 0;
    while (n + 1 < outSize && n < fieldLength) {
        unsigned char c =
            std::atomic_ref<unsigned char>(base_[offset + n]).load(std::memory_order_relaxed);
        if (c == 0)
            break;
        out[n++] = static_cast<char>(c);
    }
    out[n] = '\0';
}

void SharedStatus::setText(size_t offset, size_t fieldLength, const char* text) const {
    if (fieldLength == 0)
        return;
    size_t n = 0;
    for (; n + 1 < fieldLength && text[n] != '\0'; ++n) {
        std::atomic_ref<unsigned char>(base_[offset + n])
            .store(static_cast<unsigned char>(text[n]), std::memory_order_relaxed);
    }
    std::atomic_ref<unsigned char>(base_[offset + n]).store(0, std::memory_order_relaxed);
}

void SharedStatus::markEveryPart() const {
    for (size_t flag : rec::partFlags) {
        markDirty(flag);
    }
    const int32_t rows = std::clamp(loadI32(rec::plotRowCount), 0, rec::plotRowCapacity);
    for (int32_t row = 0; row < rows; ++row) {
        markDirty(rec::plotRowDirty(row));
    }
}

}  // namespace vandrel
