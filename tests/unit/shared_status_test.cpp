#include "record/shared_status.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace vandrel {
namespace {

// A record exactly as long as the smallest object the saver accepts, so that the
// sanitizers notice any access past its end.
struct Record {
    std::vector<unsigned char> bytes = std::vector<unsigned char>(127148, 0);
    SharedStatus status{bytes.data()};

    template <typename T>
    void put(size_t offset, T v) {
        std::memcpy(bytes.data() + offset, &v, sizeof v);
    }
    template <typename T>
    T at(size_t offset) const {
        T v;
        std::memcpy(&v, bytes.data() + offset, sizeof v);
        return v;
    }
};

// The worker's layout, written out from the format description rather than from the
// constants under test.
TEST(SharedStatusLayout, FieldOffsetsAreTheWorkersLayout) {
    EXPECT_EQ(rec::userName, 96u);
    EXPECT_EQ(rec::userNameEnd, 364u);
    EXPECT_EQ(rec::unitsCompleted, 364u);
    EXPECT_EQ(rec::totalCpuSeconds, 368u);
    EXPECT_EQ(rec::userInfoDirty, 384u);
    EXPECT_EQ(rec::raHours, 404u);
    EXPECT_EQ(rec::decDegrees, 408u);
    EXPECT_EQ(rec::recordedJulianDate, 424u);
    EXPECT_EQ(rec::baseFrequencyHz, 440u);
    EXPECT_EQ(rec::sampleRateHz, 448u);
    EXPECT_EQ(rec::sourceKind, 468u);
    EXPECT_EQ(rec::sampleCount, 472u);
    EXPECT_EQ(rec::dataInfoDirty, 3064u);
    EXPECT_EQ(rec::analysisText, 3068u);
    EXPECT_EQ(rec::analysisTextLength, 80u);
    EXPECT_EQ(rec::analysisTextDirty, 3148u);
    EXPECT_EQ(rec::progressFraction, 3236u);
    EXPECT_EQ(rec::progressDirty, 3240u);
    EXPECT_EQ(rec::barFraction, 3244u);
    EXPECT_EQ(rec::barDirty, 3248u);
    EXPECT_EQ(rec::cpuSeconds, 3256u);
    EXPECT_EQ(rec::cpuDirty, 3264u);
    EXPECT_EQ(rec::driftRate, 3268u);
    EXPECT_EQ(rec::fftLength, 3272u);
    EXPECT_EQ(rec::driftDirty, 3276u);
    EXPECT_EQ(rec::auxDirtyA, 3304u);
    EXPECT_EQ(rec::auxDirtyB, 3332u);
    EXPECT_EQ(rec::gaussIsBest, 3336u);
    EXPECT_EQ(rec::gaussSigma, 3344u);
    EXPECT_EQ(rec::gaussPeakPower, 3348u);
    EXPECT_EQ(rec::gaussMeanPower, 3352u);
    EXPECT_EQ(rec::gaussFit, 3356u);
    EXPECT_EQ(rec::gaussCentre, 3364u);
    EXPECT_EQ(rec::gaussPowers, 3376u);
    EXPECT_EQ(rec::gaussPowerCount, 64u);
    EXPECT_EQ(rec::gaussianDirty, 3632u);
    EXPECT_EQ(rec::messagePresent, 3636u);
    EXPECT_EQ(rec::messageLine1, 3640u);
    EXPECT_EQ(rec::messageLine2, 3768u);
    EXPECT_EQ(rec::messageLineLength, 128u);
    EXPECT_EQ(rec::messageDirty, 3896u);
    EXPECT_EQ(rec::plotWidth, 3900u);
    EXPECT_EQ(rec::plotHeight, 3904u);
    EXPECT_EQ(rec::plotDepthX, 3908u);
    EXPECT_EQ(rec::plotDepthY, 3912u);
    EXPECT_EQ(rec::plotMirrored, 3916u);
    EXPECT_EQ(rec::plotMaxHeight, 3920u);
    EXPECT_EQ(rec::plotAxesDirty, 3924u);
    EXPECT_EQ(rec::plotRowCount, 3928u);
    EXPECT_EQ(rec::plotRowLength, 3932u);
    EXPECT_EQ(rec::saverAttached, 127140u);
    EXPECT_EQ(rec::saverPriorityClass, 127144u);
    EXPECT_EQ(rec::recordSize, 127148u);

    // Rows: 600 heights then the flag, 604 bytes a row, 203 of them before saverAttached.
    EXPECT_EQ(rec::plotRow(0), 3936u);
    EXPECT_EQ(rec::plotRowDirty(0), 4536u);
    EXPECT_EQ(rec::plotRow(1), 4540u);
    EXPECT_EQ(rec::plotRowDirty(1), 5140u);
    EXPECT_EQ(rec::plotRow(202), 125944u);
    EXPECT_EQ(rec::plotRowDirty(202) + 4 - 1, 126547u);  // the last byte of row 202
    EXPECT_EQ(rec::plotRowCapacity, 203);
    EXPECT_EQ(rec::plotRowHeights, 600u);
    EXPECT_EQ(rec::plotRowSize, 604u);
}

TEST(SharedStatusLayout, SubBlocksAndTheirRelativeOffsets) {
    EXPECT_EQ(rec::userInfo, 24u);
    EXPECT_EQ(rec::userInfoLength, 360u);
    EXPECT_EQ(rec::dataInfo, 392u);
    EXPECT_EQ(rec::dataInfoLength, 2672u);
    EXPECT_EQ(rec::gaussian, 3336u);
    EXPECT_EQ(rec::gaussianLength, 296u);
    EXPECT_EQ(rec::message, 3636u);
    EXPECT_EQ(rec::messageLength, 260u);
    EXPECT_EQ(sizeof(UserInfo::bytes), 360u);
    EXPECT_EQ(sizeof(DataInfo::bytes), 2672u);
    EXPECT_EQ(sizeof(GaussianInfo::bytes), 296u);
    EXPECT_EQ(sizeof(MessageInfo::bytes), 260u);

    EXPECT_EQ(UserInfo::userName, 72u);
    EXPECT_EQ(UserInfo::userNameLength, 268u);
    EXPECT_EQ(UserInfo::unitsCompleted, 340u);
    EXPECT_EQ(UserInfo::totalCpuSeconds, 344u);
    EXPECT_EQ(DataInfo::raHours, 12u);
    EXPECT_EQ(DataInfo::decDegrees, 16u);
    EXPECT_EQ(DataInfo::recordedJulianDate, 32u);
    EXPECT_EQ(DataInfo::baseFrequencyHz, 48u);
    EXPECT_EQ(DataInfo::sampleRateHz, 56u);
    EXPECT_EQ(DataInfo::sourceKind, 76u);
    EXPECT_EQ(DataInfo::sampleCount, 80u);
    EXPECT_EQ(GaussianInfo::gaussIsBest, 0u);
    EXPECT_EQ(GaussianInfo::gaussSigma, 8u);
    EXPECT_EQ(GaussianInfo::gaussPeakPower, 12u);
    EXPECT_EQ(GaussianInfo::gaussMeanPower, 16u);
    EXPECT_EQ(GaussianInfo::gaussFit, 20u);
    EXPECT_EQ(GaussianInfo::gaussCentre, 28u);
    EXPECT_EQ(GaussianInfo::gaussPowers, 40u);
    EXPECT_EQ(MessageInfo::messagePresent, 0u);
    EXPECT_EQ(MessageInfo::messageLine1, 4u);
    EXPECT_EQ(MessageInfo::messageLine2, 132u);
}

TEST(SharedStatusAccess, LoadsAndStoresTouchExactlyTheirBytes) {
    Record r;
    r.put<double>(368, 12345.5);
    r.put<float>(404, 13.5f);
    r.put<uint32_t>(472, 4000000000u);
    r.put<int32_t>(3272, -2048);
    EXPECT_EQ(r.status.loadDouble(rec::totalCpuSeconds), 12345.5);
    EXPECT_EQ(r.status.loadFloat(rec::raHours), 13.5f);
    EXPECT_EQ(r.status.loadU32(rec::sampleCount), 4000000000u);
    EXPECT_EQ(r.status.loadI32(rec::fftLength), -2048);

    // The saver's own words at the very end of the record: no byte beyond 127147.
    r.status.storeI32(rec::saverAttached, 1);
    r.status.storeI32(rec::saverPriorityClass, 0x20);
    EXPECT_EQ(r.at<int32_t>(127140), 1);
    EXPECT_EQ(r.at<int32_t>(127144), 0x20);

    r.status.storeDouble(rec::cpuSeconds, -7.25);
    r.status.storeFloat(rec::driftRate, 0.125f);
    EXPECT_EQ(r.at<double>(3256), -7.25);
    EXPECT_EQ(r.at<float>(3268), 0.125f);
    EXPECT_EQ(r.at<uint32_t>(3252), 0u);  // neighbours untouched
    EXPECT_EQ(r.at<int32_t>(3264), 0);
    EXPECT_EQ(r.at<int32_t>(3272), -2048);
}

TEST(SharedStatusFlags, SetTestClearOnAZeroRecord) {
    Record r;
    const size_t flags[] = {rec::userInfoDirty,   rec::dataInfoDirty,    rec::analysisTextDirty,
                            rec::progressDirty,   rec::barDirty,         rec::cpuDirty,
                            rec::driftDirty,      rec::auxDirtyA,        rec::auxDirtyB,
                            rec::gaussianDirty,   rec::messageDirty,     rec::plotAxesDirty,
                            rec::plotRowDirty(0), rec::plotRowDirty(202)};
    for (size_t f : flags) {
        SCOPED_TRACE(f);
        EXPECT_FALSE(r.status.isDirty(f));
        r.status.markDirty(f);
        EXPECT_TRUE(r.status.isDirty(f));
        EXPECT_EQ(r.at<int32_t>(f), 1);
        EXPECT_EQ(r.at<int32_t>(f - 4), 0);
        EXPECT_EQ(r.at<int32_t>(f + 4), 0);
        r.status.clearDirty(f);
        EXPECT_FALSE(r.status.isDirty(f));
    }
    // Any non-zero value counts as set, whatever the worker stored.
    for (int32_t v : {-1, 7, INT32_MIN, 0x100}) {
        r.put<int32_t>(rec::driftDirty, v);
        EXPECT_TRUE(r.status.isDirty(rec::driftDirty)) << v;
        r.status.clearDirty(rec::driftDirty);
        EXPECT_EQ(r.at<int32_t>(rec::driftDirty), 0);
    }
    // Nothing but the flags was ever written.
    size_t nonZero = 0;
    for (unsigned char b : r.bytes)
        nonZero += b != 0;
    EXPECT_EQ(nonZero, 0u);
}

TEST(SharedStatusCopies, SubBlocksCopyEveryByteIncludingUninterpretedOnes) {
    Record r;
    for (size_t i = 0; i < r.bytes.size(); ++i)
        r.bytes[i] = static_cast<unsigned char>(i * 7 + 3);

    UserInfo user;
    DataInfo data;
    GaussianInfo gauss;
    MessageInfo message;
    r.status.copy(user);
    r.status.copy(data);
    r.status.copy(gauss);
    r.status.copy(message);
    EXPECT_EQ(std::memcmp(user.bytes, r.bytes.data() + 24, 360), 0);
    EXPECT_EQ(std::memcmp(data.bytes, r.bytes.data() + 392, 2672), 0);
    EXPECT_EQ(std::memcmp(gauss.bytes, r.bytes.data() + 3336, 296), 0);
    EXPECT_EQ(std::memcmp(message.bytes, r.bytes.data() + 3636, 260), 0);

    // Typed fields read from the copy match the fields in place.
    r.put<double>(368, 98765.25);
    r.put<int32_t>(364, 4242);
    r.put<double>(424, 2461177.85);
    r.put<double>(448, 9765.625);
    r.put<int32_t>(468, 2);
    r.put<float>(3348, 21.5f);
    r.put<int32_t>(3364, 17);
    r.put<float>(3376 + 4 * 63, 3.75f);
    r.put<int32_t>(3636, 1);
    r.status.copy(user);
    r.status.copy(data);
    r.status.copy(gauss);
    r.status.copy(message);
    EXPECT_EQ(user.get<double>(UserInfo::totalCpuSeconds), 98765.25);
    EXPECT_EQ(user.get<int32_t>(UserInfo::unitsCompleted), 4242);
    EXPECT_EQ(data.get<double>(DataInfo::recordedJulianDate), 2461177.85);
    EXPECT_EQ(data.get<double>(DataInfo::sampleRateHz), 9765.625);
    EXPECT_EQ(data.get<int32_t>(DataInfo::sourceKind), 2);
    EXPECT_EQ(gauss.get<float>(GaussianInfo::gaussPeakPower), 21.5f);
    EXPECT_EQ(gauss.get<int32_t>(GaussianInfo::gaussCentre), 17);
    EXPECT_EQ(gauss.power(63), 3.75f);
    EXPECT_EQ(message.get<int32_t>(MessageInfo::messagePresent), 1);

    // copyBytes handles a length that is not a whole number of words.
    unsigned char odd[7] = {};
    r.status.copyBytes(rec::analysisText, odd, sizeof odd);
    EXPECT_EQ(std::memcmp(odd, r.bytes.data() + 3068, 7), 0);
}

TEST(SharedStatusText, ReadsStopAtTheFieldEndAndTheOutputBound) {
    Record r;
    char out[512];

    // A terminated text comes back unchanged.
    std::memcpy(r.bytes.data() + rec::analysisText, "Computing FFT", 14);
    r.status.text(rec::analysisText, rec::analysisTextLength, out, sizeof out);
    EXPECT_STREQ(out, "Computing FFT");

    // An unterminated name is cut where its field ends, not in unitsCompleted.
    std::memset(r.bytes.data() + 96, 'n', 268);
    r.put<int32_t>(364, 0x41414141);
    r.status.text(rec::userName, 268, out, sizeof out);
    EXPECT_EQ(std::strlen(out), 268u);
    UserInfo user;
    r.status.copy(user);
    user.text(UserInfo::userName, UserInfo::userNameLength, out, sizeof out);
    EXPECT_EQ(std::strlen(out), 268u);
    EXPECT_EQ(out[267], 'n');

    // Unterminated message lines stay inside their own 128 bytes.
    std::memset(r.bytes.data() + 3640, 'a', 128);
    std::memset(r.bytes.data() + 3768, 'b', 128);
    r.put<int32_t>(3896, 0x43434343);
    MessageInfo message;
    r.status.copy(message);
    message.text(MessageInfo::messageLine1, rec::messageLineLength, out, sizeof out);
    EXPECT_EQ(std::string(out), std::string(128, 'a'));
    message.text(MessageInfo::messageLine2, rec::messageLineLength, out, sizeof out);
    EXPECT_EQ(std::string(out), std::string(128, 'b'));
    // A field length running past the sub-block is cut at the sub-block's end.
    message.text(MessageInfo::messageLine2, 1000, out, sizeof out);
    EXPECT_EQ(std::strlen(out), 128u);
    message.text(400, 10, out, sizeof out);
    EXPECT_STREQ(out, "");

    // The output's size is respected: at most outSize - 1 characters and the NUL.
    char small[12];
    std::memset(small, '#', sizeof small);
    r.status.text(rec::userName, 268, small, 8);
    EXPECT_STREQ(small, "nnnnnnn");
    EXPECT_EQ(small[8], '#');
    message.text(MessageInfo::messageLine1, 128, small, 1);
    EXPECT_STREQ(small, "");
    small[0] = '#';
    r.status.text(rec::userName, 268, small, 0);
    message.text(MessageInfo::messageLine1, 128, small, 0);
    EXPECT_EQ(small[0], '#');
}

TEST(SharedStatusText, WorkerSideWritesFitTheirField) {
    Record r;
    std::memset(r.bytes.data() + 3148, 0x5A, 4);  // analysisTextDirty, right after the field
    std::string longText(200, 'x');
    r.status.setText(rec::analysisText, rec::analysisTextLength, longText.c_str());
    EXPECT_EQ(r.bytes[3068 + 78], 'x');
    EXPECT_EQ(r.bytes[3068 + 79], 0);
    EXPECT_EQ(r.at<uint32_t>(3148), 0x5A5A5A5Au);
    r.status.setText(rec::messageLine1, rec::messageLineLength, "Hi");
    EXPECT_STREQ(reinterpret_cast<const char*>(r.bytes.data() + 3640), "Hi");
    r.bytes[3767] = 0x77;
    r.status.setText(rec::messageLine1, rec::messageLineLength, "");
    EXPECT_EQ(r.bytes[3640], 0);
    EXPECT_EQ(r.bytes[3767], 0x77);  // only the NUL written, not the whole field
}

}  // namespace
}  // namespace vandrel
