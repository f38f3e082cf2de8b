#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <optional>
#include <string>

#include "file_test_support.h"
#include "platform/errors.h"
#include "platform/region.h"
#include "region_file_access.h"
#include "shaping/clsTransForm.h"

namespace tw {
namespace {

using testing::Bytes;
using testing::FolderEntries;
using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

class NoWindowSystem final : public WindowSystem {
public:
    void SetWindowRgn(WindowHandle, RegionHandle, bool) override {}
    void ReleaseCapture() override {}
    std::intptr_t SendMessageA(WindowHandle, std::uint32_t, std::uintptr_t, std::intptr_t) override {
        return 0;
    }
};

// Three bands; the middle one has two rectangles.
Region SeveralBands() {
    const Rect rects[] = {{2, 0, 8, 2}, {0, 2, 3, 5}, {5, 2, 10, 5}, {1, 5, 9, 6}};
    return Region::FromRects(rects);
}

const std::string kLoadSource = "tallowind_unit_tests.cDIBSectionRegion";

struct Outcome {
    std::optional<RuntimeError> error;
    RegionHandle region;
};

Outcome Load(const std::string& fileName) {
    NoWindowSystem windows;
    clsTransForm shaper(windows);
    Outcome outcome;
    try {
        outcome.region = RegionFileAccess::Load(shaper, fileName);
    } catch (const RuntimeError& error) {
        outcome.error = error;
    }
    return outcome;
}

std::optional<RuntimeError> Save(const Region* held, const std::string& fileName) {
    NoWindowSystem windows;
    clsTransForm shaper(windows);
    if (held) RegionFileAccess::Hold(shaper, std::make_unique<Region>(*held));
    try {
        RegionFileAccess::Save(shaper, fileName);
    } catch (const RuntimeError& error) {
        return error;
    }
    return std::nullopt;
}

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
             // Sparse, so the test writes nothing; the loader must not read it either.
             const int fd = ::open((f / "r").c_str(), O_CREAT | O_WRONLY, 0600);
             EXPECT_EQ(::ftruncate(fd, static_cast<off_t>(kMaxRgnDataBytes) + 1), 0);
             ::close(fd);
             return f / "r";
         },
         0, std::nullopt},
        {"missing file", [](const TempFolder& f) { return f / "missing.rgn"; }, err::kFileNotFound,
         std::nullopt},
        {"missing folder", [](const TempFolder& f) { return f / "nowhere/r.rgn"; },
         err::kPathNotFound, std::nullopt},
        {"a folder", [](const TempFolder& f) { return f.Path(); }, err::kPathFileAccessError,
         std::nullopt},
        {"a device", [](const TempFolder&) { return std::string("/dev/zero"); },
         err::kPathFileAccessError, std::nullopt},
        // Opening a FIFO with no writer blocks forever unless the loader checks first.
        {"a FIFO with no writer",
         [](const TempFolder& f) {
             EXPECT_EQ(::mkfifo((f / "fifo").c_str(), 0600), 0);
             return f / "fifo";
         },
         err::kPathFileAccessError, std::nullopt},
        {"NUL in the name", [](const TempFolder& f) { return f / std::string("r\0x", 3); },
         err::kBadFileNameOrNumber, std::nullopt},
        {"empty name", [](const TempFolder&) { return std::string(); }, err::kPathFileAccessError,
         std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder folder;
        const std::string name = c.prepare(folder);
        const Outcome outcome = Load(name);
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

        const auto error = Save(c.held, target);

        if (c.error == 0) {
            ASSERT_FALSE(error.has_value()) << error->Description();
            EXPECT_EQ(ReadBytes(target), EncodeRegionData(*c.held)) << "exactly the new length";
            const Outcome loaded = Load(target);
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

// Runs a save in a child process, so that limits and identities set up for it
// do not leak into the rest of the tests.
std::optional<RuntimeError> SaveInChild(const std::function<bool()>& setUp, const Region& held,
                                        const std::string& fileName) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return ClassicError(-1, "pipe");
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(pipeFds[0]);
        std::string report = "setup";
        if (setUp()) {
            const auto error = Save(&held, fileName);
            report = error ? std::to_string(error->Number()) + "\n" + error->Source() : "ok";
        }
        const ssize_t ignored = ::write(pipeFds[1], report.data(), report.size());
        (void)ignored;
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    std::string report;
    char chunk[256];
    for (ssize_t n; (n = ::read(pipeFds[0], chunk, sizeof chunk)) > 0;) report.append(chunk, static_cast<std::size_t>(n));
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (report == "setup") return ClassicError(-1, "setup");
    if (report == "ok") return std::nullopt;
    const std::size_t newline = report.find('\n');
    if (newline == std::string::npos) return ClassicError(-1, "child died: " + std::to_string(status));
    const std::int32_t number = std::stoi(report.substr(0, newline));
    return ClassicError(number, report.substr(newline + 1));
}

struct RefusedWrite {
    const char* name;
    std::function<bool(const TempFolder&)> parentSetUp;  // false: cannot run here
    std::function<bool()> childSetUp;
    std::int32_t error;
};

TEST(RegionFile, AFailedSaveLeavesTheOldFileByteForByteAndNoTemporary) {
    const RefusedWrite cases[] = {
        // Permission bits do not stop root, so as root the save runs as nobody.
        {"read-only folder",
         [](const TempFolder& f) {
             return ::chmod(f.Path().c_str(), 0555) == 0 && ::chmod((f / "r.rgn").c_str(), 0644) == 0;
         },
         [] {
             if (::geteuid() != 0) return true;
             return ::setgroups(0, nullptr) == 0 && ::setgid(65534) == 0 && ::setuid(65534) == 0;
         },
         err::kPermissionDenied},
        // A file-size limit makes write() fail part way, as a full disk does.
        {"disk full",
         [](const TempFolder&) { return true; },
         [] {
             ::signal(SIGXFSZ, SIG_IGN);
             const rlimit limit{40, 40};
             return ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
         },
         err::kDiskFull},
    };
    const Region region = SeveralBands();
    ASSERT_GT(EncodeRegionData(region).size(), 40u);
    const Bytes old{'o', 'l', 'd', 0, 1, 2, 3};

    for (const RefusedWrite& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder folder;
        ASSERT_EQ(::chmod(folder.Path().c_str(), 0755), 0);  // reachable for nobody
        WriteBytes(folder / "r.rgn", old);
        ASSERT_TRUE(c.parentSetUp(folder));
        const auto before = FolderEntries(folder.Path());

        const auto error = SaveInChild(c.childSetUp, region, folder / "r.rgn");

        ASSERT_TRUE(error.has_value()) << "the save went through";
        ASSERT_NE(error->Number(), -1) << error->Source();
        EXPECT_EQ(error->Number(), c.error);
        EXPECT_EQ(error->Source(), kSaveSource);
        EXPECT_EQ(ReadBytes(folder / "r.rgn"), old);
        EXPECT_EQ(FolderEntries(folder.Path()), before);
    }
}

}  // namespace
}  // namespace tw
