// The saver tests open windows: without a desktop to open them on (Wine without an X
// display) every one of them is skipped, not failed.
#include <windows.h>

#include <gtest/gtest.h>

namespace {

class DesktopCheck : public testing::Environment {
  public:
    void SetUp() override {
        HWND probe = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 1, 1, nullptr, nullptr,
                                     GetModuleHandleA(nullptr), nullptr);
        if (probe == nullptr) {
            GTEST_SKIP() << "no desktop to open windows on (no X display for Wine?)";
        }
        DestroyWindow(probe);
    }
};

[[maybe_unused]] testing::Environment* const desktopCheck =
    testing::AddGlobalTestEnvironment(new DesktopCheck);

}  // namespace
