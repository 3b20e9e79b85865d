#include "tools/record_writes.h"

#include <bit>
#include <cstring>
#include <limits>

namespace vandrel::writes {

namespace {
using K = FieldKind;
constexpr Field kFields[] = {
    {rec::userName, K::text, 1, UserInfo::userNameLength},
    {rec::unitsCompleted, K::i32},
    {rec::totalCpuSeconds, K::f64},
    {rec::raHours, K::f32},
    {rec::decDegrees, K::f32},
    {rec::recordedJulianDate, K::f64},
    {rec::baseFrequencyHz, K::f64},
    {rec::sampleRateHz, K::f64},
    {rec::sourceKind, K::i32},
    {rec::sampleCount, K::i32},
    {rec::analysisText, K::text, 1, rec::analysisTextLength},
    {rec::progressFraction, K::f32},
    {rec::barFraction, K::f32},
    {rec::cpuSeconds, K::f64},
    {rec::driftRate, K::f32},
    {rec::fftLength, K::i32},
    {rec::gaussIsBest, K::i32},
    {rec::gaussSigma, K::f32},
    {rec::gaussPeakPower, K::f32},
    {rec::gaussMeanPower, K::f32},
    {rec::gaussFit, K::f32},
    {rec::gaussCentre, K::i32},
    {rec::gaussPowers, K::f32, rec::gaussPowerCount},
    {rec::messagePresent, K::i32},
    {rec::messageLine1, K::text, 1, rec::messageLineLength},
    {rec::messageLine2, K::text, 1, rec::messageLineLength},
    {rec::plotWidth, K::i32},
    {rec::plotHeight, K::i32},
    {rec::plotDepthX, K::i32},
    {rec::plotDepthY, K::i32},
    {rec::plotMirrored, K::i32},
    {rec::plotMaxHeight, K::i32},
    {rec::plotRowCount, K::i32},
    {rec::plotRowLength, K::i32},
    {rec::saverAttached, K::i32},
    {rec::saverPriorityClass, K::i32},
};
constexpr size_t kLongestText = UserInfo::userNameLength;
static_assert(kLongestText >= rec::analysisTextLength && kLongestText >= rec::messageLineLength);
static_assert(rec::userName % 4 == 0 && rec::analysisText % 4 == 0 && rec::messageLine1 % 4 == 0 &&
              rec::messageLine2 % 4 == 0 && UserInfo::userNameLength % 4 == 0 &&
              rec::analysisTextLength % 4 == 0 && rec::messageLineLength % 4 == 0);

constexpr size_t kPartFlags[] = {
    rec::analysisTextDirty, rec::userInfoDirty, rec::dataInfoDirty, rec::cpuDirty,
    rec::progressDirty,     rec::barDirty,      rec::driftDirty,    rec::auxDirtyA,
    rec::auxDirtyB,         rec::gaussianDirty, rec::messageDirty,  rec::plotAxesDirty,
};

constexpr int32_t kI32[] = {
    0,
    1,
    -1,
    2,
    3,
    7,
    255,
    256,
    203,
    204,
    600,
    601,
    4096,
    4097,
    -4096,
    -4097,
    65536,
    std::numeric_limits<int32_t>::max(),
    std::numeric_limits<int32_t>::min(),
    std::numeric_limits<int32_t>::min() + 1,
    0x7f7f7f7f,
    2147483647 / 2,
};
constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kF32[] = {
    0.0f,
    -0.0f,
    1.0f,
    -1.0f,
    0.5f,
    0.99999994f,
    1.0000001f,
    60.0f,
    24.0f,
    -90.0f,
    std::numeric_limits<float>::quiet_NaN(),
    -std::numeric_limits<float>::quiet_NaN(),
    kInf,
    -kInf,
    std::numeric_limits<float>::max(),
    std::numeric_limits<float>::lowest(),
    std::numeric_limits<float>::min(),
    std::numeric_limits<float>::denorm_min(),
    2147483648.0f,
    -2147483904.0f,
    1e30f,
    1e-30f,
};
constexpr double kDInf = std::numeric_limits<double>::infinity();
constexpr double kF64[] = {
    0.0,
    -0.0,
    1.0,
    -1.0,
    0.5,
    2440587.5,
    2461041.5,
    1e-5,
    3600.0,
    7730941132800.0,
    std::numeric_limits<double>::quiet_NaN(),
    -std::numeric_limits<double>::quiet_NaN(),
    kDInf,
    -kDInf,
    std::numeric_limits<double>::max(),
    std::numeric_limits<double>::lowest(),
    std::numeric_limits<double>::min(),
    std::numeric_limits<double>::denorm_min(),
    9223372036854775808.0,
    -9223372036854777856.0,
    1e300,
    1e-300,
};
}  // namespace

std::span<const Field> fields() {
    return kFields;
}
std::span<const size_t> partFlags() {
    return kPartFlags;
}
uint32_t interestingI32(uint32_t index) {
    return static_cast<uint32_t>(kI32[index % std::size(kI32)]);
}
float interestingF32(uint32_t index) {
    return kF32[index % std::size(kF32)];
}
double interestingF64(uint32_t index) {
    return kF64[index % std::size(kF64)];
}

void writeBits(SharedStatus s, const Field& f, uint32_t element, uint64_t bits) {
    const size_t at = f.offset + 4 * (element % f.count);
    switch (f.kind) {
        case K::i32:
        case K::f32:
            s.storeU32(at, static_cast<uint32_t>(bits));
            break;
        case K::f64:
            s.storeDouble(at, std::bit_cast<double>(bits));
            break;
        case K::text:
            break;
    }
}

void writeText(SharedStatus s, const Field& f, const unsigned char* bytes, size_t length,
               bool terminated) {
    alignas(4) unsigned char field[kLongestText];
    const size_t n = f.textLength < sizeof field ? f.textLength : sizeof field;
    s.copyBytes(f.offset, field, n);
    if (length > n)
        length = n;
    std::memcpy(field, bytes, length);
    if (terminated && length < n)
        field[length] = 0;
    for (size_t i = 0; i + 4 <= n; i += 4) {
        uint32_t w;
        std::memcpy(&w, field + i, 4);
        s.storeU32(f.offset + i, w);
    }
}

void writeRow(SharedStatus s, int32_t row, const uint8_t* heights) {
    const size_t base =
        rec::plotRow(static_cast<int32_t>(static_cast<uint32_t>(row) % rec::plotRowCapacity));
    for (size_t i = 0; i < rec::plotRowHeights; i += 4) {
        uint32_t w;
        std::memcpy(&w, heights + i, 4);
        s.storeU32(base + i, w);
    }
}

size_t rowFlag(int32_t row) {
    return rec::plotRowDirty(
        static_cast<int32_t>(static_cast<uint32_t>(row) % rec::plotRowCapacity));
}

}  // namespace vandrel::writes
