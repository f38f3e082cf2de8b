#include "platform/win32/win32_form.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <utility>

#include "platform/portable/errors.h"
#include "platform/portable/renditions.h"
#include "platform/ports/desktop_rules.h"
#include "platform/win32/wic_png.h"
#include "platform/win32/win32_text.h"
#include "platform/win32/window_region.h"

namespace tw::win32 {

namespace {

constexpr wchar_t kWindowClass[] = L"TallowindForm";
constexpr WORD kAppIconId = 1;
constexpr UINT_PTR kFirstTimerId = 1;
constexpr UINT kFirstMenuItemId = 100;
constexpr int kFirstLabelId = 1000;
constexpr UINT kWmDpiChanged = 0x02E0;
constexpr const char* kDefaultFace = "MS Sans Serif";

COLORREF ResolveColour(Colour colour) {
    if (colour & kSystemColourFlag) return ::GetSysColor(SystemColourIndex(colour));
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

// Drawn at its scaled pixel size, never a stretched bitmap of the text.
UniqueFont MakeFont(const FontLayout& font, PixelScale scale) {
    const std::wstring face = Widen(font.face.empty() ? kDefaultFace : font.face);
    return UniqueFont(::CreateFontW(
        -scale.Edge(font.pixelSize), 0, 0, 0, font.weight, font.italic ? TRUE : FALSE,
        font.underline ? TRUE : FALSE, font.strikeout ? TRUE : FALSE, static_cast<DWORD>(font.charset),
        OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face.c_str()));
}

// The picture as a top-down 32-bit DIB section, for BitBlt.
UniqueBitmap MakePictureBitmap(const Bitmap& bitmap) {
    if (bitmap.Width() <= 0 || bitmap.Height() <= 0) return {};
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = bitmap.Width();
    info.bmiHeader.biHeight = -bitmap.Height();
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    UniqueBitmap dib(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!dib || bits == nullptr) throw ClassicError(err::kOutOfMemory);
    auto* out = static_cast<std::uint32_t*>(bits);
    for (std::int32_t y = 0; y < bitmap.Height(); ++y) {
        for (std::int32_t x = 0; x < bitmap.Width(); ++x) *out++ = ToXrgb(bitmap.Pixel(x, y));
    }
    return dib;
}

RECT ScaledRect(const PixelRect& r, PixelScale scale) {
    const Rect mapped = scale.Map(Rect{r.left, r.top, r.left + r.width, r.top + r.height});
    return RECT{mapped.left, mapped.top, mapped.right, mapped.bottom};
}

std::int16_t ShiftOf(WPARAM keys) {
    return ShiftState((keys & MK_SHIFT) != 0, (keys & MK_CONTROL) != 0, ::GetKeyState(VK_MENU) < 0);
}

void RegisterWindowClass(HINSTANCE instance, WNDPROC proc) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = proc;
    windowClass.hInstance = instance;
    windowClass.hIcon = ::LoadIconW(instance, MAKEINTRESOURCEW(kAppIconId));
    windowClass.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.lpszClassName = kWindowClass;
    if (!::RegisterClassExW(&windowClass) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        throw RuntimeError(err::kInternalError, "Win32", "Cannot register the window class");
    }
}

}  // namespace

class Win32Label final : public Label {
public:
    Win32Label(const LabelLayout& layout, HWND control) : layout_(layout), control_(control), shown_(layout.caption) {}

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
        ::RedrawWindow(parent, &area, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    }

    void Rescale(PixelScale scale) {
        const RECT r = ScaledRect(layout_.rect, scale);
        ::MoveWindow(control_, r.left, r.top, r.right - r.left, r.bottom - r.top, FALSE);
        UniqueFont font = MakeFont(layout_.font, scale);
        // The control keeps using the old font until it has the new one.
        if (font) ::SendMessageW(control_, WM_SETFONT, reinterpret_cast<WPARAM>(font.Get()), FALSE);
        font_ = std::move(font);
    }

    const LabelLayout& Layout() const { return layout_; }
    HWND Control() const { return control_; }

private:
    const LabelLayout& layout_;
    HWND control_;
    UniqueFont font_;
    std::string shown_;
};

struct PopupMenuEntry {
    std::string name;
    UniqueMenu menu;
};

Win32Form::Win32Form(const FormLayout& layout, UiRuntime& runtime) : layout_(layout), runtime_(runtime) {
    if (!layout_.pictureBmp.empty()) bitmap_ = std::make_shared<const Bitmap>(Bitmap::FromBmp(layout_.pictureBmp));
    picture_ = std::make_unique<BitmapPicture>(bitmap_);
    try {
        Create();
    } catch (...) {
        // No destructor runs for a form that was never made: the window,
        // which points back at it, must go now.
        if (hwnd_ != nullptr) ::DestroyWindow(hwnd_);
        throw;
    }
}

Win32Form::~Win32Form() {
    if (hwnd_ != nullptr && ::IsWindow(hwnd_)) ::DestroyWindow(hwnd_);
}

void Win32Form::Create() {
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    RegisterWindowClass(instance, &Win32Form::WindowProc);
    if (layout_.backColour & kSystemColourFlag) {
        // System colour brushes belong to the system and are never deleted.
        background_ = ::GetSysColorBrush(SystemColourIndex(layout_.backColour));
    } else {
        ownedBackground_ = UniqueBrush(::CreateSolidBrush(ResolveColour(layout_.backColour)));
        background_ = ownedBackground_.Get();
    }

    const DWORD style = layout_.frameless ? WS_POPUP : WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    DWORD exStyle = layout_.showInTaskbar ? WS_EX_APPWINDOW : WS_EX_TOOLWINDOW;
    if (layout_.topmost) exStyle |= WS_EX_TOPMOST;
    // Made on the primary monitor at the layout's size, then sized for that
    // monitor's scale before anyone sees it.
    const HWND created = ::CreateWindowExW(exStyle, kWindowClass, Widen(layout_.title).c_str(), style, 0, 0,
                                           layout_.clientWidth, layout_.clientHeight, nullptr, nullptr, instance,
                                           this);
    if (created == nullptr) throw RuntimeError(err::kInternalError, "Win32", "Cannot create the window");
    BuildLabels(instance);
    BuildMenus();
    Rescale(ScaleOf(hwnd_));

    RECT frame{0, 0, scale_.Edge(layout_.clientWidth), scale_.Edge(layout_.clientHeight)};
    ::AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    ::SetWindowPos(hwnd_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

std::optional<Rect> Win32Form::PrimaryScreen() const {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    ::GetMonitorInfoW(::MonitorFromWindow(hwnd_, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT& area = monitor.rcMonitor;
    return Rect{area.left, area.top, area.right, area.bottom};
}

DeviceSize Win32Form::WindowSize() const {
    RECT frame{};
    ::GetWindowRect(hwnd_, &frame);
    return {frame.right - frame.left, frame.bottom - frame.top};
}

void Win32Form::MoveTo(DevicePoint topLeft) {
    ::SetWindowPos(hwnd_, nullptr, topLeft.x, topLeft.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32Form::Show() {
    ::ShowWindow(hwnd_, SW_SHOW);
    ::UpdateWindow(hwnd_);
}

Label& Win32Form::GetLabel(const std::string& name) {
    for (auto& label : labels_) {
        if (label->Layout().name == name) return *label;
    }
    throw NoSuchMember();
}

void Win32Form::PopupMenu(const std::string& menuName) {
    const auto entry =
        std::find_if(menus_.begin(), menus_.end(), [&](const PopupMenuEntry& e) { return e.name == menuName; });
    if (entry == menus_.end()) throw NoSuchMember();
    POINT at{};
    ::GetCursorPos(&at);
    // Without being foreground, the menu would not close on a click outside it.
    ::SetForegroundWindow(hwnd_);
    const UINT chosen = static_cast<UINT>(::TrackPopupMenu(
        entry->menu.Get(), TPM_LEFTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON | TPM_RETURNCMD, at.x, at.y, 0, hwnd_,
        nullptr));
    ::PostMessageW(hwnd_, WM_NULL, 0, 0);
    if (chosen < kFirstMenuItemId || chosen - kFirstMenuItemId >= menuItemNames_.size()) return;
    const std::string& item = menuItemNames_[chosen - kFirstMenuItemId];
    Raise([&](FormHandlers& handlers) { handlers.Menu_Click(item); });
}

RuntimeError Win32Form::NoSuchMember() const { return ClassicError(err::kObjectDoesntSupport, layout_.name); }

template <class Call>
void Win32Form::Raise(Call&& call) {
    if (handlers_ == nullptr) return;
    RunHandler(runtime_, [&] { call(*handlers_); });
}

void Win32Form::BuildLabels(HINSTANCE instance) {
    int id = kFirstLabelId;
    for (const LabelLayout& label : layout_.labels) {
        // SS_NOTIFY: the label takes a press on it instead of passing it
        // through to the window underneath.
        const DWORD style = WS_CHILD | WS_VISIBLE | SS_NOTIFY | AlignmentStyle(label.alignment);
        HWND control = ::CreateWindowExW(0, L"STATIC", Widen(label.caption).c_str(), style, label.rect.left,
                                         label.rect.top, label.rect.width, label.rect.height, hwnd_,
                                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id++)), instance, nullptr);
        if (control == nullptr) throw RuntimeError(err::kInternalError, "Win32", "Cannot create label " + label.name);
        labels_.push_back(std::make_unique<Win32Label>(label, control));
    }
}

void Win32Form::BuildMenus() {
    for (const MenuLayout& menuLayout : layout_.menus) {
        UniqueMenu menu(::CreatePopupMenu());
        if (!menu.Get()) throw ClassicError(err::kOutOfMemory);
        for (const MenuItemLayout& item : menuLayout.items) {
            if (item.IsSeparator()) {
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

void Win32Form::StartTimer(std::size_t index, int periodMs) {
    ::SetTimer(hwnd_, kFirstTimerId + index, static_cast<UINT>(periodMs), nullptr);
}

void Win32Form::Rescale(PixelScale scale) {
    scale_ = scale;
    pictureBitmap_ = UniqueBitmap();
    pictureSize_ = SIZE{};
    if (bitmap_) {
        const Bitmap scaled = ShowPicture(*bitmap_, layout_.keyColour, layout_.pictureRenditions, scale_, DecodePng);
        pictureBitmap_ = MakePictureBitmap(scaled);
        pictureSize_ = SIZE{scaled.Width(), scaled.Height()};
    }
    for (auto& label : labels_) label->Rescale(scale_);
    ApplyOutline(true);
    ::InvalidateRect(hwnd_, nullptr, TRUE);
}

void Win32Form::ApplyOutline(bool redraw) { ApplyWindowRegion(hwnd_, outline_.get(), scale_, redraw); }

LRESULT CALLBACK Win32Form::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
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

LRESULT Win32Form::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    switch (message) {
    case WM_ERASEBKGND:
        return 1;  // WM_PAINT covers every pixel; erasing first would flicker
    case WM_PAINT:
        // Painting, and rescaling below, can fail (a picture beyond the
        // pixel cap): the error is shown and ends the program, as a
        // handler's does, instead of unwinding through this procedure.
        RunHandler(runtime_, [&] { OnPaint(); });
        return 0;
    case WM_CTLCOLORSTATIC:
        return OnCtlColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_TIMER:
        OnTimer(wParam);
        return 0;
    case WM_LBUTTONDOWN:
        OnMouseDown(vbLeftButton, wParam, lParam);
        return 0;
    case WM_RBUTTONDOWN:
        OnMouseDown(vbRightButton, wParam, lParam);
        return 0;
    case WM_MBUTTONDOWN:
        OnMouseDown(vbMiddleButton, wParam, lParam);
        return 0;
    case kWmDpiChanged:
        RunHandler(runtime_, [&] { OnDpiChanged(LOWORD(wParam), *reinterpret_cast<const RECT*>(lParam)); });
        return 0;
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

void Win32Form::OnPaint() {
    PaintScope paint(hwnd_);
    HDC dc = paint.Get();
    if (dc == nullptr) return;
    ::FillRect(dc, &paint.Area(), background_);
    if (!pictureBitmap_) return;
    MemoryDc source(dc);
    if (!source) return;
    SelectScope selected(source.Get(), pictureBitmap_.Get());
    // Scaled once per display scale, so painting is a plain copy.
    ::BitBlt(dc, 0, 0, pictureSize_.cx, pictureSize_.cy, source.Get(), 0, 0, SRCCOPY);
}

LRESULT Win32Form::OnCtlColorStatic(HDC dc, HWND control) {
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
    return ::DefWindowProcW(hwnd_, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control));
}

void Win32Form::OnTimer(WPARAM id) {
    if (id < kFirstTimerId || id - kFirstTimerId >= layout_.timers.size()) return;
    const std::string& name = layout_.timers[id - kFirstTimerId].name;
    Raise([&](FormHandlers& handlers) { handlers.Timer_Tick(name); });
}

void Win32Form::OnMouseDown(std::int16_t button, WPARAM keys, LPARAM position) {
    const std::int16_t shift = ShiftOf(keys);
    const auto twips = [&](WORD device) {
        return LayoutPixelsToTwips(static_cast<float>(static_cast<short>(device)) / static_cast<float>(scale_.Factor()));
    };
    const float x = twips(LOWORD(position));
    const float y = twips(HIWORD(position));
    Raise([&](FormHandlers& handlers) { handlers.Form_MouseDown(button, shift, x, y); });
}

// The window went to a monitor of another scale: Windows suggests where it
// goes and how large it is; everything drawn follows the new scale.
void Win32Form::OnDpiChanged(UINT dpi, const RECT& suggested) {
    Rescale(PixelScale::FromDpi(static_cast<int>(dpi)));
    ::SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                   suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32Form::SetOutline(RegionHandle outline, bool redraw) {
    outline_ = std::move(outline);
    ApplyOutline(redraw);
}

}  // namespace tw::win32
