#include "controller/ini_text.h"

#include <cstring>

namespace vandrel {
namespace {

struct Span {
    const char* begin;
    const char* end;
};

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// The next line of [p, end): it ends at LF, CR LF or a lone CR, as files from the
// Windows editor and older Mac tools end them.
Span nextLine(const char*& p, const char* end) {
    const char* lineEnd = p;
    while (lineEnd < end && *lineEnd != '\n' && *lineEnd != '\r')
        ++lineEnd;
    const Span line{p, lineEnd};
    p = lineEnd;
    if (p < end && *p == '\r')
        ++p;
    if (p < end && *p == '\n')
        ++p;
    return line;
}

Span trim(Span s) {
    while (s.begin < s.end && isBlank(*s.begin))
        ++s.begin;
    while (s.end > s.begin && isBlank(s.end[-1]))
        --s.end;
    return s;
}

bool sameName(Span s, const char* name) {
    const size_t n = std::strlen(name);
    if (static_cast<size_t>(s.end - s.begin) != n)
        return false;
    for (size_t i = 0; i < n; ++i) {
        char a = s.begin[i], b = name[i];
        if (a >= 'A' && a <= 'Z')
            a = static_cast<char>(a - 'A' + 'a');
        if (b >= 'A' && b <= 'Z')
            b = static_cast<char>(b - 'A' + 'a');
        if (a != b)
            return false;
    }
    return true;
}

}  // namespace

bool iniLookup(const char* text, size_t length, const char* section, const char* key, char* out,
               size_t outSize, size_t* fullLength) {
    const char* p = text;
    const char* end = text + length;
    // The byte-order mark that Windows' editor puts before the first section.
    if (length >= 3 && std::memcmp(p, "\xEF\xBB\xBF", 3) == 0)
        p += 3;
    bool inSection = false;
    while (p < end) {
        Span line = trim(nextLine(p, end));
        if (line.begin == line.end || *line.begin == ';')
            continue;
        if (*line.begin == '[') {
            const char* close =
                static_cast<const char*>(std::memchr(line.begin, ']', line.end - line.begin));
            inSection = close != nullptr && sameName(trim({line.begin + 1, close}), section);
            continue;
        }
        if (!inSection)
            continue;
        const char* equals =
            static_cast<const char*>(std::memchr(line.begin, '=', line.end - line.begin));
        if (equals == nullptr || !sameName(trim({line.begin, equals}), key))
            continue;
        Span value = trim({equals + 1, line.end});
        const size_t n = static_cast<size_t>(value.end - value.begin);
        if (n >= 2 && (*value.begin == '"' || *value.begin == '\'') &&
            value.end[-1] == *value.begin) {
            ++value.begin;
            --value.end;
        }
        const size_t whole = static_cast<size_t>(value.end - value.begin);
        if (fullLength != nullptr)
            *fullLength = whole;
        if (outSize > 0) {
            const size_t kept = whole < outSize - 1 ? whole : outSize - 1;
            std::memcpy(out, value.begin, kept);
            out[kept] = '\0';
        }
        return true;
    }
    if (fullLength != nullptr)
        *fullLength = 0;
    if (outSize > 0)
        out[0] = '\0';
    return false;
}

}  // namespace vandrel
