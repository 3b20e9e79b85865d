// Every value text over arbitrary doubles, floats and integers.
#include <cstdint>
#include <cstring>

#include "render/format.h"

namespace {
void checkTerminated(const char* text, size_t size) {
    if (std::memchr(text, '\0', size) == nullptr)
        __builtin_trap();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vandrel;
    if (size < 16)
        return 0;
    double d;
    float f;
    int32_t n;
    std::memcpy(&d, data, 8);
    std::memcpy(&f, data + 8, 4);
    std::memcpy(&n, data + 12, 4);
    char text[kValueTextSize];
    rightAscensionText(f, text, sizeof text);
    checkTerminated(text, sizeof text);
    declinationText(f, text, sizeof text);
    checkTerminated(text, sizeof text);
    checkTerminated(durationText(d), kValueTextSize);
    checkTerminated(recordingDateText(d), kValueTextSize);
    checkTerminated(recordingDateText(unixSecondsToJulian(julianToUnixSeconds(d))), kValueTextSize);
    (void)frequencyResolution(n, d);
    int32_t out;
    (void)truncateToInt(d, out);
    // Small output buffers must cut, never overrun.
    char small[5];
    rightAscensionText(f, small, sizeof small);
    declinationText(f, small, sizeof small);
    checkTerminated(small, sizeof small);
    return 0;
}
