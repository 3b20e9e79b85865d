// Settings texts as a hostile vandrel.ini may hold them, and the command lines built
// from the paths it names.
#include <cstdint>
#include <cstring>
#include <string>

#include "controller/saver_logic.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vandrel;
    const std::string all(reinterpret_cast<const char*>(data), size);
    const size_t cut = all.find('\n');
    const std::string first = all.substr(0, cut);
    const std::string second = cut == std::string::npos ? std::string() : all.substr(cut + 1);
    (void)parseSettingInt(first.c_str());
    char out[kMaxPathChars * 2 + 32];
    for (size_t room : {sizeof out, size_t{16}, size_t{1}}) {
        if (buildWorkerCommandLine(first.c_str(), out, room) && !std::memchr(out, '\0', room))
            __builtin_trap();
        buildHelpPath(first.c_str(), second.c_str(), out, room);
        if (!std::memchr(out, '\0', room))
            __builtin_trap();
        buildHelpCommandLine(first.c_str(), second.c_str(), out, room);
        if (!std::memchr(out, '\0', room))
            __builtin_trap();
    }
    return 0;
}
