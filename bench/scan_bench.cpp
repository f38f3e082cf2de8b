// Times CreateRegionFromPicture against pixman building the same region in one
// go from its rows' runs, and prints the ratio with the targets after the run.
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "assets/embedded.h"
#include "platform/portable/picture.h"
#include "shaping/colour_key_scan.h"

namespace {

using tw::Bitmap;
using tw::Colour;

constexpr Colour kKey = 0x00FFFFFF;

std::shared_ptr<const Bitmap> Shipped() {
    return std::make_shared<Bitmap>(Bitmap::FromBmp(tw::assets::window_bmp()));
}

// A bauble on white: shaded disc, a ring-shaped hanging loop above it, white
// flecks inside and a near-white fringe that must stay.
std::shared_ptr<const Bitmap> Ornament(std::int32_t n) {
    std::vector<Colour> px(static_cast<std::size_t>(n) * static_cast<std::size_t>(n), kKey);
    const double cx = n / 2.0;
    const double cy = n * 0.55;
    const double r = n * 0.4;
    const double loopY = cy - r - n * 0.05;
    const double loopOuter = n * 0.07;
    const double loopInner = n * 0.045;
    std::mt19937 rng(25);
    for (std::int32_t y = 0; y < n; ++y) {
        for (std::int32_t x = 0; x < n; ++x) {
            const double dx = x + 0.5 - cx;
            const double d = std::hypot(dx, y + 0.5 - cy);
            const double dl = std::hypot(dx, y + 0.5 - loopY);
            Colour& c = px[static_cast<std::size_t>(y) * static_cast<std::size_t>(n) + static_cast<std::size_t>(x)];
            if (d < r - 1.5) {
                const auto shade = static_cast<Colour>(40 + 150 * d / r);
                c = shade | (shade / 4) << 8 | 0x20u << 16;
                if (rng() % 1000 == 0) c = kKey;
            } else if (d < r) {
                c = (x + y) % 2 ? 0x00FFFFFE : 0x00FEFEFE;
            } else if (dl < loopOuter && dl >= loopInner) {
                c = 0x0030A0C0;
            }
        }
    }
    return std::make_shared<Bitmap>(n, n, std::move(px));
}

std::shared_ptr<const Bitmap> Noise(std::int32_t n) {
    std::vector<Colour> px(static_cast<std::size_t>(n) * static_cast<std::size_t>(n));
    std::mt19937 rng(1225);
    for (Colour& c : px) c = rng() % 2 ? kKey : (rng() & 0x00FFFFFE);
    return std::make_shared<Bitmap>(n, n, std::move(px));
}

std::shared_ptr<const Bitmap> Checker(std::int32_t n) {
    std::vector<Colour> px(static_cast<std::size_t>(n) * static_cast<std::size_t>(n));
    for (std::int32_t y = 0; y < n; ++y)
        for (std::int32_t x = 0; x < n; ++x)
            px[static_cast<std::size_t>(y) * static_cast<std::size_t>(n) + static_cast<std::size_t>(x)] =
                (x + y) % 2 ? kKey : 0;
    return std::make_shared<Bitmap>(n, n, std::move(px));
}

// The walk alone, without a region: what reading the pixels costs.
std::int64_t CountKeyRuns(const Bitmap& bmp) {
    const tw::PixelSource src = bmp.Pixels();
    std::int64_t runs = 0;
    for (std::int32_t y = 0; y < src.Height(); ++y) {
        const Colour* row = src.Row(y);
        std::int32_t x = 0;
        while (x < src.Width()) {
            while (x < src.Width() && row[x] != kKey) ++x;
            const std::int32_t start = x;
            while (x < src.Width() && row[x] == kKey) ++x;
            runs += start < x;
            if (x >= src.Width()) break;
            ++x;
        }
    }
    return runs;
}

void GatherRuns(const Bitmap& bmp, std::vector<pixman_box32_t>& boxes) {
    boxes.clear();
    const tw::PixelSource src = bmp.Pixels();
    for (std::int32_t y = 0; y < src.Height(); ++y) {
        const Colour* row = src.Row(y);
        std::int32_t x = 0;
        while (x < src.Width()) {
            while (x < src.Width() && row[x] == kKey) ++x;
            const std::int32_t start = x;
            while (x < src.Width() && row[x] != kKey) ++x;
            if (start < x) boxes.push_back({start, y, x, y + 1});
        }
    }
}

// Both engines must agree on the rectangles, or the timing compares nothing.
bool SameAsPixman(const Bitmap& bmp) {
    const tw::RegionHandle ours = tw::CreateRegionFromPicture(tw::BitmapPicture(
        std::make_shared<Bitmap>(bmp)), kKey);
    std::vector<pixman_box32_t> boxes;
    GatherRuns(bmp, boxes);
    pixman_region32_t reg;
    pixman_region32_init_rects(&reg, boxes.data(), static_cast<int>(boxes.size()));
    int n = 0;
    const pixman_box32_t* theirs = pixman_region32_rectangles(&reg, &n);
    bool same = ours && static_cast<std::size_t>(n) == ours->Rects().size();
    for (int i = 0; same && i < n; ++i) {
        const tw::Rect& r = ours->Rects()[static_cast<std::size_t>(i)];
        same = r.left == theirs[i].x1 && r.top == theirs[i].y1 && r.right == theirs[i].x2 &&
               r.bottom == theirs[i].y2;
    }
    pixman_region32_fini(&reg);
    return same;
}

struct Case {
    std::string name;
    std::shared_ptr<const Bitmap> bitmap;
};

// Google Benchmark 1.8 replaced Run::error_occurred by Run::skipped, which
// also counts a run skipped on purpose: either way it has no time to keep.
template <class Run>
bool Failed(const Run& run) {
    if constexpr (requires { run.skipped; }) {
        return static_cast<int>(run.skipped) != 0;
    } else {
        return run.error_occurred;
    }
}

// Keeps each benchmark's CPU time per iteration (the machines this runs on
// are shared, and wall time counts other programs' turns): the median when
// repetitions are asked for, otherwise the fastest run.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (Failed(run)) continue;
            const double ms =
                run.GetAdjustedCPUTime() / benchmark::GetTimeUnitMultiplier(run.time_unit) * 1e3;
            const std::string name = run.run_name.str();
            if (run.run_type == Run::RT_Aggregate) {
                if (run.aggregate_name == "median") median_[name] = ms;
            } else {
                auto [it, fresh] = fastest_.try_emplace(name, ms);
                if (!fresh) it->second = std::min(it->second, ms);
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    double Get(const std::string& name) const {
        if (const auto it = median_.find(name); it != median_.end()) return it->second;
        const auto it = fastest_.find(name);
        return it == fastest_.end() ? -1 : it->second;
    }

private:
    std::map<std::string, double> median_;
    std::map<std::string, double> fastest_;
};

}  // namespace

int main(int argc, char** argv) {
    const std::vector<Case> cases = {
        {"shipped_179x210", Shipped()},
        {"ornament_1024", Ornament(1024)},
        {"ornament_4096", Ornament(4096)},
        {"noise_1024", Noise(1024)},
        {"checker_1024", Checker(1024)},
    };
    for (const Case& c : cases) {
        const bool big = c.bitmap->Width() >= 1024;
        auto scan = [bmp = c.bitmap](benchmark::State& state) {
            const tw::BitmapPicture picture(bmp);
            std::size_t rects = 0;
            for (auto _ : state) {
                const tw::RegionHandle region = tw::CreateRegionFromPicture(picture, kKey);
                rects = region->Rects().size();
                benchmark::DoNotOptimize(rects);
            }
            state.counters["rects"] = static_cast<double>(rects);
        };
        auto pixman = [bmp = c.bitmap](benchmark::State& state) {
            std::vector<pixman_box32_t> boxes;
            int rects = 0;
            for (auto _ : state) {
                GatherRuns(*bmp, boxes);
                pixman_region32_t reg;
                pixman_region32_init_rects(&reg, boxes.data(), static_cast<int>(boxes.size()));
                rects = pixman_region32_n_rects(&reg);
                benchmark::DoNotOptimize(rects);
                pixman_region32_fini(&reg);
            }
            state.counters["rects"] = rects;
        };
        const auto unit = big ? benchmark::kMillisecond : benchmark::kMicrosecond;
        benchmark::RegisterBenchmark(("BM_Scan/" + c.name).c_str(), scan)->Unit(unit);
        benchmark::RegisterBenchmark(("BM_Pixman/" + c.name).c_str(), pixman)->Unit(unit);
    }

    // A 1024 picture stays in cache between iterations and a 4096 one cannot,
    // which alone makes reading pixels grow far more than 16x. Scanning 16
    // copies in turn gives the small picture the large one's footprint.
    std::vector<std::shared_ptr<const Bitmap>> copies;
    for (int i = 0; i < 16; ++i) copies.push_back(std::make_shared<Bitmap>(*cases[1].bitmap));
    benchmark::RegisterBenchmark("BM_Scan/ornament_1024_16_copies", [&copies](benchmark::State& state) {
        std::size_t next = 0;
        for (auto _ : state) {
            const tw::BitmapPicture picture(copies[next++ % copies.size()]);
            const tw::RegionHandle region = tw::CreateRegionFromPicture(picture, kKey);
            benchmark::DoNotOptimize(region->Rects().size());
        }
    })->Unit(benchmark::kMillisecond);
    for (const std::size_t i : {1u, 2u}) {
        benchmark::RegisterBenchmark(("BM_ReadPixels/" + cases[i].name).c_str(),
                                     [bmp = cases[i].bitmap](benchmark::State& state) {
                                         for (auto _ : state) benchmark::DoNotOptimize(CountKeyRuns(*bmp));
                                     })
            ->Unit(benchmark::kMillisecond);
    }

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    std::printf("\n%-18s %14s %14s %8s  %s\n", "picture", "ours cpu ms", "pixman cpu ms", "ratio",
                "same rects");
    for (const Case& c : cases) {
        const double ours = reporter.Get("BM_Scan/" + c.name);
        const double theirs = reporter.Get("BM_Pixman/" + c.name);
        if (ours < 0 || theirs < 0) continue;
        std::printf("%-18s %14.4f %14.4f %8.2f  %s\n", c.name.c_str(), ours, theirs, ours / theirs,
                    SameAsPixman(*c.bitmap) ? "yes" : "NO");
    }
    const double shipped = reporter.Get("BM_Scan/shipped_179x210");
    const double o1 = reporter.Get("BM_Scan/ornament_1024");
    const double o4 = reporter.Get("BM_Scan/ornament_4096");
    const double p4 = reporter.Get("BM_Pixman/ornament_4096");
    const double noise = reporter.Get("BM_Scan/noise_1024");
    const double checker = reporter.Get("BM_Scan/checker_1024");
    auto verdict = [](bool measured, bool ok) { return !measured ? "not run" : ok ? "met" : "MISSED"; };
    std::printf("\ntargets:\n");
    std::printf("  ornament 4096 within 2x of pixman: %.2fx  %s\n", o4 / p4,
                verdict(o4 > 0 && p4 > 0, o4 <= 2 * p4));
    std::printf("  shipped picture under 0.05 ms:    %.4f ms  %s\n", shipped,
                verdict(shipped > 0, shipped < 0.05));
    std::printf("  noise 1024 under 100 ms:          %.2f ms  %s\n", noise,
                verdict(noise > 0, noise < 100));
    std::printf("  checkerboard 1024 under 100 ms:   %.2f ms  %s\n", checker,
                verdict(checker > 0, checker < 100));
    const double o1Copies = reporter.Get("BM_Scan/ornament_1024_16_copies");
    const double r1 = reporter.Get("BM_ReadPixels/ornament_1024");
    const double r4 = reporter.Get("BM_ReadPixels/ornament_4096");
    std::printf("  ornament 1024 -> 4096 growth (16x the pixels; at most ~20x):\n");
    std::printf("    same memory footprint:          %.1fx  %s\n", o4 / o1Copies,
                verdict(o1Copies > 0 && o4 > 0, o4 / o1Copies <= 20));
    std::printf("    1024 warm in cache:             %.1fx  (reading the pixels alone: %.1fx)\n",
                o4 / o1, r4 / r1);
    return 0;
}
