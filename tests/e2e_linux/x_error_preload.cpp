// Preloaded into vandrel (whose Xlib it uses) by the window test: each XQueryPointer, at
// every show's start, first maps window VANDREL_X_ERROR, answered with BadWindow; with
// "own", the first show's own window, destroyed first.
#include <X11/Xlib.h>
#include <dlfcn.h>

#include <cstdlib>

extern "C" Bool XQueryPointer(Display* d, Window w, Window* root, Window* child, int* rootX,
                              int* rootY, int* x, int* y, unsigned* mask) {
    static const auto real =
        reinterpret_cast<decltype(&XQueryPointer)>(dlsym(RTLD_NEXT, "XQueryPointer"));
    static bool first = true;
    const char* window = std::getenv("VANDREL_X_ERROR");
    const bool own = window != nullptr && window[0] == 'o';
    if (own && first) {
        XDestroyWindow(d, w);
    }
    if (window != nullptr && (first || !own)) {
        XMapWindow(d, own ? w : std::strtoul(window, nullptr, 16));
    }
    first = false;
    return real(d, w, root, child, rootX, rootY, x, y, mask);
}
