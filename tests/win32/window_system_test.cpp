// The desktop window system over user32 with a window that is not the
// program's own, and what the Win32 window does beyond the conformance table
// (tests/conformance/): its labels and fonts at each display scale.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "app/frmMain_layout.h"
#include "platform/portable/pixel_scale.h"
#include "platform/portable/region.h"
#include "platform/ports/adapter_hooks.h"
#include "platform/win32/win32_form.h"
#include "platform/win32/window_region.h"
#include "tests/support/fakes.h"
#include "shaping/colour_key_scan.h"
#include "tests/win32/win32_test_support.h"

namespace tw {
namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr UINT kSumMessage = WM_APP + 1;

// A plain top-level window, not the program's own, that answers kSumMessage.
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
    }
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;
    ~TestWindow() {
        if (hwnd_) ::DestroyWindow(hwnd_);
    }
    HWND Hwnd() const { return hwnd_; }
    WindowHandle Handle() const { return reinterpret_cast<WindowHandle>(hwnd_); }

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == kSumMessage) return static_cast<LRESULT>(wParam) + lParam;
        return ::DefWindowProcW(window, message, wParam, lParam);
    }

    HWND hwnd_ = nullptr;
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

TEST(WindowSystem, MessagesOtherThanTheCaptionDragPassAsTheyAre) {
    TestWindow window;
    REQUIRE_WINDOW(window);
    EXPECT_EQ(DesktopWindowSystem().SendMessageA(window.Handle(), kSumMessage, 5, 7), 12);
}

BOOL CALLBACK AddChild(HWND child, LPARAM list) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
    return TRUE;
}

// The labels' controls, top one first.
std::vector<HWND> LabelsOf(HWND window) {
    std::vector<HWND> children;
    ::EnumChildWindows(window, AddChild, reinterpret_cast<LPARAM>(&children));
    std::sort(children.begin(), children.end(), [](HWND a, HWND b) {
        RECT ra{}, rb{};
        ::GetWindowRect(a, &ra);
        ::GetWindowRect(b, &rb);
        return ra.top < rb.top;
    });
    return children;
}

RECT ClientRectIn(HWND control, HWND parent) {
    RECT r{};
    ::GetWindowRect(control, &r);
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

LONG FontHeight(HWND control) {
    LOGFONTW font{};
    const auto handle = reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0));
    ::GetObjectW(handle, sizeof font, &font);
    return font.lfHeight;
}

// Wine gives every monitor one dpi and never sends WM_DPICHANGED, so the
// test sends it: the window takes the suggested rectangle, and its labels
// and their fonts follow the new scale.
TEST(WindowSystem, TheGadgetFollowsADpiChange) {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display for Wine's windows";
    testing::FakeRuntime runtime;
    win32::Win32Form form(frmMainLayout(), runtime);
    const HWND hwnd = win32::ToHwnd(form.hWnd());

    for (const int dpi : {96, 144, 192}) {
        const PixelScale scale = PixelScale::FromDpi(dpi);
        const RECT suggested{40, 30, 40 + scale.Edge(183), 30 + scale.Edge(211)};
        ::SendMessageW(hwnd, 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
        RECT placed{};
        ::GetWindowRect(hwnd, &placed);
        EXPECT_TRUE(::EqualRect(&placed, &suggested)) << dpi;

        const std::vector<HWND> labels = LabelsOf(hwnd);
        ASSERT_EQ(labels.size(), 2u);
        const RECT label1 = ClientRectIn(labels[0], hwnd);
        const RECT expected1{scale.Edge(24), scale.Edge(120), scale.Edge(153), scale.Edge(137)};
        EXPECT_TRUE(::EqualRect(&label1, &expected1)) << dpi;
        EXPECT_EQ(FontHeight(labels[0]), -scale.Edge(13)) << dpi;
        EXPECT_EQ(FontHeight(labels[1]), -scale.Edge(11)) << dpi;
    }
}

// A scale at which the picture would pass the pixel cap: the window
// procedure must not let the error unwind through Windows, but show it and
// end the program as any run-time error does.
void ChangeToADpiBeyondThePixelCap() {
    testing::FakeRuntime runtime(testing::FakeRuntime::OnEnd::Exit);
    win32::Win32Form form(frmMainLayout(), runtime);
    const RECT suggested{0, 0, 183, 211};
    ::SendMessageW(win32::ToHwnd(form.hWnd()), 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(65535, 65535),
                   reinterpret_cast<LPARAM>(&suggested));
    std::exit(0);
}

TEST(WindowSystemDeathTest, ADpiChangeThatCannotBeShownIsReportedAndEndsTheProgram) {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display for Wine's windows";
    // gtest's own regular expressions here: "." stands for the box's brackets and bar.
    EXPECT_EXIT(ChangeToADpiBeyondThePixelCap(), ::testing::ExitedWithCode(1), ".tallowind.16. Run-time error '7'");
}

}  // namespace
}  // namespace tw
