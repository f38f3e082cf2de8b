#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "tests/support/temp_folder.h"
#include "platform/portable/errors.h"
#include "platform/portable/region.h"
#include "tests/support/region_file_access.h"
#include "shaping/clsTransForm.h"

namespace tw {
namespace {

using namespace testing;  // the scratch folder and its byte helpers

const std::string kLoadSource = "tallowind_unit_tests.cDIBSectionRegion";

void ExpectError(const std::optional<RuntimeError>& error, std::int32_t number,
                 const std::string& source) {
    ASSERT_TRUE(error.has_value()) << "expected error " << number;
    EXPECT_EQ(error->Number(), number);
    EXPECT_EQ(error->Source(), source);
    EXPECT_EQ(error->Description(), ClassicDescription(number));
}

TEST(RegionFile, LoadSourceIsTheExecutableNameWithTheClassSuffix) {
    EXPECT_EQ(clsTransForm::LoadSource(), kLoadSource);
}

TEST(RegionFile, LoadGivesTheRegionNoRegionOrAClassicErrorUnderTheLoadSource) {
    const Bytes valid = EncodeRegionData(SeveralBands());
    Bytes truncated = valid;
    truncated.pop_back();

    struct Case {
        const char* name;
        std::function<std::string(const TempFolder&)> prepare;  // gives the name to load
        std::int32_t error;                                     // 0: none
        std::optional<Region> region;                           // nullopt: null handle
    };
    const Case cases[] = {
        {"saved data", [&](const TempFolder& f) { WriteBytes(f / "r", valid); return f / "r"; }, 0,
         SeveralBands()},
        // The classic loader sized its buffer from the length minus one.
        {"0-byte file", [](const TempFolder& f) { WriteBytes(f / "r", {}); return f / "r"; },
         err::kSubscriptOutOfRange, std::nullopt},
        {"garbage", [](const TempFolder& f) { WriteBytes(f / "r", Bytes(100, 0xAB)); return f / "r"; },
         0, std::nullopt},
        {"last rectangle cut short",
         [&](const TempFolder& f) { WriteBytes(f / "r", truncated); return f / "r"; }, 0,
         std::nullopt},
        {"larger than any region data",
         [](const TempFolder& f) {
             // Sparse where the file system allows, so the test writes next to nothing.
             WriteBytes(f / "r", {});
             std::filesystem::resize_file(f / "r", kMaxRgnDataBytes + 1);
             return f / "r";
         },
         0, std::nullopt},
        {"missing file", [](const TempFolder& f) { return f / "missing.rgn"; }, err::kFileNotFound,
         std::nullopt},
        {"missing folder", [](const TempFolder& f) { return f / "nowhere/r.rgn"; },
         err::kPathNotFound, std::nullopt},
        {"a folder", [](const TempFolder& f) { return f.Path(); }, err::kPathFileAccessError,
         std::nullopt},
        {"NUL in the name", [](const TempFolder& f) { return f / std::string("r\0x", 3); },
         err::kBadFileNameOrNumber, std::nullopt},
        {"empty name", [](const TempFolder&) { return std::string(); }, err::kPathFileAccessError,
         std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder folder;
        const std::string name = c.prepare(folder);
        const LoadOutcome outcome = testing::LoadRegionFile(name);
        if (c.error != 0) {
            ExpectError(outcome.error, c.error, kLoadSource);
        } else {
            ASSERT_FALSE(outcome.error.has_value()) << outcome.error->Description();
        }
        ASSERT_EQ(outcome.region != nullptr, c.region.has_value());
        if (c.region) {
            EXPECT_EQ(*outcome.region, *c.region);
        }
    }
}

TEST(RegionFile, SaveWritesExactlyTheRegionDataOrLeavesTheOldFileAlone) {
    const Region region = SeveralBands();
    const Region empty;
    const Bytes old(EncodeRegionData(region).size() * 3, 0x5A);

    struct Case {
        const char* name;
        const Region* held;
        std::optional<Bytes> existing;
        std::string fileName;  // inside the scratch folder
        std::int32_t error;    // 0: none
        const char* text;      // expected description when it is not the classic one
    };
    const Case cases[] = {
        {"new file", &region, std::nullopt, "r.rgn", 0, nullptr},
        {"over a longer file", &region, old, "r.rgn", 0, nullptr},
        {"the empty region", &empty, old, "r.rgn", 0, nullptr},
        {"no region", nullptr, old, "r.rgn", kErrRegionSize,
         "Unable to determine size of region in SaveRegionDataToFile"},
        {"missing folder", &region, old, "nowhere/r.rgn", err::kPathNotFound, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder folder;
        const std::string target = folder / c.fileName;
        if (c.existing) WriteBytes(folder / "r.rgn", *c.existing);
        const auto before = FolderEntries(folder.Path());

        const auto error = testing::SaveRegionFile(c.held, target);

        if (c.error == 0) {
            ASSERT_FALSE(error.has_value()) << error->Description();
            EXPECT_EQ(ReadBytes(target), EncodeRegionData(*c.held)) << "exactly the new length";
            const LoadOutcome loaded = testing::LoadRegionFile(target);
            ASSERT_NE(loaded.region, nullptr);
            EXPECT_EQ(*loaded.region, *c.held);
            EXPECT_EQ(FolderEntries(folder.Path()), std::vector<std::string>{"r.rgn"});
            continue;
        }
        // The classic save deleted the old file before writing, so any failure lost it.
        ASSERT_TRUE(error.has_value());
        EXPECT_EQ(error->Number(), c.error);
        EXPECT_EQ(error->Source(), kSaveSource);
        EXPECT_EQ(error->Description(), c.text ? std::string(c.text) : std::string(ClassicDescription(c.error)));
        EXPECT_EQ(FolderEntries(folder.Path()), before);
        if (c.existing) {
            EXPECT_EQ(ReadBytes(folder / "r.rgn"), *c.existing);
        }
    }
}

}  // namespace
}  // namespace tw
