#include "shaping/clsTransForm.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/support/fakes.h"
#include "tests/support/temp_folder.h"
#include "platform/portable/errors.h"
#include "platform/ports/adapter_hooks.h"

namespace tw {
namespace {

using testing::Bytes;
using testing::FakeWindowSystem;
using testing::FolderEntries;
using testing::ReadBytes;
using testing::TempFolder;

constexpr Colour W = 0x00FFFFFF;
constexpr Colour R = 0x000000FF;
constexpr WindowHandle kWindow = 0x5150;

class NoPixelsPicture final : public Picture {
public:
    std::optional<PixelSource> OpenPixelSource() const override { return std::nullopt; }
};

class FakeWindow final : public ShapeableWindow {
public:
    explicit FakeWindow(std::shared_ptr<const tw::Picture> picture) : picture_(std::move(picture)) {}
    const tw::Picture& Picture() const override { return *picture_; }
    WindowHandle hWnd() const override { return kWindow; }
    void SetPicture(std::shared_ptr<const tw::Picture> picture) { picture_ = std::move(picture); }

private:
    std::shared_ptr<const tw::Picture> picture_;
};

std::shared_ptr<const Picture> Ornament() {
    // W R R W
    // R R R R
    // W R W R
    return std::make_shared<BitmapPicture>(std::make_shared<Bitmap>(
        4, 3, std::vector<Colour>{W, R, R, W, R, R, R, R, W, R, W, R}));
}
Region OrnamentOutline() {
    const Rect rects[] = {{1, 0, 3, 1}, {0, 1, 4, 2}, {1, 2, 2, 3}, {3, 2, 4, 3}};
    return Region::FromRects(rects);
}
// The same picture with red as the key: only the white pixels stay.
Region OrnamentWhitePixels() {
    const Rect rects[] = {{0, 0, 1, 1}, {3, 0, 4, 1}, {0, 2, 1, 3}, {2, 2, 3, 3}};
    return Region::FromRects(rects);
}
std::shared_ptr<const Picture> SolidRed() {
    return std::make_shared<BitmapPicture>(std::make_shared<Bitmap>(2, 2, std::vector<Colour>(4, R)));
}

enum class Raised { Nothing, BySave, ByLoad };

struct Step {
    std::shared_ptr<const Picture> picture;
    Colour key;
    std::optional<std::string> fileName;  // in the scratch folder; nullopt: argument left out
    std::int32_t error = 0;
    Raised raised = Raised::Nothing;
};

struct Scenario {
    const char* name;
    std::vector<Step> steps;
    // Each expected region handed over, in order; nullopt for a null region.
    std::vector<std::optional<Region>> handed;
    std::function<void(const TempFolder&, FakeWindowSystem&)> check;
    std::function<void(const TempFolder&)> prepare = nullptr;
};

std::string FileArgument(const TempFolder& folder, const std::string& name) {
    return name.empty() ? std::string() : folder / name;
}

TEST(clsTransForm, SetRegion) {
    const auto noBitmap = std::make_shared<BitmapPicture>(nullptr);
    const auto noPixels = std::make_shared<NoPixelsPicture>();
    const auto folderIsEmpty = [](const TempFolder& f, FakeWindowSystem&) {
        EXPECT_TRUE(FolderEntries(f.Path()).empty());
    };

    const Scenario scenarios[] = {
        {"no file name: scan, nothing written", {{Ornament(), W, std::nullopt}}, {OrnamentOutline()},
         folderIsEmpty},
        {"empty file name: scan, nothing written", {{Ornament(), W, ""}}, {OrnamentOutline()},
         folderIsEmpty},
        {"key colour decides what is cut", {{Ornament(), R, ""}}, {OrnamentWhitePixels()},
         folderIsEmpty},
        {"new file: scanned outline written before it is handed over",
         {{Ornament(), W, "o.rgn"}},
         {OrnamentOutline()},
         [](const TempFolder& f, FakeWindowSystem& ws) {
             EXPECT_EQ(FolderEntries(f.Path()), std::vector<std::string>{"o.rgn"});
             const auto decoded = ExtCreateRegion(ReadBytes(f / "o.rgn"));
             ASSERT_NE(decoded, nullptr);
             EXPECT_EQ(*decoded, *ws.handed.at(0).region);
         }},
        {"existing file wins over a changed picture and key",
         {{Ornament(), W, "o.rgn"}, {SolidRed(), R, "o.rgn"}},
         {OrnamentOutline(), OrnamentOutline()},
         nullptr},
        {"second call leaves the first region with the window",
         {{Ornament(), W, ""}, {SolidRed(), W, ""}},
         {OrnamentOutline(), Region::FromRect(0, 0, 2, 2)},
         nullptr},
        {"picture without a bitmap: empty outline", {{noBitmap, W, ""}}, {Region()}, folderIsEmpty},
        {"no pixel source: no outline at all", {{noPixels, W, ""}}, {std::nullopt}, folderIsEmpty},
        // The scanned region used to be kept by the shaper after a failed save;
        // the next call must free it (ASan reports a leak otherwise).
        {"failed save keeps the shape, next call recovers",
         {{Ornament(), W, "missing/o.rgn", err::kPathNotFound, Raised::BySave},
          {SolidRed(), W, "o.rgn"}},
         {Region::FromRect(0, 0, 2, 2)},
         nullptr},
        {"no pixel source cannot be saved",
         {{noPixels, W, "o.rgn", kErrRegionSize, Raised::BySave}},
         {},
         folderIsEmpty},
        {"a 0-byte cache file is an error, not an empty outline",
         {{Ornament(), W, "z.rgn", err::kSubscriptOutOfRange, Raised::ByLoad}},
         {},
         nullptr,
         [](const TempFolder& f) { testing::WriteBytes(f / "z.rgn", {}); }},
    };

    for (const Scenario& s : scenarios) {
        SCOPED_TRACE(s.name);
        TempFolder folder;
        if (s.prepare) s.prepare(folder);
        FakeWindowSystem windows;
        clsTransForm shaper(windows);
        FakeWindow window(s.steps.front().picture);
        // What the cache file holds when the window is shaped: it must be written first.
        std::vector<std::optional<Bytes>> fileAtHandOver;
        Bytes firstWrite;
        std::filesystem::file_time_type backdated;

        for (const Step& step : s.steps) {
            window.SetPicture(step.picture);
            const std::string file = step.fileName ? FileArgument(folder, *step.fileName) : "";
            windows.onSetWindowRgn = [&](const Region*) {
                fileAtHandOver.push_back(files::FileExists(file) ? std::optional(ReadBytes(file))
                                                                 : std::nullopt);
            };
            try {
                if (step.fileName) {
                    shaper.SetRegion(window, step.key, file);
                } else {
                    shaper.SetRegion(window, step.key);
                }
                EXPECT_EQ(step.raised, Raised::Nothing) << "no error raised";
            } catch (const RuntimeError& error) {
                EXPECT_EQ(error.Number(), step.error) << error.Description();
                EXPECT_EQ(error.Source(), step.raised == Raised::BySave ? std::string(kSaveSource)
                                                                        : clsTransForm::LoadSource());
            }
            if (!file.empty() && firstWrite.empty() && files::FileExists(file)) {
                firstWrite = ReadBytes(file);
                // Backdated, so that any rewrite shows even with a coarse file
                // clock; read back, as the file system rounds it.
                std::filesystem::last_write_time(
                    file, std::filesystem::file_time_type::clock::now() - std::chrono::hours(1));
                backdated = std::filesystem::last_write_time(file);
            }
        }

        ASSERT_EQ(windows.handed.size(), s.handed.size());
        for (std::size_t i = 0; i < s.handed.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(windows.handed[i].window, kWindow);
            EXPECT_TRUE(windows.handed[i].redraw);
            ASSERT_EQ(windows.handed[i].region != nullptr, s.handed[i].has_value());
            if (s.handed[i]) {
                EXPECT_EQ(*windows.handed[i].region, *s.handed[i]);
                EXPECT_TRUE(windows.handed[i].region->IsCanonical());
            }
            // A cache file named in the call already holds the handed region.
            if (fileAtHandOver[i]) {
                const auto decoded = ExtCreateRegion(*fileAtHandOver[i]);
                ASSERT_NE(decoded, nullptr);
                EXPECT_EQ(*decoded, *windows.handed[i].region);
            }
        }
        // A file that was there is never rewritten.
        const std::string last = s.steps.back().fileName.value_or("");
        if (!firstWrite.empty() && !last.empty()) {
            EXPECT_EQ(ReadBytes(folder / last), firstWrite);
            EXPECT_TRUE(std::filesystem::last_write_time(folder / last) == backdated);
        }
        if (s.check) s.check(folder, windows);
    }
}

TEST(clsTransForm, DragFormStartsTheSystemMoveForTheLeftButtonOnly) {
    const std::vector<std::string> move = {"ReleaseCapture",
                                           "SendMessageA " + std::to_string(kWindow) + " 161 2 0"};
    struct Case {
        std::int16_t button;
        bool releaseThrows;
        bool sendThrows;
        std::vector<std::string> calls;
    };
    const Case cases[] = {
        {1, false, false, move},
        {2, false, false, {}},
        {4, false, false, {}},
        {0, false, false, {}},
        {-1, false, false, {}},
        // Resume-next: a failing step is skipped, the next one still runs.
        {1, true, false, move},
        {1, false, true, move},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "button " << c.button << " throws " << c.releaseThrows
                                          << c.sendThrows);
        FakeWindowSystem windows;
        windows.releaseCaptureThrows = c.releaseThrows;
        windows.sendMessageThrows = c.sendThrows;
        clsTransForm shaper(windows);
        shaper.DragForm(kWindow, c.button);
        EXPECT_EQ(windows.log, c.calls);
        EXPECT_TRUE(windows.handed.empty());
    }
}

}  // namespace
}  // namespace tw
