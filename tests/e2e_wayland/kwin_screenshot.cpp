// vandrel_kwin_shot: a screenshot of one KWin output, in its own pixels, through KWin's
// ScreenShot2 interface on the session bus (allowed by KWIN_SCREENSHOT_NO_PERMISSION_CHECKS),
// for the Wayland end-to-end tests. KWin answers with the picture's size and format and
// writes the raw pixels into the pipe it is handed; they go to FILE, the size to stdout.
//   vandrel_kwin_shot OUTPUT FILE
// Exit codes: 0 written, 1 no answer from KWin or a picture of another format.
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    int pipeFds[2];
    __attribute__((cleanup(sd_bus_flush_close_unrefp))) sd_bus* bus = nullptr;
    if (argc != 3 || pipe(pipeFds) != 0 || sd_bus_open_user(&bus) < 0) {
        std::fprintf(stderr, "usage: vandrel_kwin_shot OUTPUT FILE (with a session bus)\n");
        return 1;
    }
    __attribute__((cleanup(sd_bus_error_free))) sd_bus_error error = SD_BUS_ERROR_NULL;
    __attribute__((cleanup(sd_bus_message_unrefp))) sd_bus_message* reply = nullptr;
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
    // QImage's 32-bit formats (RGB32 4, ARGB32 5, its premultiplied form 6): B, G, R, A,
    // rows without padding; printed as the size ImageMagick reads them in.
    std::FILE* out = std::fopen(argv[2], "wb");
    if (format < 4 || format > 6 || stride != width * 4 || out == nullptr) {
        std::fprintf(stderr, "vandrel_kwin_shot: a %ux%u picture of format %u\n", width, height,
                     format);
        return 1;
    }
    unsigned char chunk[65536];
    size_t total = 0;
    for (ssize_t n; (n = read(pipeFds[0], chunk, sizeof chunk)) > 0; total += size_t(n)) {
        std::fwrite(chunk, 1, size_t(n), out);
    }
    std::printf("%ux%u\n", width, height);
    return std::fclose(out) == 0 && total == size_t(stride) * height ? 0 : 1;
}
