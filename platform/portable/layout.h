// A window's layout as plain data: what the runtime builds a window from.
// Lengths are pixels at 96 dots per inch; the adapters scale them, the
// picture and its outline to the display scale (pixel_scale.h).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/portable/picture.h"
#include "platform/portable/renditions.h"

namespace tw {

// A colour value with the top bit set names an entry of the desktop's
// system colour table (0x80000000 | index); others are 0x00BBGGRR.
inline constexpr Colour kSystemColourFlag = 0x80000000u;
inline constexpr Colour kColourHighlightText = kSystemColourFlag | 14u;

constexpr int SystemColourIndex(Colour colour) { return static_cast<int>(colour & 0xFFu); }

struct FontLayout {
    std::string face;       // preferred face
    int pixelSize = 11;     // em height in pixels
    int weight = 400;       // 400 regular, 700 bold
    int charset = 0;
    bool italic = false;
    bool underline = false;
    bool strikeout = false;
};

struct PixelRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

struct TimerLayout {
    std::string name;
    int intervalMs = 0;  // 0: the timer never ticks
    bool enabled = true;
};

enum class HAlign { Left, Centre, Right };

struct LabelLayout {
    std::string name;
    std::string caption;
    PixelRect rect;
    Colour foreColour = kColourHighlightText;
    bool transparentBackground = true;
    HAlign alignment = HAlign::Centre;
    FontLayout font;
};

// A menu item of this caption shows as a separator line and cannot be chosen.
inline constexpr std::string_view kSeparatorCaption = "-";

struct MenuItemLayout {
    std::string name;
    std::string caption;
    bool IsSeparator() const { return caption == kSeparatorCaption; }
};

struct MenuLayout {
    std::string name;
    std::string caption;
    std::vector<MenuItemLayout> items;
};

struct FormLayout {
    std::string name;
    std::string title;
    int clientWidth = 0;
    int clientHeight = 0;
    bool frameless = true;
    bool showInTaskbar = false;
    bool topmost = false;
    bool centreOnScreen = true;  // else at the screen's top left corner
    Colour backColour = kColourHighlightText;
    std::span<const std::uint8_t> pictureBmp;  // drawn at (0, 0), at the display scale
    // The colour its load handler cuts away from the picture: where the
    // picture has it, the renditions are made to have it too.
    Colour keyColour = kWhite;
    std::span<const PictureRendition> pictureRenditions;  // the picture drawn larger, to resample from
    std::span<const std::uint8_t> iconIco;
    FontLayout font;
    // Controls, each kind in the order the runtime creates them.
    std::vector<TimerLayout> timers;
    std::vector<LabelLayout> labels;
    std::vector<MenuLayout> menus;
};

}  // namespace tw
