// Test-only access to clsTransForm's private file operations.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "platform/portable/errors.h"
#include "shaping/clsTransForm.h"
#include "tests/support/fakes.h"

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
};

namespace testing {

// Three bands; the middle one has two rectangles.
inline Region SeveralBands() {
    const Rect rects[] = {{2, 0, 8, 2}, {0, 2, 3, 5}, {5, 2, 10, 5}, {1, 5, 9, 6}};
    return Region::FromRects(rects);
}

struct LoadOutcome {
    std::optional<RuntimeError> error;
    RegionHandle region;
};

inline LoadOutcome LoadRegionFile(const std::string& fileName) {
    FakeWindowSystem windows;
    clsTransForm shaper(windows);
    LoadOutcome outcome;
    try {
        outcome.region = RegionFileAccess::Load(shaper, fileName);
    } catch (const RuntimeError& error) {
        outcome.error = error;
    }
    return outcome;
}

// Saves a copy of held (nothing held when null); the error, if any.
inline std::optional<RuntimeError> SaveRegionFile(const Region* held, const std::string& fileName) {
    FakeWindowSystem windows;
    clsTransForm shaper(windows);
    if (held) RegionFileAccess::Hold(shaper, std::make_unique<Region>(*held));
    try {
        RegionFileAccess::Save(shaper, fileName);
    } catch (const RuntimeError& error) {
        return error;
    }
    return std::nullopt;
}

}  // namespace testing
}  // namespace tw
