// The conformance table's view of the Win32 adapter, under Wine: the window
// region and geometry as user32 holds them. Wine gives every monitor one dpi
// and never sends WM_DPICHANGED, so a window is brought to another scale by
// sending it the message, as Windows would on a monitor of that scale.
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <map>
#include <thread>

#include <gtest/gtest.h>

#include "platform/ports/adapter_hooks.h"
#include "platform/win32/win32_form.h"
#include "platform/win32/win32_runtime.h"
#include "platform/win32/win32_text.h"
#include "platform/win32/window_region.h"
#include "tests/conformance/adapter_probe.h"

namespace tw::testing {
namespace {

constexpr UINT kWmDpiChanged = 0x02E0;
constexpr UINT_PTR kMenuWatch = 0x7A11;

int VirtualKeyOf(std::int16_t button) {
    return button == vbLeftButton ? VK_LBUTTON : button == vbRightButton ? VK_RBUTTON : VK_MBUTTON;
}

UINT DownMessageOf(std::int16_t button) {
    return button == vbLeftButton ? WM_LBUTTONDOWN : button == vbRightButton ? WM_RBUTTONDOWN : WM_MBUTTONDOWN;
}

class Win32Probe;
Win32Probe* g_probe = nullptr;  // the one probe at a time, for the hooks below

class Win32Probe final : public AdapterProbe, public StartUpSteps {
public:
    explicit Win32Probe(double scale) : scale_(scale), steps_(runtime_, DesktopWindowSystem()) { g_probe = this; }
    ~Win32Probe() override {
        if (hook_ != nullptr) ::UnhookWindowsHookEx(hook_);
        if (original_ != nullptr) ::SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original_));
        g_probe = nullptr;
    }

    StartUpSteps& Steps() override { return *this; }

    // --- StartUpSteps: the adapter's own, the window brought to the probe's scale.
    UiRuntime& Runtime() override { return steps_.Runtime(); }
    AdapterWindowSystem& WindowSystem() override { return steps_.WindowSystem(); }
    AdapterWindow& MakeWindow(const FormLayout& layout) override {
        AdapterWindow& window = steps_.MakeWindow(layout);
        hwnd_ = win32::ToHwnd(window.hWnd());
        layout_ = &layout;
        const PixelScale scale(scale_);
        if (scale != win32::ScaleOf(hwnd_)) {
            const int dpi = static_cast<int>(scale_ * kLayoutDpi + 0.5);
            const RECT suggested{0, 0, scale.Edge(layout.clientWidth), scale.Edge(layout.clientHeight)};
            ::SendMessageW(hwnd_, kWmDpiChanged, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
        }
        // Caption drags are counted here instead of started.
        original_ = reinterpret_cast<WNDPROC>(
            ::SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CountCaptionDrags)));
        hook_ = ::SetWindowsHookExW(WH_CALLWNDPROC, CountPaints, nullptr, ::GetCurrentThreadId());
        return window;
    }
    int DeliverEvents() override { return steps_.DeliverEvents(); }

    // --- AdapterProbe
    Rect Screen() override { return Rect{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)}; }

    Rect Placement() override {
        RECT r{};
        ::GetWindowRect(hwnd_, &r);
        return Rect{r.left, r.top, r.right, r.bottom};
    }

    std::optional<Region> Shape() override {
        const win32::UniqueRegion region(::CreateRectRgn(0, 0, 0, 0));
        const int kind = ::GetWindowRgn(hwnd_, region.Get());
        if (kind == ERROR) return std::nullopt;
        if (kind == NULLREGION) return Region();
        std::vector<std::uint8_t> bytes(::GetRegionData(region.Get(), 0, nullptr));
        ::GetRegionData(region.Get(), static_cast<DWORD>(bytes.size()), reinterpret_cast<RGNDATA*>(bytes.data()));
        const RegionHandle held = ExtCreateRegion(bytes);
        if (!held) return std::nullopt;
        EXPECT_EQ(bytes, EncodeRegionData(*held)) << "GDI holds the region in the form the engine writes";
        return *held;
    }

    int Paints(const std::string& label) override { return paints_[LabelControl(label)]; }

    std::vector<std::string> Popup(const std::string& menu, std::optional<int> choose) override {
        rows_.clear();
        choose_ = choose;
        ::SetTimer(hwnd_, kMenuWatch, 20, &WatchForMenu);
        steps_.Made()->PopupMenu(menu);
        ::KillTimer(hwnd_, kMenuWatch);
        return rows_;
    }

    void Press(std::int16_t button, int x, int y) override {
        const PixelScale scale(scale_);
        POINT at{scale.Edge(x) + (scale.Edge(x + 1) - scale.Edge(x)) / 2,
                 scale.Edge(y) + (scale.Edge(y + 1) - scale.Edge(y)) / 2};
        // As Windows routes a press: to the child under it, unless the child
        // lets it through to its parent.
        HWND target = ::ChildWindowFromPointEx(hwnd_, at, CWP_SKIPINVISIBLE);
        POINT screen = at;
        ::ClientToScreen(hwnd_, &screen);
        if (target == nullptr || target == hwnd_ ||
            ::SendMessageW(target, WM_NCHITTEST, 0, MAKELPARAM(screen.x, screen.y)) == HTTRANSPARENT) {
            target = hwnd_;
        } else {
            ::MapWindowPoints(hwnd_, target, &at, 1);
        }
        BYTE keys[256] = {};
        keys[VirtualKeyOf(button)] = 0x80;
        ::SetKeyboardState(keys);
        ::SendMessageW(target, DownMessageOf(button), 0, MAKELPARAM(at.x, at.y));
        keys[VirtualKeyOf(button)] = 0;
        ::SetKeyboardState(keys);
    }

    int MovesStarted() override { return captionDrags_; }
    void Capture() override { ::SetCapture(hwnd_); }
    bool Captured() override { return ::GetCapture() != nullptr; }

    void Wait(int ms) override {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < end) {
            MSG message{};
            while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                ::TranslateMessage(&message);
                ::DispatchMessageW(&message);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

private:
    HWND LabelControl(const std::string& name) const {
        const auto layout = std::find_if(layout_->labels.begin(), layout_->labels.end(),
                                         [&](const LabelLayout& l) { return l.name == name; });
        const PixelScale scale(scale_);
        for (HWND child = ::GetWindow(hwnd_, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
            RECT r{};
            ::GetWindowRect(child, &r);
            ::MapWindowPoints(nullptr, hwnd_, reinterpret_cast<POINT*>(&r), 2);
            if (r.left == scale.Edge(layout->rect.left) && r.top == scale.Edge(layout->rect.top)) return child;
        }
        return nullptr;
    }

    static LRESULT CALLBACK CountCaptionDrags(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_NCLBUTTONDOWN && wParam == HTCAPTION) {
            ++g_probe->captionDrags_;
            return 0;
        }
        return ::CallWindowProcW(g_probe->original_, window, message, wParam, lParam);
    }

    static LRESULT CALLBACK CountPaints(int code, WPARAM wParam, LPARAM lParam) {
        const auto* message = reinterpret_cast<const CWPSTRUCT*>(lParam);
        if (code == HC_ACTION && (message->message == WM_SETTEXT || message->message == WM_PAINT))
            ++g_probe->paints_[message->hwnd];
        return ::CallNextHookEx(nullptr, code, wParam, lParam);
    }

    // Runs inside the menu's own loop: once the menu is open, reads its rows
    // and picks one with the keyboard, as a person would.
    static void CALLBACK WatchForMenu(HWND window, UINT, UINT_PTR, DWORD) {
        const HWND menuWindow = ::FindWindowW(L"#32768", nullptr);
        if (menuWindow == nullptr || !::IsWindowVisible(menuWindow)) return;
        ::KillTimer(window, kMenuWatch);
        const auto menu = reinterpret_cast<HMENU>(::SendMessageW(menuWindow, 0x01E1 /* MN_GETHMENU */, 0, 0));
        int downs = 0;
        for (int i = 0; i < ::GetMenuItemCount(menu); ++i) {
            wchar_t text[64] = {};
            MENUITEMINFOW item{};
            item.cbSize = sizeof item;
            item.fMask = MIIM_FTYPE | MIIM_STRING;
            item.dwTypeData = text;
            item.cch = 64;
            ::GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &item);
            const bool separator = (item.fType & MFT_SEPARATOR) != 0;
            g_probe->rows_.push_back(separator ? "-" : win32::Narrow(text));
            if (!separator && g_probe->choose_ && i <= *g_probe->choose_) ++downs;
        }
        for (int i = 0; i < downs; ++i) ::PostMessageW(window, WM_KEYDOWN, VK_DOWN, 0);
        ::PostMessageW(window, WM_KEYDOWN, g_probe->choose_ ? VK_RETURN : VK_ESCAPE, 0);
    }

    double scale_;
    win32::Win32Runtime runtime_;
    win32::Win32StartUp steps_;
    const FormLayout* layout_ = nullptr;
    HWND hwnd_ = nullptr;
    WNDPROC original_ = nullptr;
    HHOOK hook_ = nullptr;
    int captionDrags_ = 0;
    std::map<HWND, int> paints_;
    std::vector<std::string> rows_;
    std::optional<int> choose_;
};

}  // namespace

std::vector<double> ProbeScales() {
    // Wine makes real X11 windows: with no display there are none to probe.
    if (std::getenv("DISPLAY") == nullptr) return {};
    return {1.0, 1.5};
}

std::unique_ptr<AdapterProbe> MakeProbe(double scale) { return std::make_unique<Win32Probe>(scale); }

}  // namespace tw::testing
