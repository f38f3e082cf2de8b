// The window shaper: gives a window the outline of its picture, with one
// colour made transparent, optionally cached in a region data file.
#pragma once

#include <cstdint>
#include <string>

#include "platform/portable/picture.h"
#include "platform/portable/region.h"
#include "platform/ports/adapter_hooks.h"
#include "platform/ports/ui.h"
#include "platform/ports/window_system.h"

namespace tw {

inline constexpr std::int32_t kErrRegionSize = static_cast<std::int32_t>(0x800409D2u);
inline constexpr std::int32_t kErrRegionData = static_cast<std::int32_t>(0x800409D1u);
inline constexpr const char* kSaveSource = "TransForm";

class clsTransForm {
public:
    explicit clsTransForm(WindowSystem& windowSystem = DesktopWindowSystem())
        : windowSystem_(windowSystem) {}

    // Shapes Objct to its picture minus the pixels of colour Colr. With a
    // FileName that exists, the outline is loaded from it instead; with a
    // FileName that does not, the scanned outline is saved there first.
    // Errors of loading and saving reach the caller and leave the window's
    // shape as it was.
    void SetRegion(ShapeableWindow& Objct, Colour Colr, const std::string& FileName = "");

    // For the left button, the window system's own move of the window.
    void DragForm(WindowHandle hWnd, std::int16_t intButton) noexcept;

    // Load source: the executable name followed by ".cDIBSectionRegion".
    static std::string LoadSource();

private:
    friend class RegionFileAccess;  // lets tests reach the file operations

    void SaveRegionDataToFile(const std::string& FileName) const;
    RegionHandle LoadRegionDataFromFile(const std::string& FileName) const;

    WindowSystem& windowSystem_;
    ShapeableWindow* TargetForm = nullptr;
    // Built and still owned by this object; handed over (and so null) once
    // the window has it.
    RegionHandle hRgn;
};

}  // namespace tw
