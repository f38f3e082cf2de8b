// Test-only access to clsTransForm's private file operations.
#pragma once

#include <string>
#include <utility>

#include "shaping/clsTransForm.h"

namespace tw {

class RegionFileAccess {
public:
    static void Save(const clsTransForm& shaper, const std::string& fileName) {
        shaper.SaveRegionDataToFile(fileName);
    }
    static RegionHandle Load(const clsTransForm& shaper, const std::string& fileName) {
        return shaper.LoadRegionDataFromFile(fileName);
    }
    // The region the shaper owns before it is handed to a window.
    static void Hold(clsTransForm& shaper, RegionHandle region) { shaper.hRgn = std::move(region); }
    static const Region* Held(const clsTransForm& shaper) { return shaper.hRgn.get(); }
};

}  // namespace tw
