#include "app/frmMain_layout.h"

#include "assets/embedded.h"

namespace tw {

const FormLayout& frmMainLayout() {
    static const FormLayout layout = [] {
        FormLayout f;
        f.name = "frmMain";
        f.title = "";
        f.clientWidth = 183;  // 2745 x 3165 twips
        f.clientHeight = 211;
        f.frameless = true;
        f.showInTaskbar = false;
        f.topmost = false;
        f.centreOnScreen = true;
        f.backColour = kColourHighlightText;
        f.pictureBmp = assets::window_bmp();
        f.keyColour = kKeyColour;
        static const PictureRendition renditions[] = {{1.25, assets::window_125_png()},
                                                      {1.5, assets::window_150_png()},
                                                      {2.0, assets::window_200_png()},
                                                      {3.0, assets::window_300_png()}};
        f.pictureRenditions = renditions;
        f.iconIco = assets::icon_ico();
        f.font = FontLayout{"MS Sans Serif", 11, 400, 0};

        f.timers = {TimerLayout{"Timer1", 1, true}};

        // Creation order: Label2 before Label1.
        f.labels = {
            LabelLayout{"Label2", "Loading", PixelRect{40, 136, 105, 41}, kColourHighlightText, true,
                        HAlign::Centre, f.font},
            LabelLayout{"Label1", "Loading", PixelRect{24, 120, 129, 17}, kColourHighlightText, true,
                        HAlign::Centre, FontLayout{"MS Sans Serif", 13, 700, 178}},
        };

        f.menus = {MenuLayout{"menu", "",
                            {MenuItemLayout{"menuAbout", "About"}, MenuItemLayout{"line", "-"},
                             MenuItemLayout{"menuExit", "Exit"}}}};
        return f;
    }();
    return layout;
}

}  // namespace tw
