// The desktop window system over user32: regions reach the window as GDI holds
// them, and the caption-drag message only goes out while the left button is down.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "platform/region.h"
#include "platform/window_system.h"
#include "win32_test_support.h"

namespace tw {
namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr UINT kSumMessage = WM_APP + 1;

// A plain top-level window that records caption drags instead of starting one.
class TestWindow {
public:
    TestWindow() {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = &Proc;
        windowClass.hInstance = ::GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"TallowindTestWindow";
        ::RegisterClassW(&windowClass);
        hwnd_ = ::CreateWindowExW(WS_EX_TOOLWINDOW, windowClass.lpszClassName, L"test", WS_POPUP, 0, 0,
                                  100, 80, nullptr, nullptr, windowClass.hInstance, nullptr);
        captionDrags_ = 0;
    }
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;
    ~TestWindow() {
        if (hwnd_) ::DestroyWindow(hwnd_);
    }
    HWND Hwnd() const { return hwnd_; }
    WindowHandle Handle() const { return reinterpret_cast<WindowHandle>(hwnd_); }
    static int CaptionDrags() { return captionDrags_; }

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_NCLBUTTONDOWN && wParam == HTCAPTION) {
            ++captionDrags_;
            return 0;
        }
        if (message == kSumMessage) return static_cast<LRESULT>(wParam) + lParam;
        return ::DefWindowProcW(window, message, wParam, lParam);
    }

    HWND hwnd_ = nullptr;
    static inline int captionDrags_ = 0;
};

// Wine makes real X11 windows: with no display there are none to test.
#define REQUIRE_WINDOW(window)                                                   \
    if (!(window).Hwnd()) {                                                      \
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display for Wine's windows"; \
        FAIL() << "CreateWindowExW failed";                                      \
    }

Bytes WindowRegionData(HWND window, int* kind) {
    const win32::UniqueRegion region(::CreateRectRgn(0, 0, 0, 0));
    *kind = ::GetWindowRgn(window, region.Get());
    const DWORD size = ::GetRegionData(region.Get(), 0, nullptr);
    Bytes bytes(size);
    if (size != 0) ::GetRegionData(region.Get(), size, reinterpret_cast<RGNDATA*>(bytes.data()));
    return bytes;
}

TEST(WindowSystem, SetWindowRgnGivesTheWindowExactlyOurRegion) {
    TestWindow window;
    REQUIRE_WINDOW(window);
    WindowSystem& system = DesktopWindowSystem();
    int kind = 0;

    Region ours = Region::FromRect(0, 0, 100, 80);
    ours.Subtract(Rect{10, 10, 30, 20});
    ours.Subtract(Rect{0, 79, 100, 80});
    system.SetWindowRgn(window.Handle(), std::make_unique<Region>(ours), false);
    EXPECT_EQ(WindowRegionData(window.Hwnd(), &kind), EncodeRegionData(ours));
    EXPECT_EQ(kind, COMPLEXREGION);

    // An empty region hides the whole window, which is not the same as none.
    system.SetWindowRgn(window.Handle(), std::make_unique<Region>(), false);
    WindowRegionData(window.Hwnd(), &kind);
    EXPECT_EQ(kind, NULLREGION);

    system.SetWindowRgn(window.Handle(), nullptr, false);
    WindowRegionData(window.Hwnd(), &kind);
    EXPECT_EQ(kind, ERROR) << "no region: the full rectangle again";
}

// Regression: a caption drag sent after a right click (left button up) used to
// start the system's move loop, which then followed the pointer until the next
// click anywhere.
TEST(WindowSystem, CaptionDragGoesOutOnlyWhileTheLeftButtonIsDown) {
    TestWindow window;
    REQUIRE_WINDOW(window);
    WindowSystem& system = DesktopWindowSystem();
    BYTE keys[256] = {};

    ::SetKeyboardState(keys);
    system.SendMessageA(window.Handle(), WM_NCLBUTTONDOWN, HTCAPTION, 0);
    EXPECT_EQ(TestWindow::CaptionDrags(), 0);

    keys[VK_LBUTTON] = 0x80;
    ::SetKeyboardState(keys);
    system.SendMessageA(window.Handle(), WM_NCLBUTTONDOWN, HTCAPTION, 0);
    keys[VK_LBUTTON] = 0;
    ::SetKeyboardState(keys);
    EXPECT_EQ(TestWindow::CaptionDrags(), 1);

    EXPECT_EQ(system.SendMessageA(window.Handle(), kSumMessage, 5, 7), 12) << "others pass as they are";
}

TEST(WindowSystem, ReleaseCaptureEndsOurCapture) {
    TestWindow window;
    REQUIRE_WINDOW(window);
    ::SetCapture(window.Hwnd());
    ASSERT_EQ(::GetCapture(), window.Hwnd());
    DesktopWindowSystem().ReleaseCapture();
    EXPECT_EQ(::GetCapture(), nullptr);
}

}  // namespace
}  // namespace tw
