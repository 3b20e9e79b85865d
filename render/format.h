#pragma once
#include <cstddef>
#include <cstdint>

// Texts of the values the dashboard shows. Each writes through snprintf into a bounded
// buffer; values a broken worker may write (NaN, infinities, 1e300) get readable texts
// instead of undefined integer conversions.
namespace vandrel {

inline constexpr size_t kValueTextSize = 64;

// "13 hr 30'  0\" RA" from hours.
void rightAscensionText(float hours, char* out, size_t outSize);
// "+ 18 deg 15'  0\" Dec" from degrees; the plus sign is part of the format.
void declinationText(float degrees, char* out, size_t outSize);
// "1 hr 02 min 05.5 sec"; the returned text lives until the next call.
const char* durationText(double seconds);
// Whole Unix seconds of a Julian date, truncated; NaN gives INT64_MIN and values
// beyond the 64-bit range are pinned to its ends.
int64_t julianToUnixSeconds(double julianDate);
double unixSecondsToJulian(int64_t seconds);
// "Thu Jan 01 00:00:00 1970", or "0.0" for a date at or below 0.00001; the returned
// text lives until the next call.
const char* recordingDateText(double julianDate);
void stripTrailingNewline(char* text);
double frequencyResolution(int32_t fftLength, double sampleRateHz);

// Truncates toward zero into int32 when the value fits; false for NaN or out of range.
bool truncateToInt(double value, int32_t& out);

}  // namespace vandrel
