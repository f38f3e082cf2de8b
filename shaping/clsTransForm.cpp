#include "shaping/clsTransForm.h"

#include <utility>

#include "platform/portable/errors.h"
#include "platform/ports/adapter_hooks.h"
#include "shaping/colour_key_scan.h"

namespace tw {

void clsTransForm::SetRegion(ShapeableWindow& Objct, Colour Colr, const std::string& FileName) {
    const bool exists = files::FileExists(FileName);
    TargetForm = &Objct;
    // A region left over from a call that failed before the window took it
    // is freed as soon as hRgn takes the new one.
    if (exists) {
        hRgn = LoadRegionDataFromFile(FileName);
    } else {
        hRgn = CreateRegionFromPicture(TargetForm->Picture(), Colr);
        if (!FileName.empty()) SaveRegionDataToFile(FileName);
    }

    const WindowHandle h = TargetForm->hWnd();
    windowSystem_.SetWindowRgn(h, std::move(hRgn), true);
}

void clsTransForm::DragForm(WindowHandle hWnd, std::int16_t intButton) noexcept {
    if (intButton != vbLeftButton) return;
    ResumeNext([&] { windowSystem_.ReleaseCapture(); });
    ResumeNext([&] { windowSystem_.SendMessageA(hWnd, WM_NCLBUTTONDOWN, HTCAPTION, 0); });
}

std::string clsTransForm::LoadSource() { return files::ExeName() + ".cDIBSectionRegion"; }

}  // namespace tw
