#include "render/format.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace vandrel {

bool truncateToInt(double value, int32_t& out) {
    // The open interval (-2^31 - 1, 2^31) is exactly what truncates into int32.
    if (!(value > -2147483649.0 && value < 2147483648.0))
        return false;
    out = static_cast<int32_t>(value);
    return true;
}

namespace {
// Splits a real into whole units, minutes and seconds, each truncated toward zero.
bool sexagesimal(double x, int32_t& whole, int32_t& minutes, int32_t& seconds) {
    if (!truncateToInt(x, whole))
        return false;
    double f = (x - whole) * 60;
    minutes = static_cast<int32_t>(f);  // |f| < 60
    seconds = static_cast<int32_t>((f - minutes) * 60);
    return true;
}
}  // namespace

void rightAscensionText(float hours, char* out, size_t outSize) {
    int32_t h, m, s;
    if (sexagesimal(hours, h, m, s)) {
        std::snprintf(out, outSize, "%2d hr %2d' %2d\" RA", h, m, s);
    } else {
        std::snprintf(out, outSize, "%g hr RA", static_cast<double>(hours));
    }
}

void declinationText(float degrees, char* out, size_t outSize) {
    int32_t d, m, s;
    if (sexagesimal(degrees, d, m, s)) {
        std::snprintf(out, outSize, "+%3d deg %2d' %2d\" Dec", d, m, s);
    } else {
        std::snprintf(out, outSize, "%g deg Dec", static_cast<double>(degrees));
    }
}

const char* durationText(double x) {
    static char text[kValueTextSize];
    const double c = 1.0 / 3600;
    double a = x * c;
    int32_t h;
    if (!truncateToInt(a, h)) {
        // Beyond 245000 years of CPU time nothing finer than the hours means anything.
        std::snprintf(text, sizeof text, "%.4g hr", a);
        return text;
    }
    int32_t m = static_cast<int32_t>((a - h) * 60);
    double r = x - h * 3600.0 - m * 60.0;
    std::snprintf(text, sizeof text, "%d hr %02d min %04.1f sec", h, m, r);
    return text;
}

int64_t julianToUnixSeconds(double j) {
    double s = (j - 2440587.5) * 86400;
    if (std::isnan(s))
        return INT64_MIN;
    if (s >= 9223372036854775807.0)
        return INT64_MAX;
    if (s <= -9223372036854775808.0)
        return INT64_MIN;
    return static_cast<int64_t>(s);
}

double unixSecondsToJulian(int64_t s) {
    const double d = 1.0 / 86400;
    return 2440587.5 + static_cast<double>(s) * d;
}

void stripTrailingNewline(char* text) {
    size_t n = std::strlen(text);
    if (n > 0 && text[n - 1] == '\n')
        text[n - 1] = '\0';
}

namespace {
// Days since 1970-01-01 to a proleptic Gregorian date (Howard Hinnant's civil_from_days).
void civilFromDays(int64_t z, int64_t& year, int32_t& month, int32_t& day) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    day = static_cast<int32_t>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int32_t>(mp < 10 ? mp + 3 : mp - 9);
    year = yoe + era * 400 + (month <= 2);
}
}  // namespace

const char* recordingDateText(double j) {
    static char text[kValueTextSize];
    if (!(j > 0.00001)) {
        std::snprintf(text, sizeof text, "0.0");
        return text;
    }
    int64_t t = julianToUnixSeconds(j);
    // Years 1 to 9999 keep the four-digit form; that is far beyond any real recording.
    const int64_t minT = -62135596800LL, maxT = 253402300799LL;
    if (t < minT || t > maxT) {
        std::snprintf(text, sizeof text, "out of range");
        return text;
    }
    int64_t days = t >= 0 ? t / 86400 : -((-t + 86399) / 86400);
    int64_t secs = t - days * 86400;
    int64_t year;
    int32_t month, day;
    civilFromDays(days, year, month, day);
    static const char* const dayNames[] = {"Thu", "Fri", "Sat", "Sun", "Mon", "Tue", "Wed"};
    static const char* const monthNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                             "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    int64_t weekday = days % 7;
    if (weekday < 0)
        weekday += 7;
    std::snprintf(text, sizeof text, "%s %s %02d %02d:%02d:%02d %04d\n", dayNames[weekday],
                  monthNames[month - 1], day, static_cast<int>(secs / 3600),
                  static_cast<int>(secs / 60 % 60), static_cast<int>(secs % 60),
                  static_cast<int>(year));
    stripTrailingNewline(text);
    return text;
}

double frequencyResolution(int32_t fftLength, double sampleRateHz) {
    // A zero length is a broken record; show no resolution rather than infinity.
    if (fftLength == 0)
        return 0.0;
    return sampleRateHz / fftLength;
}

}  // namespace vandrel
