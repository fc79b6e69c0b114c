// kobal_skinbench: what the skin costs. The region builder runs once per window (per size
// change for the update dialog) and a window's region should cost well under a millisecond;
// the channel list is rendered on every repaint; the main window's frame on every
// erase-background; a GIF is split and decoded once per Load.
#include "ui/AnimatedPicture.h"
#include "ui/ChannelListBox.h"
#include "ui/GifSplitter.h"
#include "ui/ShapedRegion.h"
#include "ui/SkinFonts.h"
#include "ui/SkinPictures.h"

#include <QApplication>
#include <benchmark/benchmark.h>

using namespace kobal;

namespace {

void RegionChannelWindow(benchmark::State& state) {
    const QImage skin = skinImage("413");
    for (auto _ : state) benchmark::DoNotOptimize(regionFromBitmap(skin, kKeyGreen));
}
BENCHMARK(RegionChannelWindow)->Unit(benchmark::kMicrosecond);

void RegionUpdateDialog(benchmark::State& state) {
    const QImage skin = skinImage("129");
    for (auto _ : state) benchmark::DoNotOptimize(regionFromBitmap(skin, kKeyGreen));
}
BENCHMARK(RegionUpdateDialog)->Unit(benchmark::kMicrosecond);

void RoundedOutline(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(roundedOutline(0, 0, 358, 440));
}
BENCHMARK(RoundedOutline)->Unit(benchmark::kMicrosecond);

void SplitStartupGif2x(benchmark::State& state) {
    const QByteArray gif = skinBytes("501.gif", 2);
    for (auto _ : state) benchmark::DoNotOptimize(splitGif(gif));
}
BENCHMARK(SplitStartupGif2x)->Unit(benchmark::kMicrosecond);

void LoadStartupGif2x(benchmark::State& state) {
    const QByteArray gif = skinBytes("501.gif", 2);
    CAnimatedPicture picture;
    for (auto _ : state) benchmark::DoNotOptimize(picture.Load(gif, 2));
}
BENCHMARK(LoadStartupGif2x)->Unit(benchmark::kMillisecond);

void RenderChannelList(benchmark::State& state) {
    std::vector<ChannelListItem> items;
    for (int i = 0; i < 20; ++i)
        items.push_back({QString("%1    チャンネル %1").arg(13 + i), i % 2 == 0, {}});
    const QFont font = skinFont(kFontMincho, 9);
    const qreal dpr = qreal(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(renderChannelList(items, 0, 3, true, {180, 261}, font, dpr));
}
BENCHMARK(RenderChannelList)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

void RenderMainFrame(benchmark::State& state) {
    const int scale = int(state.range(0));
    for (auto _ : state) benchmark::DoNotOptimize(renderMainFrame({358, 440}, scale));
}
BENCHMARK(RenderMainFrame)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    installFontSubstitutions();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
