#include "render/format.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

namespace vandrel {
namespace {

std::string ra(float hours) {
    char out[kValueTextSize];
    rightAscensionText(hours, out, sizeof out);
    return out;
}
std::string dec(float degrees) {
    char out[kValueTextSize];
    declinationText(degrees, out, sizeof out);
    return out;
}
// The Julian date in the middle of Unix second t, so that truncation lands on t.
double julianOf(int64_t t) {
    return 2440587.5 + (static_cast<double>(t) + 0.5) / 86400;
}

TEST(FormatSky, RightAscensionAndDeclination) {
    EXPECT_EQ(ra(13.5f), "13 hr 30'  0\" RA");
    EXPECT_EQ(ra(0.0f), " 0 hr  0'  0\" RA");
    EXPECT_EQ(ra(6.2575f), " 6 hr 15' 27\" RA");
    EXPECT_EQ(dec(18.25f), "+ 18 deg 15'  0\" Dec");
    EXPECT_EQ(dec(-5.25f), "+ -5 deg -15'  0\" Dec");
    EXPECT_EQ(dec(-89.5f), "+-89 deg -30'  0\" Dec");
    // A small buffer gets a cut, terminated text.
    char out[8];
    rightAscensionText(13.5f, out, sizeof out);
    EXPECT_STREQ(out, "13 hr 3");
}

TEST(FormatDuration, HoursMinutesAndSecondsWithoutCarry) {
    EXPECT_STREQ(durationText(0), "0 hr 00 min 00.0 sec");
    EXPECT_STREQ(durationText(3725.5), "1 hr 02 min 05.5 sec");
    EXPECT_STREQ(durationText(59.96), "0 hr 00 min 60.0 sec");
    EXPECT_STREQ(durationText(3600 + 120 + 59.96), "1 hr 02 min 60.0 sec");
    EXPECT_STREQ(durationText(400000), "111 hr 06 min 40.0 sec");
    // The text lives in the operation's own storage, overwritten by the next call.
    const char* first = durationText(1);
    const char* second = durationText(2);
    EXPECT_EQ(first, second);
    EXPECT_STREQ(first, "0 hr 00 min 02.0 sec");
}

TEST(FormatDates, JulianAndUnixSeconds) {
    EXPECT_EQ(julianToUnixSeconds(2440587.5), 0);
    EXPECT_EQ(julianToUnixSeconds(2440588.5), 86400);
    // Truncation toward zero on both sides of the epoch.
    EXPECT_EQ(julianToUnixSeconds(2440587.5 + 1.5 / 86400), 1);
    EXPECT_EQ(julianToUnixSeconds(2440587.5 - 1.5 / 86400), -1);
    EXPECT_EQ(julianToUnixSeconds(0), -210866760000LL);
    EXPECT_EQ(unixSecondsToJulian(julianToUnixSeconds(0)), 0.0);
    EXPECT_EQ(unixSecondsToJulian(0), 2440587.5);
    EXPECT_EQ(unixSecondsToJulian(86400), 2440588.5);
}

TEST(FormatDates, RecordingDateText) {
    EXPECT_STREQ(recordingDateText(0.00001), "0.0");
    EXPECT_STREQ(recordingDateText(0), "0.0");
    EXPECT_STREQ(recordingDateText(-1), "0.0");
    EXPECT_STREQ(recordingDateText(2440587.5), "Thu Jan 01 00:00:00 1970");
    EXPECT_STREQ(recordingDateText(julianOf(1771072496)), "Sat Feb 14 12:34:56 2026");
    EXPECT_STREQ(recordingDateText(julianOf(1709251199)), "Thu Feb 29 23:59:59 2024");
    // The last second a 32-bit count holds, and one well after it.
    EXPECT_STREQ(recordingDateText(julianOf(2147483647)), "Tue Jan 19 03:14:07 2038");
    EXPECT_STREQ(recordingDateText(julianOf(4107585600)), "Mon Mar 01 12:00:00 2100");
    // The dashboard's round trip through whole seconds lands on the second or the one before.
    std::string shown = recordingDateText(unixSecondsToJulian(julianToUnixSeconds(julianOf(0))));
    EXPECT_TRUE(shown == "Thu Jan 01 00:00:00 1970" || shown == "Wed Dec 31 23:59:59 1969")
        << shown;
    // The text's storage is the operation's own.
    EXPECT_EQ(recordingDateText(0), recordingDateText(2440587.5));
}

TEST(FormatText, StripTrailingNewline) {
    char empty[] = "";
    stripTrailingNewline(empty);
    EXPECT_STREQ(empty, "");
    char plain[] = "abc";
    stripTrailingNewline(plain);
    EXPECT_STREQ(plain, "abc");
    char two[] = "abc\n\n";
    stripTrailingNewline(two);
    EXPECT_STREQ(two, "abc\n");
    char only[] = "\n";
    stripTrailingNewline(only);
    EXPECT_STREQ(only, "");
    char inner[] = "a\nb";
    stripTrailingNewline(inner);
    EXPECT_STREQ(inner, "a\nb");
}

TEST(FormatNumbers, FrequencyResolutionAndTruncation) {
    EXPECT_EQ(frequencyResolution(2048, 9765.625), 9765.625 / 2048);
    EXPECT_EQ(frequencyResolution(8, 8.0), 1.0);
    EXPECT_EQ(frequencyResolution(-4, 8.0), -2.0);
    EXPECT_EQ(frequencyResolution(0, 9765.625), 0.0);  // a broken record, no division

    int32_t v = 99;
    EXPECT_TRUE(truncateToInt(3.7, v));
    EXPECT_EQ(v, 3);
    EXPECT_TRUE(truncateToInt(-3.7, v));
    EXPECT_EQ(v, -3);
    EXPECT_TRUE(truncateToInt(2147483647.9, v));
    EXPECT_EQ(v, INT32_MAX);
    EXPECT_TRUE(truncateToInt(-2147483648.9, v));
    EXPECT_EQ(v, INT32_MIN);
    v = 99;
    EXPECT_FALSE(truncateToInt(2147483648.0, v));
    EXPECT_FALSE(truncateToInt(-2147483649.0, v));
    EXPECT_FALSE(truncateToInt(std::nan(""), v));
    EXPECT_FALSE(truncateToInt(INFINITY, v));
    EXPECT_EQ(v, 99);
}

// Values a broken worker may write. Under UBSan any real-to-integer conversion out of
// range aborts, so running every operation on them is the test; the texts must stay
// bounded and readable.
TEST(FormatHostile, NonFiniteAndHugeValuesGiveBoundedTexts) {
    const double inf = std::numeric_limits<double>::infinity();
    const double values[] = {std::nan(""), -std::nan(""), inf,  -inf,   1e300,   -1e300,  FLT_MAX,
                             -FLT_MAX,     3e9,           -3e9, 7.8e12, -7.8e12, DBL_MAX, 1e-300};
    for (double x : values) {
        SCOPED_TRACE(x);
        char out[kValueTextSize];
        std::memset(out, '#', sizeof out);
        rightAscensionText(static_cast<float>(x), out, sizeof out);
        EXPECT_LT(std::strlen(out), sizeof out);
        EXPECT_NE(std::strstr(out, "RA"), nullptr) << out;
        declinationText(static_cast<float>(x), out, sizeof out);
        EXPECT_LT(std::strlen(out), sizeof out);
        EXPECT_NE(std::strstr(out, "Dec"), nullptr) << out;

        const char* d = durationText(x);
        EXPECT_GT(std::strlen(d), 0u);
        EXPECT_LT(std::strlen(d), kValueTextSize);
        EXPECT_NE(std::strstr(d, "hr"), nullptr) << d;

        const char* r = recordingDateText(x);
        EXPECT_GT(std::strlen(r), 0u);
        EXPECT_LT(std::strlen(r), kValueTextSize);
        (void)unixSecondsToJulian(julianToUnixSeconds(x));
        (void)frequencyResolution(INT32_MIN, x);
        (void)frequencyResolution(0, x);
    }

    EXPECT_EQ(julianToUnixSeconds(std::nan("")), INT64_MIN);
    EXPECT_EQ(julianToUnixSeconds(inf), INT64_MAX);
    EXPECT_EQ(julianToUnixSeconds(-inf), INT64_MIN);
    EXPECT_EQ(julianToUnixSeconds(1e300), INT64_MAX);
    EXPECT_EQ(julianToUnixSeconds(-1e300), INT64_MIN);
    EXPECT_TRUE(std::isfinite(unixSecondsToJulian(INT64_MAX)));
    EXPECT_TRUE(std::isfinite(unixSecondsToJulian(INT64_MIN)));

    // Not a number, like any value at or below the threshold, means no recording date.
    EXPECT_STREQ(recordingDateText(std::nan("")), "0.0");
    EXPECT_STREQ(recordingDateText(-inf), "0.0");
    // Dates with no four-digit year get a fixed text rather than a bogus calendar.
    EXPECT_STREQ(recordingDateText(inf), "out of range");
    EXPECT_STREQ(recordingDateText(1e300), "out of range");
    EXPECT_STREQ(recordingDateText(1.0), "out of range");

    // The chosen texts for values that have no sexagesimal form.
    EXPECT_EQ(ra(INFINITY), "inf hr RA");
    EXPECT_EQ(dec(-INFINITY), "-inf deg Dec");
    EXPECT_EQ(ra(3e9f), "3e+09 hr RA");
    EXPECT_STREQ(durationText(1e300), "2.778e+296 hr");
    EXPECT_STREQ(durationText(inf), "inf hr");
    // The largest durations with a whole-hour count still split into minutes and seconds.
    EXPECT_STREQ(durationText(2147483647.0 * 3600 + 61), "2147483647 hr 01 min 01.0 sec");
}

}  // namespace
}  // namespace vandrel
