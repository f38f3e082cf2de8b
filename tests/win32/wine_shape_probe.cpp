// Shows one WS_POPUP window cut by SetWindowRgn to the rectangles it is
// given, and nothing else: no picture, no runtime of ours. It prints the
// region the window then has (GetWindowRgn) as one JSON line, with the X11
// window Wine made for it, and keeps the window up until its standard input
// ends, so that a reader on the X side can compare the X shape Wine set with
// the region. It tells a fault in Wine's conversion of a window region from
// one of ours: Wine 10 draws the region into a 1-bit mask, and a rectangle
// that starts and ends within one 8-pixel column group of a row comes out as
// the pixels from its right edge to the group's end (none when it ends on
// the group's end), however the region was made, set or shown; rectangles
// across groups come out right. Wine 8 gives X the region's own rectangles.
// Usage: tallowind_wine_shape_probe [--at=X,Y] [--size=W,H] [--combine]
//        [--after-show] [--no-redraw] LEFT,TOP,RIGHT,BOTTOM...
//   --combine     builds the region by CombineRgn of rectangle regions
//                 instead of one ExtCreateRegion of them all
//   --after-show  shows the window first, then sets the region
//   --no-redraw   SetWindowRgn without redrawing
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "tests/win32/wine_tool_support.h"

namespace {

constexpr wchar_t kClass[] = L"TallowindShapeProbe";

struct Options {
    POINT at{100, 100};
    SIZE size{200, 100};
    bool combine = false;
    bool afterShow = false;
    bool redraw = true;
    std::vector<RECT> rects;
};

bool ParsePair(const char* text, long* a, long* b) { return std::sscanf(text, "%ld,%ld", a, b) == 2; }

bool Parse(int argc, char** argv, Options* options) {
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        RECT r{};
        if (std::strncmp(arg, "--at=", 5) == 0) {
            if (!ParsePair(arg + 5, &options->at.x, &options->at.y)) return false;
        } else if (std::strncmp(arg, "--size=", 7) == 0) {
            if (!ParsePair(arg + 7, &options->size.cx, &options->size.cy)) return false;
        } else if (std::strcmp(arg, "--combine") == 0) {
            options->combine = true;
        } else if (std::strcmp(arg, "--after-show") == 0) {
            options->afterShow = true;
        } else if (std::strcmp(arg, "--no-redraw") == 0) {
            options->redraw = false;
        } else if (std::sscanf(arg, "%ld,%ld,%ld,%ld", &r.left, &r.top, &r.right, &r.bottom) == 4) {
            options->rects.push_back(r);
        } else {
            return false;
        }
    }
    return !options->rects.empty();
}

// ExtCreateRegion takes the rectangles in any order and sorts them into bands.
HRGN FromRectangles(const std::vector<RECT>& rects) {
    std::vector<unsigned char> bytes(sizeof(RGNDATAHEADER) + rects.size() * sizeof(RECT));
    RGNDATAHEADER header{};
    header.dwSize = sizeof header;
    header.iType = RDH_RECTANGLES;
    header.nCount = static_cast<DWORD>(rects.size());
    header.nRgnSize = static_cast<DWORD>(rects.size() * sizeof(RECT));
    header.rcBound = rects.front();
    for (const RECT& r : rects) ::UnionRect(&header.rcBound, &header.rcBound, &r);
    std::memcpy(bytes.data(), &header, sizeof header);
    std::memcpy(bytes.data() + sizeof header, rects.data(), rects.size() * sizeof(RECT));
    return ::ExtCreateRegion(nullptr, static_cast<DWORD>(bytes.size()), reinterpret_cast<RGNDATA*>(bytes.data()));
}

HRGN ByCombining(const std::vector<RECT>& rects) {
    HRGN all = ::CreateRectRgn(0, 0, 0, 0);
    for (const RECT& r : rects) {
        HRGN one = ::CreateRectRgnIndirect(&r);
        ::CombineRgn(all, all, one, RGN_OR);
        ::DeleteObject(one);
    }
    return all;
}

// Ends the message loop when the reader closes our standard input.
DWORD WINAPI WaitForInput(void* mainThread) {
    char buffer[64];
    DWORD read = 0;
    while (::ReadFile(::GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof buffer, &read, nullptr) && read != 0) {
    }
    ::PostThreadMessageW(static_cast<DWORD>(reinterpret_cast<UINT_PTR>(mainThread)), WM_QUIT, 0, 0);
    return 0;
}

LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
        PAINTSTRUCT paint;
        HDC dc = ::BeginPaint(window, &paint);
        ::FillRect(dc, &paint.rcPaint, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
        ::EndPaint(window, &paint);
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!Parse(argc, argv, &options)) {
        std::fprintf(stderr, "usage: %s [--at=X,Y] [--size=W,H] [--combine] [--after-show] [--no-redraw] "
                             "LEFT,TOP,RIGHT,BOTTOM...\n", argv[0]);
        return 2;
    }
    tw::wine_tools::BecomeDpiAware();
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = Proc;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kClass;
    ::RegisterClassW(&windowClass);
    HWND window = ::CreateWindowExW(WS_EX_TOOLWINDOW, kClass, L"tallowind shape probe", WS_POPUP, options.at.x,
                                    options.at.y, options.size.cx, options.size.cy, nullptr, nullptr,
                                    windowClass.hInstance, nullptr);
    if (window == nullptr) return 1;

    HRGN region = options.combine ? ByCombining(options.rects) : FromRectangles(options.rects);
    if (options.afterShow) ::ShowWindow(window, SW_SHOWNOACTIVATE);
    // On success the window owns the region.
    if (!::SetWindowRgn(window, region, options.redraw ? TRUE : FALSE)) ::DeleteObject(region);
    if (!options.afterShow) ::ShowWindow(window, SW_SHOWNOACTIVATE);
    ::UpdateWindow(window);

    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&message);
    // winex11 keeps the X window's id in this property of the HWND.
    const auto x11 = reinterpret_cast<UINT_PTR>(::GetPropA(window, "__wine_x11_whole_window"));
    RECT frame{};
    ::GetWindowRect(window, &frame);
    std::printf("{\"x11\": %llu, \"window\": [%ld, %ld, %ld, %ld], \"region\": %s}\n",
                static_cast<unsigned long long>(x11), frame.left, frame.top, frame.right - frame.left,
                frame.bottom - frame.top, tw::wine_tools::RegionJson(window).c_str());
    std::fflush(stdout);

    const auto mainThread = reinterpret_cast<void*>(static_cast<UINT_PTR>(::GetCurrentThreadId()));
    HANDLE reader = ::CreateThread(nullptr, 0, WaitForInput, mainThread, 0, nullptr);
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) ::DispatchMessageW(&message);
    if (reader != nullptr) ::CloseHandle(reader);
    ::DestroyWindow(window);
    return 0;
}
