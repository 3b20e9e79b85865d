// The saver tests open windows: without a desktop to open them on (Wine without an X
// display) the whole run is ctest's skip (77), before any test runs, not a failure.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

namespace {

class DesktopCheck : public testing::Environment {
  public:
    void SetUp() override {
        HWND probe = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 1, 1, nullptr, nullptr,
                                     GetModuleHandleA(nullptr), nullptr);
        if (probe == nullptr) {
            std::printf("skipped: no desktop to open windows on (no X display for Wine?)\n");
            std::fflush(stdout);
            std::exit(77);
        }
        DestroyWindow(probe);
    }
};

[[maybe_unused]] testing::Environment* const desktopCheck =
    testing::AddGlobalTestEnvironment(new DesktopCheck);

}  // namespace
