// vandrel_kwin_shot: a screenshot of one KWin output, in its own pixels, through KWin's
// ScreenShot2 interface on the session bus (allowed by KWIN_SCREENSHOT_NO_PERMISSION_CHECKS),
// written as a binary PPM for the Wayland end-to-end tests. KWin answers with the picture's
// size and format and writes the raw pixels into the pipe it is handed.
//   vandrel_kwin_shot OUTPUT FILE.ppm
// Exit codes: 0 written, 1 no answer from KWin or a picture of another format.
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <vector>

int main(int argc, char** argv) {
    int pipeFds[2];
    sd_bus* bus = nullptr;
    if (argc != 3 || pipe(pipeFds) != 0 || sd_bus_open_user(&bus) < 0) {
        std::fprintf(stderr, "usage: vandrel_kwin_shot OUTPUT FILE.ppm (with a session bus)\n");
        return 1;
    }
    sd_bus_error error = SD_BUS_ERROR_NULL;
    sd_bus_message* reply = nullptr;
    if (sd_bus_call_method(bus, "org.kde.KWin", "/org/kde/KWin/ScreenShot2",
                           "org.kde.KWin.ScreenShot2", "CaptureScreen", &error, &reply, "sa{sv}h",
                           argv[1], 1, "native-resolution", "b", 1, pipeFds[1]) < 0) {
        std::fprintf(stderr, "vandrel_kwin_shot: %s\n", error.message);
        return 1;
    }
    close(pipeFds[1]);
    uint32_t width = 0, height = 0, stride = 0, format = 0;
    sd_bus_message_enter_container(reply, 'a', "{sv}");
    while (sd_bus_message_enter_container(reply, 'e', "sv") > 0) {
        const char* key = nullptr;
        sd_bus_message_read(reply, "s", &key);
        uint32_t* into = std::strcmp(key, "width") == 0    ? &width
                         : std::strcmp(key, "height") == 0 ? &height
                         : std::strcmp(key, "stride") == 0 ? &stride
                         : std::strcmp(key, "format") == 0 ? &format
                                                           : nullptr;
        if (into != nullptr) {
            sd_bus_message_read(reply, "v", "u", into);
        } else {
            sd_bus_message_skip(reply, "v");
        }
        sd_bus_message_exit_container(reply);
    }
    std::vector<unsigned char> raw;
    unsigned char chunk[65536];
    for (ssize_t n; (n = read(pipeFds[0], chunk, sizeof chunk)) > 0;) {
        raw.insert(raw.end(), chunk, chunk + n);
    }
    // QImage's 32-bit formats (RGB32 4, ARGB32 5, its premultiplied form 6): B, G, R, A.
    if (format < 4 || format > 6 || stride < width * 4 || raw.size() < size_t(stride) * height) {
        std::fprintf(stderr, "vandrel_kwin_shot: a %ux%u picture of format %u, %zu bytes\n", width,
                     height, format, raw.size());
        return 1;
    }
    std::FILE* out = std::fopen(argv[2], "wb");
    std::fprintf(out, "P6\n%u %u\n255\n", width, height);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            const unsigned char* p = &raw[size_t(y) * stride + x * 4];
            const unsigned char rgb[3] = {p[2], p[1], p[0]};
            std::fwrite(rgb, 1, 3, out);
        }
    }
    return std::fclose(out) == 0 ? 0 : 1;
}
