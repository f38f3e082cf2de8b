// What a scale change costs in picture work: the enlarged picture as before
// against the rendition resampled to the scale (decoding aside), once each.
#include <benchmark/benchmark.h>

#include "assets/embedded.h"
#include "platform/portable/renditions.h"

namespace {

using tw::Bitmap;
using tw::PixelScale;

const Bitmap& Shipped() {
    static const Bitmap picture = Bitmap::FromBmp(tw::assets::window_bmp());
    return picture;
}

// The rendition BestRendition picks for a scale.
double RenditionFor(double scale) {
    return scale <= 1.25 ? 1.25 : scale <= 1.5 ? 1.5 : scale <= 2.0 ? 2.0 : 3.0;
}

void Enlarged(benchmark::State& state) {
    const PixelScale scale(static_cast<double>(state.range(0)) / 100.0);
    for (auto _ : state) benchmark::DoNotOptimize(tw::ScaleBitmap(Shipped(), scale));
}

void Resampled(benchmark::State& state) {
    const double factor = static_cast<double>(state.range(0)) / 100.0;
    const Bitmap rendition = tw::ScaleBitmap(Shipped(), PixelScale(RenditionFor(factor)));
    for (auto _ : state)
        benchmark::DoNotOptimize(tw::ScalePicture(Shipped(), tw::kWhite, &rendition, RenditionFor(factor), PixelScale(factor)));
}

BENCHMARK(Enlarged)->Arg(125)->Arg(150)->Arg(200)->Arg(300)->Unit(benchmark::kMillisecond);
BENCHMARK(Resampled)->Arg(125)->Arg(150)->Arg(200)->Arg(300)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
