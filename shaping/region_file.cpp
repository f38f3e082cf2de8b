// The region data file: the outline's RGNDATA bytes, as GetRegionData gives them.
#include <vector>

#include "platform/portable/errors.h"
#include "platform/ports/adapter_hooks.h"
#include "shaping/clsTransForm.h"

namespace tw {

void clsTransForm::SaveRegionDataToFile(const std::string& FileName) const {
    try {
        const std::uint32_t size = GetRegionData(hRgn.get(), 0, nullptr);
        if (size < 1) {
            throw RuntimeError(kErrRegionSize, kSaveSource,
                               "Unable to determine size of region in SaveRegionDataToFile");
        }
        std::vector<std::uint8_t> buffer(size);
        if (GetRegionData(hRgn.get(), size, buffer.data()) != size) {
            throw RuntimeError(kErrRegionData, kSaveSource,
                               "Unable to get region data in SaveRegionDataToFile");
        }
        // The old file stays until the new one is complete: deleting it first
        // would lose the cached outline whenever the write fails.
        files::ReplaceFileContents(FileName, buffer);
    } catch (...) {
        throw CurrentErrorAsRuntimeError().WithSource(kSaveSource);
    }
}

RegionHandle clsTransForm::LoadRegionDataFromFile(const std::string& FileName) const {
    try {
        const auto bytes = files::ReadWholeFile(FileName, kMaxRgnDataBytes);
        if (!bytes) return nullptr;  // too long to be region data
        // The classic loader sized its buffer as length - 1, which fails for
        // an empty file.
        if (bytes->empty()) throw ClassicError(err::kSubscriptOutOfRange);
        return ExtCreateRegion(*bytes);
    } catch (...) {
        throw CurrentErrorAsRuntimeError().WithSource(LoadSource());
    }
}

}  // namespace tw
