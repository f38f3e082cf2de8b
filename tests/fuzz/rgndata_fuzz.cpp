// Feeds arbitrary bytes to the RGNDATA decoder and, through a file, to the
// shaper's loader; saves what decodes and checks that it reads back the same.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <span>
#include <string>

#include "platform/portable/errors.h"
#include "platform/ports/adapter_hooks.h"
#include "platform/portable/region.h"
#include "shaping/clsTransForm.h"
#include "tests/support/fakes.h"
#include "tests/support/region_file_access.h"

namespace {

using tw::RegionHandle;

#define FUZZ_CHECK(condition)                                                          \
    do {                                                                               \
        if (!(condition)) {                                                            \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                              \
        }                                                                              \
    } while (false)

std::string g_folder;

void RemoveFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(g_folder, ignored);
}

// Plain write, no fsync: the loader is under test here, not the disk.
void WriteFile(const std::string& path, std::span<const std::uint8_t> bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    FUZZ_CHECK(fd >= 0);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        FUZZ_CHECK(n > 0);
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
}

void CheckDecoder(const RegionHandle& region) {
    if (!region) return;
    FUZZ_CHECK(region->IsCanonical());
    const auto encoded = tw::EncodeRegionData(*region);
    FUZZ_CHECK(encoded.size() == tw::kRgnDataHeaderSize + region->Rects().size() * tw::kRgnDataRectSize);
    FUZZ_CHECK(tw::GetRegionData(region.get(), 0, nullptr) == encoded.size());
    const RegionHandle again = tw::ExtCreateRegion(encoded);
    FUZZ_CHECK(again && *again == *region);
    // Encoding canonical data is a fixed point.
    FUZZ_CHECK(tw::EncodeRegionData(*again) == encoded);
}

void CheckReader(const std::string& path, std::span<const std::uint8_t> bytes) {
    // A limit taken from the input itself, so both sides of it get exercised.
    const std::size_t limit = bytes.empty() ? 0 : bytes[0] % 64 + bytes.size() / 2;
    const auto read = tw::files::ReadWholeFile(path, limit);
    FUZZ_CHECK(read.has_value() == (bytes.size() <= limit));
    if (read) FUZZ_CHECK(std::equal(read->begin(), read->end(), bytes.begin(), bytes.end()));
}

void CheckLoader(const tw::clsTransForm& shaper, const std::string& path,
                 std::span<const std::uint8_t> bytes, const RegionHandle& decoded) {
    try {
        const RegionHandle loaded = tw::RegionFileAccess::Load(shaper, path);
        FUZZ_CHECK(!bytes.empty());
        FUZZ_CHECK((loaded == nullptr) == (decoded == nullptr));
        if (loaded) FUZZ_CHECK(*loaded == *decoded);
    } catch (const tw::RuntimeError& error) {
        FUZZ_CHECK(bytes.empty());
        FUZZ_CHECK(error.Number() == tw::err::kSubscriptOutOfRange);
        FUZZ_CHECK(error.Source() == tw::clsTransForm::LoadSource());
    }
}

void CheckSaver(tw::clsTransForm& shaper, const std::string& path, const RegionHandle& decoded) {
    if (!decoded) return;
    tw::RegionFileAccess::Hold(shaper, std::make_unique<tw::Region>(*decoded));
    tw::RegionFileAccess::Save(shaper, path);
    const RegionHandle loaded = tw::RegionFileAccess::Load(shaper, path);
    FUZZ_CHECK(loaded && *loaded == *decoded);
    tw::RegionFileAccess::Hold(shaper, nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // tmpfs where there is one: the saver syncs every file it writes.
    const char* base = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    std::string pattern = std::string(base) + "/tw-fuzz-XXXXXX";
    FUZZ_CHECK(::mkdtemp(pattern.data()) != nullptr);
    g_folder = pattern;
    std::atexit(RemoveFolder);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    const RegionHandle decoded = tw::ExtCreateRegion(bytes);
    CheckDecoder(decoded);

    tw::testing::FakeWindowSystem windows;
    tw::clsTransForm shaper(windows);
    const std::string input = g_folder + "/input.rgn";
    WriteFile(input, bytes);
    CheckReader(input, bytes);
    CheckLoader(shaper, input, bytes, decoded);
    CheckSaver(shaper, g_folder + "/saved.rgn", decoded);
    return 0;
}
