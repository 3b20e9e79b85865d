// The command lines: program-name skipping, switch reading and the handle parse of the
// Windows saver; the Linux saver's options, split at spaces, and its window ids.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "host/posix/linux_options.h"
#include "host/win32/saver_switches.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vandrel;
    const std::string line(reinterpret_cast<const char*>(data), size);
    const char* text = line.c_str();
    const char* switchText = skipProgramName(text);
    if (switchText < text || switchText > text + line.size())
        __builtin_trap();
    SwitchRequest request = parseSwitch(switchText);
    (void)request;
    (void)parseWindowHandle(switchText);

    std::vector<std::string> words(1);
    for (char c : line) {
        if (c == ' ')
            words.emplace_back();
        else
            words.back() += c;
    }
    std::vector<const char*> argv;
    for (const std::string& w : words)
        argv.push_back(w.c_str());
    LinuxOptions options;
    char error[96];
    if (parseLinuxOptions(static_cast<int>(argv.size()), argv.data(), options, error,
                          sizeof error)) {
        if (options.windowId > 0xFFFFFFFFul || options.scale < -1 || options.scale > 8 ||
            std::strlen(options.outputName) > static_cast<size_t>(kMaxOutputName) ||
            options.idleMs > 24u * 60 * 60 * 1000 || (options.idleMs != 0 && !options.idle))
            __builtin_trap();
    } else if (std::strlen(error) >= sizeof error) {
        __builtin_trap();
    }
    // An accepted id reads back as the same number, in decimal.
    unsigned long id = 0;
    if (parseWindowId(text, id)) {
        char again[32];
        std::snprintf(again, sizeof again, "%lu", id);
        unsigned long back = 0;
        if (id > 0xFFFFFFFFul || !parseWindowId(again, back) || back != id)
            __builtin_trap();
    }
    // An accepted wait is above 0 and at most a day.
    uint32_t ms = 0;
    if (parseIdleMinutes(text, ms) && (ms == 0 || ms > 24u * 60 * 60 * 1000))
        __builtin_trap();
    return 0;
}
