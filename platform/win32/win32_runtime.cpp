// The user-interface runtime over plain Win32: one top-level window built from
// the layout, STATIC child controls for labels, SetTimer for timers and a
// pop-up menu. Every handler runs inside RunHandler(), so no C++ exception
// ever unwinds through the window procedure.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/errors.h"
#include "platform/layout.h"
#include "platform/picture.h"
#include "platform/ui.h"
#include "platform/win32/win32_text.h"

// After our headers: <windows.h> defines WM_NCLBUTTONDOWN and HTCAPTION as
// macros, which would rewrite the declarations in window_system.h.
#include "platform/win32/gdi_handles.h"

namespace tw {

namespace {

using win32::Widen;

constexpr wchar_t kWindowClass[] = L"TallowindForm";
constexpr WORD kAppIconId = 1;
constexpr float kTwipsPerPixel = 15.0f;
constexpr UINT_PTR kFirstTimerId = 1;
constexpr UINT kFirstMenuItemId = 100;
constexpr int kFirstLabelId = 1000;
constexpr UINT kWmDpiChanged = 0x02E0;
constexpr const char* kDefaultFace = "MS Sans Serif";

COLORREF ResolveColour(Colour colour) {
    if (colour & kSystemColourFlag) return ::GetSysColor(static_cast<int>(colour & 0xFFu));
    return static_cast<COLORREF>(colour & 0x00FFFFFFu);
}

DWORD AlignmentStyle(HAlign alignment) {
    switch (alignment) {
    case HAlign::Left:
        return SS_LEFT;
    case HAlign::Right:
        return SS_RIGHT;
    case HAlign::Centre:
        break;
    }
    return SS_CENTER;
}

win32::UniqueFont MakeFont(const FontLayout& font) {
    const std::wstring face = Widen(font.face.empty() ? kDefaultFace : font.face);
    return win32::UniqueFont(::CreateFontW(
        -font.pixelSize, 0, 0, 0, font.weight, font.italic ? TRUE : FALSE,
        font.underline ? TRUE : FALSE, font.strikeout ? TRUE : FALSE,
        static_cast<DWORD>(font.charset), OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
        DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face.c_str()));
}

// The decoded picture as a top-down 32-bit DIB section, for BitBlt.
win32::UniqueBitmap MakePictureBitmap(const Bitmap& bitmap) {
    if (bitmap.Width() <= 0 || bitmap.Height() <= 0) return {};
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = bitmap.Width();
    info.bmiHeader.biHeight = -bitmap.Height();
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    win32::UniqueBitmap dib(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!dib || bits == nullptr) throw ClassicError(err::kOutOfMemory);
    auto* out = static_cast<std::uint32_t*>(bits);
    for (std::int32_t y = 0; y < bitmap.Height(); ++y) {
        for (std::int32_t x = 0; x < bitmap.Width(); ++x) {
            // Colour is 0x00BBGGRR; a 32-bit DIB pixel reads as 0x00RRGGBB.
            const Colour c = bitmap.Pixel(x, y);
            *out++ = ((c & 0xFFu) << 16) | (c & 0xFF00u) | ((c >> 16) & 0xFFu);
        }
    }
    return dib;
}

std::int16_t ShiftState(WPARAM keys) {
    std::int16_t shift = 0;
    if (keys & MK_SHIFT) shift |= 1;
    if (keys & MK_CONTROL) shift |= 2;
    if (::GetKeyState(VK_MENU) < 0) shift |= 4;
    return shift;
}

class Win32Label final : public Label {
public:
    Win32Label(const LabelLayout& layout, HWND control, win32::UniqueFont font)
        : layout_(layout), control_(control), font_(std::move(font)), shown_(layout.caption) {}

    void SetCaption(const std::string& caption) override {
        if (caption == shown_) return;
        ::SetWindowTextW(control_, Widen(caption).c_str());
        shown_ = caption;
        // A transparent static draws its text over whatever is already there,
        // so the parent repaints the picture under it first, then the label.
        HWND parent = ::GetParent(control_);
        RECT area{};
        ::GetWindowRect(control_, &area);
        ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&area), 2);
        ::RedrawWindow(parent, &area, nullptr,
                       RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    }

    const LabelLayout& Layout() const { return layout_; }
    HWND Control() const { return control_; }

private:
    const LabelLayout& layout_;
    HWND control_;
    win32::UniqueFont font_;
    std::string shown_;
};

struct PopupMenuEntry {
    std::string name;
    win32::UniqueMenu menu;
};

class Win32Form final : public Form, public UiRuntime {
public:
    explicit Win32Form(const FormLayout& layout) : layout_(layout) {
        if (!layout_.pictureBmp.empty()) {
            bitmap_ = std::make_shared<const Bitmap>(Bitmap::FromBmp(layout_.pictureBmp));
        }
        picture_ = std::make_unique<BitmapPicture>(bitmap_);
    }

    Win32Form(const Win32Form&) = delete;
    Win32Form& operator=(const Win32Form&) = delete;

    ~Win32Form() override {
        if (hwnd_ != nullptr && ::IsWindow(hwnd_)) ::DestroyWindow(hwnd_);
    }

    // Builds the window hidden, raises load, shows it and pumps messages
    // until the window is gone.
    int Run(const HandlersFactory& makeHandlers) {
        RunHandler(*this, [&] { Build(); });
        RunHandler(*this, [&] { handlers_ = makeHandlers(*this, *this); });
        Raise([](FormHandlers& handlers) { handlers.Form_Load(); });
        ::ShowWindow(hwnd_, SW_SHOW);
        ::UpdateWindow(hwnd_);
        StartTimers();

        MSG message{};
        while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
        return static_cast<int>(message.wParam);
    }

    // --- Form

    const tw::Picture& Picture() const override { return *picture_; }
    WindowHandle hWnd() const override { return reinterpret_cast<WindowHandle>(hwnd_); }

    Label& GetLabel(const std::string& name) override {
        for (auto& label : labels_) {
            if (label->Layout().name == name) return *label;
        }
        throw NoSuchMember();
    }

    void PopupMenu(const std::string& menuName) override {
        const auto entry = std::find_if(menus_.begin(), menus_.end(),
                                        [&](const PopupMenuEntry& e) { return e.name == menuName; });
        if (entry == menus_.end()) {
            throw NoSuchMember();
        }
        POINT at{};
        ::GetCursorPos(&at);
        // Without being foreground, the menu would not close on a click outside it.
        ::SetForegroundWindow(hwnd_);
        const UINT chosen = static_cast<UINT>(::TrackPopupMenu(
            entry->menu.Get(), TPM_LEFTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON | TPM_RETURNCMD, at.x,
            at.y, 0, hwnd_, nullptr));
        ::PostMessageW(hwnd_, WM_NULL, 0, 0);
        if (chosen < kFirstMenuItemId || chosen - kFirstMenuItemId >= menuItemNames_.size()) return;
        const std::string& item = menuItemNames_[chosen - kFirstMenuItemId];
        Raise([&](FormHandlers& handlers) { handlers.Menu_Click(item); });
    }

    // --- UiRuntime

    void MsgBox(const std::string& prompt, int style, const std::string& title) override {
        ::MessageBoxW(hwnd_, Widen(prompt).c_str(), Widen(title).c_str(), static_cast<UINT>(style));
    }

    [[noreturn]] void End(int exitStatus) override { ::ExitProcess(static_cast<UINT>(exitStatus)); }

private:
    RuntimeError NoSuchMember() const {
        return ClassicError(err::kObjectDoesntSupport, layout_.name);
    }

    template <class Call>
    void Raise(Call&& call) {
        if (!handlers_) return;
        RunHandler(*this, [&] { call(*handlers_); });
    }

    static void RegisterWindowClass(HINSTANCE instance) {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = &Win32Form::WindowProc;
        windowClass.hInstance = instance;
        windowClass.hIcon = ::LoadIconW(instance, MAKEINTRESOURCEW(kAppIconId));
        windowClass.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        windowClass.lpszClassName = kWindowClass;
        if (!::RegisterClassExW(&windowClass) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
            throw RuntimeError(err::kInternalError, "Win32", "Cannot register the window class");
        }
    }

    void Build() {
        HINSTANCE instance = ::GetModuleHandleW(nullptr);
        RegisterWindowClass(instance);

        if (layout_.backColour & kSystemColourFlag) {
            // System colour brushes belong to the system and are never deleted.
            background_ = ::GetSysColorBrush(static_cast<int>(layout_.backColour & 0xFFu));
        } else {
            ownedBackground_ = win32::UniqueBrush(::CreateSolidBrush(ResolveColour(layout_.backColour)));
            background_ = ownedBackground_.Get();
        }
        if (bitmap_) pictureBitmap_ = MakePictureBitmap(*bitmap_);

        const DWORD style = layout_.frameless ? WS_POPUP
                                              : WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
        DWORD exStyle = layout_.showInTaskbar ? WS_EX_APPWINDOW : WS_EX_TOOLWINDOW;
        if (layout_.topmost) exStyle |= WS_EX_TOPMOST;
        RECT frame{0, 0, layout_.clientWidth, layout_.clientHeight};
        ::AdjustWindowRectEx(&frame, style, FALSE, exStyle);
        const int width = frame.right - frame.left;
        const int height = frame.bottom - frame.top;
        int x = 0;
        int y = 0;
        if (layout_.centreOnScreen) {
            // The whole primary screen, as the Linux build does, not the work area.
            x = (::GetSystemMetrics(SM_CXSCREEN) - width) / 2;
            y = (::GetSystemMetrics(SM_CYSCREEN) - height) / 2;
        }
        const HWND created =
            ::CreateWindowExW(exStyle, kWindowClass, Widen(layout_.title).c_str(), style, x, y, width,
                              height, nullptr, nullptr, instance, this);
        if (created == nullptr) {
            throw RuntimeError(err::kInternalError, "Win32", "Cannot create the window");
        }

        BuildLabels(instance);
        BuildMenus();
    }

    void BuildLabels(HINSTANCE instance) {
        int id = kFirstLabelId;
        for (const LabelLayout& label : layout_.labels) {
            // SS_NOTIFY: the label takes a press on it instead of passing it
            // through to the window underneath.
            const DWORD style = WS_CHILD | WS_VISIBLE | SS_NOTIFY | AlignmentStyle(label.alignment);
            HWND control = ::CreateWindowExW(
                0, L"STATIC", Widen(label.caption).c_str(), style, label.rect.left, label.rect.top,
                label.rect.width, label.rect.height, hwnd_,
                reinterpret_cast<HMENU>(static_cast<INT_PTR>(id++)), instance, nullptr);
            if (control == nullptr) {
                throw RuntimeError(err::kInternalError, "Win32", "Cannot create label " + label.name);
            }
            win32::UniqueFont font = MakeFont(label.font);
            if (font) ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font.Get()), FALSE);
            labels_.push_back(std::make_unique<Win32Label>(label, control, std::move(font)));
        }
    }

    void BuildMenus() {
        for (const MenuLayout& menuLayout : layout_.menus) {
            win32::UniqueMenu menu(::CreatePopupMenu());
            if (!menu.Get()) throw ClassicError(err::kOutOfMemory);
            for (const MenuItemLayout& item : menuLayout.items) {
                if (item.caption == "-") {
                    ::AppendMenuW(menu.Get(), MF_SEPARATOR, 0, nullptr);
                    continue;
                }
                const UINT id = kFirstMenuItemId + static_cast<UINT>(menuItemNames_.size());
                menuItemNames_.push_back(item.name);
                ::AppendMenuW(menu.Get(), MF_STRING, id, Widen(item.caption).c_str());
            }
            menus_.push_back(PopupMenuEntry{menuLayout.name, std::move(menu)});
        }
    }

    void StartTimers() {
        for (std::size_t i = 0; i < layout_.timers.size(); ++i) {
            const TimerLayout& timer = layout_.timers[i];
            if (!timer.enabled || timer.intervalMs <= 0) continue;
            const UINT period = static_cast<UINT>(std::max(timer.intervalMs, kMinTimerPeriodMs));
            ::SetTimer(hwnd_, kFirstTimerId + i, period, nullptr);
        }
    }

    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        Win32Form* self = nullptr;
        if (message == WM_NCCREATE) {
            const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
            self = static_cast<Win32Form*>(create->lpCreateParams);
            self->hwnd_ = window;
            ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        } else {
            self = reinterpret_cast<Win32Form*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
        }
        if (self == nullptr) return ::DefWindowProcW(window, message, wParam, lParam);
        return self->HandleMessage(message, wParam, lParam);
    }

    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept {
        switch (message) {
        case WM_ERASEBKGND:
            return 1;  // WM_PAINT covers every pixel; erasing first would flicker
        case WM_PAINT:
            OnPaint();
            return 0;
        case WM_CTLCOLORSTATIC:
            return OnCtlColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
        case WM_TIMER:
            OnTimer(wParam);
            return 0;
        case WM_LBUTTONDOWN:
            OnMouseDown(1, wParam, lParam);
            return 0;
        case WM_RBUTTONDOWN:
            OnMouseDown(2, wParam, lParam);
            return 0;
        case WM_MBUTTONDOWN:
            OnMouseDown(4, wParam, lParam);
            return 0;
        case kWmDpiChanged:
            return 0;  // lengths stay pixels on every scale: keep the size as it is
        case WM_DESTROY:
            ::PostQuitMessage(0);
            return 0;
        case WM_NCDESTROY:
            ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
            hwnd_ = nullptr;
            return 0;
        default:
            return ::DefWindowProcW(hwnd_, message, wParam, lParam);
        }
    }

    void OnPaint() {
        win32::PaintScope paint(hwnd_);
        HDC dc = paint.Get();
        if (dc == nullptr) return;
        ::FillRect(dc, &paint.Area(), background_);
        if (!pictureBitmap_) return;
        win32::MemoryDc source(dc);
        if (!source) return;
        win32::SelectScope selected(source.Get(), pictureBitmap_.Get());
        ::BitBlt(dc, 0, 0, bitmap_->Width(), bitmap_->Height(), source.Get(), 0, 0, SRCCOPY);
    }

    LRESULT OnCtlColorStatic(HDC dc, HWND control) {
        for (const auto& label : labels_) {
            if (label->Control() != control) continue;
            ::SetTextColor(dc, ResolveColour(label->Layout().foreColour));
            if (label->Layout().transparentBackground) {
                ::SetBkMode(dc, TRANSPARENT);
                return reinterpret_cast<LRESULT>(::GetStockObject(NULL_BRUSH));
            }
            ::SetBkColor(dc, ResolveColour(layout_.backColour));
            return reinterpret_cast<LRESULT>(background_);
        }
        return ::DefWindowProcW(hwnd_, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                reinterpret_cast<LPARAM>(control));
    }

    void OnTimer(WPARAM id) {
        if (id < kFirstTimerId || id - kFirstTimerId >= layout_.timers.size()) return;
        const std::string& name = layout_.timers[id - kFirstTimerId].name;
        Raise([&](FormHandlers& handlers) { handlers.Timer_Tick(name); });
    }

    void OnMouseDown(std::int16_t button, WPARAM keys, LPARAM position) {
        const std::int16_t shift = ShiftState(keys);
        const float x = static_cast<float>(static_cast<short>(LOWORD(position))) * kTwipsPerPixel;
        const float y = static_cast<float>(static_cast<short>(HIWORD(position))) * kTwipsPerPixel;
        Raise([&](FormHandlers& handlers) { handlers.Form_MouseDown(button, shift, x, y); });
    }

    const FormLayout& layout_;
    std::shared_ptr<const Bitmap> bitmap_;
    std::unique_ptr<BitmapPicture> picture_;
    win32::UniqueBitmap pictureBitmap_;
    win32::UniqueBrush ownedBackground_;
    HBRUSH background_ = nullptr;
    std::vector<std::unique_ptr<Win32Label>> labels_;
    std::vector<PopupMenuEntry> menus_;
    std::vector<std::string> menuItemNames_;
    std::unique_ptr<FormHandlers> handlers_;
    HWND hwnd_ = nullptr;
};

}  // namespace

int RunApplication(int argc, char** argv, const FormLayout& layout, const HandlersFactory& makeHandlers) {
    (void)argc, (void)argv;
    std::unique_ptr<Win32Form> form;
    // A form that cannot even be set up (a broken picture) is reported the
    // way any other run-time error is.
    struct StartupRuntime final : UiRuntime {
        void MsgBox(const std::string& prompt, int style, const std::string& title) override {
            ::MessageBoxW(nullptr, Widen(prompt).c_str(), Widen(title).c_str(), static_cast<UINT>(style));
        }
        [[noreturn]] void End(int exitStatus) override { ::ExitProcess(static_cast<UINT>(exitStatus)); }
    } startup;
    RunHandler(startup, [&] { form = std::make_unique<Win32Form>(layout); });
    return form->Run(makeHandlers);
}

}  // namespace tw
