// kobal_bench: speed of the parse thread's text work. Targets: a 200-byte title of mixed
// kanji and kana under 20 us, one EIT section under 50 us.
#include "broadcast/AribText.h"
#include "engine/Caption.h"
#include "engine/ProgrammeGuide.h"

#include <benchmark/benchmark.h>

#include <vector>

using namespace kobal;

namespace {

using Bytes = std::vector<uint8_t>;

// 200 bytes: kanji through GL, hiragana in GR, katakana by single shift and locking shift.
Bytes mixedTitle() {
    const Bytes piece = {0x0F, 0x30, 0x21, 0x45, 0x6C, 0xA4, 0xA2, 0xCE, 0x1D, 0x25,
                         0x1B, 0x6F, 0x2B, 0x73, 0x0F, 0x35, 0x7E, 0xA4, 0xCF, 0xB2};
    Bytes b;
    while (b.size() < 200) b.insert(b.end(), piece.begin(), piece.end());
    b.resize(200);
    return b;
}

uint8_t bcd(int v) {
    return uint8_t(((v / 10) << 4) | (v % 10));
}

// A present/following section with one event: a 60-byte title and a 160-byte text, and the
// extended descriptors a real guide carries behind the short event descriptor.
Bytes eitSection() {
    Bytes title = mixedTitle();
    title.resize(60);
    Bytes text = mixedTitle();
    text.resize(160);
    Bytes d = {0x4D, uint8_t(5 + title.size() + text.size()), 'j', 'p', 'n', uint8_t(title.size())};
    d.insert(d.end(), title.begin(), title.end());
    d.push_back(uint8_t(text.size()));
    d.insert(d.end(), text.begin(), text.end());
    Bytes extended(200, 0xA2);
    d.insert(d.end(), {0x4E, uint8_t(extended.size())});
    d.insert(d.end(), extended.begin(), extended.end());
    Bytes s = {0x4E,
               0,
               0,
               0x5D,
               0xB8,
               0xC1,
               0,
               1,
               0x7F,
               0xE0,
               0x7F,
               0xE0,
               1,
               0x4E,
               0x01,
               0x00,
               0xE8,
               0x0B,
               bcd(21),
               bcd(30),
               0,
               0x01,
               0x30,
               0x00,
               uint8_t(0x80 | (d.size() >> 8)),
               uint8_t(d.size())};
    s.insert(s.end(), d.begin(), d.end());
    s.insert(s.end(), {0, 0, 0, 0});
    size_t len = s.size() - 3;
    s[1] = uint8_t(0xF0 | (len >> 8));
    s[2] = uint8_t(len);
    return s;
}

void BM_TitleDecode(benchmark::State& state) {
    const Bytes title = mixedTitle();
    for (auto _ : state) {
        std::u16string s = decodeAribProgramme(title.data(), title.size(), false);
        benchmark::DoNotOptimize(s);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(title.size()));
}
BENCHMARK(BM_TitleDecode);

void BM_EitSectionParse(benchmark::State& state) {
    const Bytes section = eitSection();
    ProgrammeGuide guide;
    for (auto _ : state) {
        size_t end = guide.parseSection(section.data(), section.size());
        benchmark::DoNotOptimize(end);
        guide.rebuildTicker();
    }
}
BENCHMARK(BM_EitSectionParse);

void BM_CaptionStatement(benchmark::State& state) {
    const Bytes body = {0x0c, 0x87, 0xba, 0xa3, 0xc6, 0xfc, 0xa4, 0xcf, 0x20, 0xa4,
                        0xa4, 0xa4, 0xa4, 0xc5, 0xb7, 0xb5, 0xa4, 0x0d, 0x81, 0xa3,
                        0xce, 0xa3, 0xc8, 0xa3, 0xcb, 0x89, 0xa3, 0xb1, 0xa3, 0xb2,
                        0xa3, 0xb3, 0x8a, 0xfc, 0xa1, 0x9d, 0x20, 0x4a};
    Bytes d = {0x80,
               0xff,
               0xf0,
               0x04,
               0x00,
               0x00,
               0x00,
               0x00,
               0x3f,
               0x00,
               0x00,
               uint8_t(body.size() + 5),
               0x1f,
               0x20,
               0x00,
               0x00,
               uint8_t(body.size())};
    d.insert(d.end(), body.begin(), body.end());
    CaptionDecoder dec;
    for (auto _ : state) benchmark::DoNotOptimize(dec.decodePesData(d.data(), d.size()));
}
BENCHMARK(BM_CaptionStatement);

} // namespace

BENCHMARK_MAIN();
