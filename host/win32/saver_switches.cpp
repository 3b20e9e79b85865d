#include "host/win32/saver_switches.h"

namespace vandrel {

const char* nextByte(const char* p) {
    return *p != '\0' ? p + 1 : p;
}

const char* skipProgramName(const char* commandLine, NextChar next) {
    const char* p = commandLine;
    if (*p == '"') {
        do {
            p = next(p);
        } while (*p != '\0' && *p != '"');
        if (*p == '"') {
            ++p;
        }
    } else {
        // Bytes 128..255 belong to the name: only controls and space end it.
        while (static_cast<unsigned char>(*p) > ' ') {
            p = next(p);
        }
    }
    while (*p != '\0' && static_cast<unsigned char>(*p) <= ' ') {
        p = next(p);
    }
    return p;
}

uint32_t parseWindowHandle(const char* text) {
    uint32_t value = 0;
    for (const char* p = text; *p >= '0' && *p <= '9'; ++p) {
        value = value * 10u + static_cast<uint32_t>(*p - '0');
    }
    return value;
}

static const char* skipSpaces(const char* p) {
    while (*p == ' ') {
        ++p;
    }
    return p;
}

SwitchRequest parseSwitch(const char* switchText) {
    SwitchRequest request;
    for (const char* p = switchText;; ++p) {
        switch (*p) {
            case '\0':
                request.mode = RunMode::Settings;
                return request;
            case ' ':
            case '-':
            case '/':
                continue;
            case 'S':
            case 's':
                request.mode = RunMode::Saver;
                return request;
            case 'P':
            case 'p':
            case 'L':
            case 'l':
                request.mode = RunMode::Preview;
                request.handle = parseWindowHandle(skipSpaces(p + 1));
                return request;
            case 'C':
            case 'c':
                request.mode = RunMode::Settings;
                request.ownerIsForeground = true;
                return request;
            case 'A':
            case 'a':
                request.mode = RunMode::ChangePassword;
                request.handle = parseWindowHandle(skipSpaces(p + 1));
                return request;
            default:
                return request;
        }
    }
}

bool withinReverifyPause(uint32_t now, uint32_t lastVerifyTick) {
    return lastVerifyTick != kNoVerifyYet && now - lastVerifyTick < kReverifyPauseMs;
}

}  // namespace vandrel
