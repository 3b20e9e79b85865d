// The command line: program-name skipping, switch reading and the handle parse.
#include <cstdint>
#include <string>

#include "host/logic/saver_input.h"

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
    return 0;
}
