#pragma once
#include <atomic>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

// The worker's status record "vandrel_share". Another process writes it at any moment,
// so every access is a single aligned load or store that the compiler may neither tear
// nor drop, and nothing read from it is trusted.
namespace vandrel {

namespace rec {
// Byte offsets of the record; they are a format shared with the worker, not a struct.
inline constexpr size_t userInfo = 24, userInfoLength = 360;
inline constexpr size_t userName = 96, userNameEnd = 364;
inline constexpr size_t unitsCompleted = 364;
inline constexpr size_t totalCpuSeconds = 368;
inline constexpr size_t userInfoDirty = 384;
inline constexpr size_t dataInfo = 392, dataInfoLength = 2672;
inline constexpr size_t raHours = 404;
inline constexpr size_t decDegrees = 408;
inline constexpr size_t recordedJulianDate = 424;
inline constexpr size_t baseFrequencyHz = 440;
inline constexpr size_t sampleRateHz = 448;
inline constexpr size_t sourceKind = 468;
inline constexpr size_t sampleCount = 472;
inline constexpr size_t dataInfoDirty = 3064;
inline constexpr size_t analysisText = 3068, analysisTextLength = 80;
inline constexpr size_t analysisTextDirty = 3148;
inline constexpr size_t progressFraction = 3236;
inline constexpr size_t progressDirty = 3240;
inline constexpr size_t barFraction = 3244;
inline constexpr size_t barDirty = 3248;
inline constexpr size_t cpuSeconds = 3256;
inline constexpr size_t cpuDirty = 3264;
inline constexpr size_t driftRate = 3268;
inline constexpr size_t fftLength = 3272;
inline constexpr size_t driftDirty = 3276;
inline constexpr size_t auxDirtyA = 3304;
inline constexpr size_t auxDirtyB = 3332;
inline constexpr size_t gaussian = 3336, gaussianLength = 296;
inline constexpr size_t gaussIsBest = 3336;
inline constexpr size_t gaussSigma = 3344;
inline constexpr size_t gaussPeakPower = 3348;
inline constexpr size_t gaussMeanPower = 3352;
inline constexpr size_t gaussFit = 3356;
inline constexpr size_t gaussCentre = 3364;
inline constexpr size_t gaussPowers = 3376, gaussPowerCount = 64;
inline constexpr size_t gaussianDirty = 3632;
inline constexpr size_t message = 3636, messageLength = 260;
inline constexpr size_t messagePresent = 3636;
inline constexpr size_t messageLine1 = 3640, messageLine2 = 3768, messageLineLength = 128;
inline constexpr size_t messageDirty = 3896;
inline constexpr size_t plotWidth = 3900;
inline constexpr size_t plotHeight = 3904;
inline constexpr size_t plotDepthX = 3908;
inline constexpr size_t plotDepthY = 3912;
inline constexpr size_t plotMirrored = 3916;
inline constexpr size_t plotMaxHeight = 3920;
inline constexpr size_t plotAxesDirty = 3924;
inline constexpr size_t plotRowCount = 3928;
inline constexpr size_t plotRowLength = 3932;
inline constexpr size_t plotRows = 3936;
inline constexpr size_t plotRowSize = 604;  // 600 heights, then the row's int32 flag
inline constexpr size_t plotRowHeights = 600;
inline constexpr int32_t plotRowCapacity = 203;  // a row 203 would overlap saverAttached
inline constexpr size_t saverAttached = 127140;
inline constexpr size_t saverPriorityClass = 127144;
inline constexpr size_t recordSize = 127148;  // the smallest object the saver attaches

inline constexpr size_t plotRow(int32_t i) {
    return plotRows + plotRowSize * static_cast<size_t>(i);
}
inline constexpr size_t plotRowDirty(int32_t i) {
    return plotRow(i) + plotRowHeights;
}
// Every part's flag but the plot rows'.
inline constexpr size_t partFlags[] = {
    userInfoDirty, dataInfoDirty, analysisTextDirty, progressDirty, cpuDirty,     barDirty,
    driftDirty,    auxDirtyA,     auxDirtyB,         gaussianDirty, messageDirty, plotAxesDirty,
};
}  // namespace rec

// Copies of the four sub-blocks, taken whole before anything is formatted from them.
// Field offsets are relative to the sub-block.
template <size_t Length>
struct SubBlock {
    alignas(8) unsigned char bytes[Length];

    template <typename T>
    T get(size_t offset) const {
        T v;
        std::memcpy(&v, bytes + offset, sizeof v);
        return v;
    }
    // Copies the text at offset into out (outSize > 0), cut at the end of the field
    // even when the worker left no NUL inside it.
    void text(size_t offset, size_t fieldLength, char* out, size_t outSize) const;
};

struct UserInfo : SubBlock<rec::userInfoLength> {
    static constexpr size_t userName = 72, userNameLength = 268, unitsCompleted = 340,
                            totalCpuSeconds = 344;
};
struct DataInfo : SubBlock<rec::dataInfoLength> {
    static constexpr size_t raHours = 12, decDegrees = 16, recordedJulianDate = 32,
                            baseFrequencyHz = 48, sampleRateHz = 56, sourceKind = 76,
                            sampleCount = 80;
};
struct GaussianInfo : SubBlock<rec::gaussianLength> {
    static constexpr size_t gaussIsBest = 0, gaussSigma = 8, gaussPeakPower = 12,
                            gaussMeanPower = 16, gaussFit = 20, gaussCentre = 28, gaussPowers = 40;
    float power(size_t k) const { return get<float>(gaussPowers + 4 * k); }
};
struct MessageInfo : SubBlock<rec::messageLength> {
    static constexpr size_t messagePresent = 0, messageLine1 = 4, messageLine2 = 132;
};

// A view of a mapped record of at least rec::recordSize bytes (the caller checks the size).
class SharedStatus {
  public:
    explicit SharedStatus(void* base) : base_(static_cast<unsigned char*>(base)) {}
    unsigned char* base() const { return base_; }

    int32_t loadI32(size_t offset) const {
        return ref<int32_t>(offset).load(std::memory_order_relaxed);
    }
    uint32_t loadU32(size_t offset) const {
        return ref<uint32_t>(offset).load(std::memory_order_relaxed);
    }
    float loadFloat(size_t offset) const { return std::bit_cast<float>(loadU32(offset)); }
    double loadDouble(size_t offset) const {
        return std::bit_cast<double>(ref<uint64_t>(offset).load(std::memory_order_relaxed));
    }
    void storeI32(size_t offset, int32_t v) const {
        ref<int32_t>(offset).store(v, std::memory_order_relaxed);
    }
    void storeU32(size_t offset, uint32_t v) const {
        ref<uint32_t>(offset).store(v, std::memory_order_relaxed);
    }
    void storeFloat(size_t offset, float v) const { storeU32(offset, std::bit_cast<uint32_t>(v)); }
    void storeDouble(size_t offset, double v) const {
        ref<uint64_t>(offset).store(std::bit_cast<uint64_t>(v), std::memory_order_relaxed);
    }

    // The flag protocol: any non-zero value is set; the saver clears after drawing.
    bool isDirty(size_t flagOffset) const { return loadI32(flagOffset) != 0; }
    void clearDirty(size_t flagOffset) const { storeI32(flagOffset, 0); }
    // Worker side: data first, then the flag.
    void markDirty(size_t flagOffset) const { storeI32(flagOffset, 1); }
    // Flags every part and the plot rows in use, as a worker does for a newly attached
    // saver; a saver does it itself when the mark it finds says a saver before it never
    // let go, since the worker then sees no new attach.
    void markEveryPart() const;

    // Copies length bytes from offset into out, word by word in one pass.
    void copyBytes(size_t offset, void* out, size_t length) const;
    void copy(UserInfo& out) const { copyBytes(rec::userInfo, out.bytes, sizeof out.bytes); }
    void copy(DataInfo& out) const { copyBytes(rec::dataInfo, out.bytes, sizeof out.bytes); }
    void copy(GaussianInfo& out) const { copyBytes(rec::gaussian, out.bytes, sizeof out.bytes); }
    void copy(MessageInfo& out) const { copyBytes(rec::message, out.bytes, sizeof out.bytes); }
    // Reads a text field into out (outSize > 0), cut at the field's end.
    void text(size_t offset, size_t fieldLength, char* out, size_t outSize) const;
    // Worker side: writes a text, cut to fit its field with its NUL.
    void setText(size_t offset, size_t fieldLength, const char* text) const;

  private:
    template <typename T>
    std::atomic_ref<T> ref(size_t offset) const {
        return std::atomic_ref<T>(*reinterpret_cast<T*>(base_ + offset));
    }
    unsigned char* base_;
};

}  // namespace vandrel
