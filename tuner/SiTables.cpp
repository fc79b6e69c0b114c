#include "tuner/SiTables.h"

#include "platform/Utf.h"
#include "tuner/AribEncoder.h"
#include "tuner/TsPackets.h"

namespace veltra {
namespace {

void put16(std::vector<uint8_t>& v, unsigned x) {
    v.push_back(static_cast<uint8_t>(x >> 8));
    v.push_back(static_cast<uint8_t>(x));
}

// Fills in section_length (12 bits at bytes 1-2, counting the CRC) and appends the CRC.
void finish(std::vector<uint8_t>& s, uint8_t flags = 0xB0) {
    const size_t length = s.size() - 3 + 4;
    s[1] = static_cast<uint8_t>(flags | ((length >> 8) & 0x0F));
    s[2] = static_cast<uint8_t>(length);
    ts::appendCrc(s);
}

uint8_t bcd(int v) {
    return static_cast<uint8_t>((v / 10) << 4 | (v % 10));
}

// Date (Modified Julian Date) and time of day (BCD) of local time t, five bytes.
void putTime(std::vector<uint8_t>& v, time_t t) {
    struct tm lt = {};
    localtime_r(&t, &lt);
    const int y = lt.tm_year, m = lt.tm_mon + 1, d = lt.tm_mday;
    const int l = (m == 1 || m == 2) ? 1 : 0;
    const int mjd = 14956 + d + static_cast<int>((y - l) * 365.25) +
                    static_cast<int>((m + 1 + l * 12) * 30.6001);
    put16(v, static_cast<unsigned>(mjd));
    v.push_back(bcd(lt.tm_hour));
    v.push_back(bcd(lt.tm_min));
    v.push_back(bcd(lt.tm_sec));
}

// Appends a descriptor: tag, length, body (at most 255 bytes are kept).
void putDescriptor(std::vector<uint8_t>& v, uint8_t tag, std::vector<uint8_t> body) {
    if (body.size() > 255) body.resize(255);
    v.push_back(tag);
    v.push_back(static_cast<uint8_t>(body.size()));
    v.insert(v.end(), body.begin(), body.end());
}

// The extension symbol [字] (caption service) as the decoders place it.
constexpr char16_t kSymbolCaption = 0xE14F;

std::u16string u(const char* utf8) {
    return kobal::utf8ToUtf16(utf8);
}

} // namespace

std::vector<uint8_t> buildPat(const ServiceInfo& s) {
    std::vector<uint8_t> v = {0x00, 0, 0};
    put16(v, s.transportStreamId);
    v.insert(v.end(), {0xC1, 0x00, 0x00});
    put16(v, s.serviceId);
    put16(v, 0xE000 | s.pmtPid);
    put16(v, 0x0000); // the network: NIT on 0x0010
    put16(v, 0xE010);
    finish(v);
    return v;
}

std::vector<uint8_t> buildPmt(const ServiceInfo& s) {
    std::vector<uint8_t> v = {0x02, 0, 0};
    put16(v, s.serviceId);
    v.insert(v.end(), {0xC1, 0x00, 0x00});
    put16(v, 0xE000 | s.pcrPid);
    put16(v, 0xF000); // no programme descriptors
    auto es = [&](uint8_t type, uint16_t pid, std::vector<uint8_t> desc) {
        v.push_back(type);
        put16(v, 0xE000 | pid);
        put16(v, 0xF000 | static_cast<unsigned>(desc.size()));
        v.insert(v.end(), desc.begin(), desc.end());
    };
    es(0x1B, s.videoPid, {0x52, 0x01, 0x81});
    es(0x0F, s.audioPid, {0x52, 0x01, 0x83});
    if (s.captions) es(0x06, s.captionPid, {0x52, 0x01, 0x87, 0xFD, 0x03, 0x00, 0x08, 0x3D});
    finish(v);
    return v;
}

std::vector<uint8_t> buildSdt(const ServiceInfo& s) {
    const std::string provider = encodeArib(s.provider, 64);
    const std::string name = encodeArib(s.name, 64);
    std::vector<uint8_t> v = {0x42, 0, 0};
    put16(v, s.transportStreamId);
    v.insert(v.end(), {0xC1, 0x00, 0x00});
    put16(v, s.originalNetworkId);
    v.push_back(0xFF);
    put16(v, s.serviceId);
    v.push_back(0xFD); // EIT present/following here (and the schedule flag, unused)
    std::vector<uint8_t> d = {0x48, 0, 0xC0, static_cast<uint8_t>(provider.size())};
    d.insert(d.end(), provider.begin(), provider.end());
    d.push_back(static_cast<uint8_t>(name.size()));
    d.insert(d.end(), name.begin(), name.end());
    d[1] = static_cast<uint8_t>(d.size() - 2);
    put16(v, 0x8000 | static_cast<unsigned>(d.size())); // running
    v.insert(v.end(), d.begin(), d.end());
    finish(v, 0xF0);
    return v;
}

std::vector<uint8_t> buildEit(const ServiceInfo& s, int section, int lastSection, uint8_t version,
                              const Programme& p) {
    std::vector<uint8_t> v = {0x4E, 0, 0};
    put16(v, s.serviceId);
    v.push_back(static_cast<uint8_t>(0xC1 | (version & 0x1F) << 1));
    v.push_back(static_cast<uint8_t>(section));
    v.push_back(static_cast<uint8_t>(lastSection));
    put16(v, s.transportStreamId);
    put16(v, s.originalNetworkId);
    v.push_back(static_cast<uint8_t>(lastSection));
    v.push_back(0x4E);

    put16(v, p.eventId);
    putTime(v, p.start);
    if (p.duration < 0) {
        v.insert(v.end(), {0xFF, 0xFF, 0xFF});
    } else {
        v.push_back(bcd(p.duration / 3600 % 100));
        v.push_back(bcd(p.duration / 60 % 60));
        v.push_back(bcd(p.duration % 60));
    }
    const size_t loopAt = v.size();
    put16(v, 0);

    const std::string title = encodeArib(p.title, 96);
    const std::string text = encodeArib(p.text, 150);
    std::vector<uint8_t> d1 = {0x4D, 0, 'j', 'p', 'n', static_cast<uint8_t>(title.size())};
    d1.insert(d1.end(), title.begin(), title.end());
    d1.push_back(static_cast<uint8_t>(text.size()));
    d1.insert(d1.end(), text.begin(), text.end());
    d1[1] = static_cast<uint8_t>(d1.size() - 2);
    v.insert(v.end(), d1.begin(), d1.end());

    // Audio component: mono, or dual mono (Japanese main, English sub) as bilingual
    // programmes are signalled.
    std::vector<uint8_t> d2 = {0xC4, 0,    0xF2, static_cast<uint8_t>(s.dualMono ? 0x02 : 0x01),
                               0x83, 0x0F, 0xFF, static_cast<uint8_t>(s.dualMono ? 0xEE : 0x6E),
                               'j',  'p',  'n'};
    if (s.dualMono) d2.insert(d2.end(), {'e', 'n', 'g'});
    d2[1] = static_cast<uint8_t>(d2.size() - 2);
    v.insert(v.end(), d2.begin(), d2.end());

    const size_t loop = v.size() - loopAt - 2;
    v[loopAt] = static_cast<uint8_t>(0x80 | (loop >> 8 & 0x0F)); // running
    v[loopAt + 1] = static_cast<uint8_t>(loop);
    finish(v, 0xF0);
    return v;
}

std::vector<uint8_t> buildNit(const ServiceInfo& s, uint8_t version) {
    const std::string name = encodeArib(s.name, 64);
    std::vector<uint8_t> v = {0x40, 0, 0};
    put16(v, s.originalNetworkId);
    v.push_back(static_cast<uint8_t>(0xC1 | (version & 0x1F) << 1));
    v.insert(v.end(), {0x00, 0x00});
    std::vector<uint8_t> network;
    putDescriptor(network, 0x40, std::vector<uint8_t>(name.begin(), name.end()));
    put16(v, 0xF000 | static_cast<unsigned>(network.size()));
    v.insert(v.end(), network.begin(), network.end());

    std::vector<uint8_t> ts;
    // Terrestrial delivery system: area code 0, guard interval 1/8, mode 3; the centre
    // frequency in 1/7 MHz (473 1/7 MHz for UHF 13, 6 MHz a channel).
    const unsigned freq = 3312 + 42 * static_cast<unsigned>(s.physicalChannel - 13);
    putDescriptor(ts, 0xFA,
                  {0x00, 0x0A, static_cast<uint8_t>(freq >> 8), static_cast<uint8_t>(freq)});
    // TS information: remote-control key, the name, one transmission type (layer A, the
    // partial-reception layer) carrying the one-segment service.
    std::vector<uint8_t> info = {static_cast<uint8_t>(s.remoteKey), 0};
    const std::string tsName = encodeArib(s.name, 40);
    info[1] = static_cast<uint8_t>(tsName.size() << 2 | 1);
    info.insert(info.end(), tsName.begin(), tsName.end());
    info.insert(info.end(), {0x0F, 0x01});
    put16(info, s.serviceId);
    putDescriptor(ts, 0xCD, info);
    putDescriptor(ts, 0xFB,
                  {static_cast<uint8_t>(s.serviceId >> 8), static_cast<uint8_t>(s.serviceId)});
    putDescriptor(
        ts, 0x41,
        {static_cast<uint8_t>(s.serviceId >> 8), static_cast<uint8_t>(s.serviceId), 0xC0});

    put16(v, 0xF000 | static_cast<unsigned>(6 + ts.size())); // the one transport stream
    put16(v, s.transportStreamId);
    put16(v, s.originalNetworkId);
    put16(v, 0xF000 | static_cast<unsigned>(ts.size()));
    v.insert(v.end(), ts.begin(), ts.end());
    finish(v, 0xF0);
    return v;
}

std::vector<uint8_t> buildTot(time_t t) {
    std::vector<uint8_t> v = {0x73, 0, 0};
    putTime(v, t);
    // Local time offset for Japan: +09:00, no change announced.
    std::vector<uint8_t> offset = {'J', 'P', 'N', 0x02, 0x09, 0x00};
    putTime(offset, 0);
    offset.insert(offset.end(), {0x00, 0x00});
    std::vector<uint8_t> loop;
    putDescriptor(loop, 0x58, offset);
    put16(v, 0xF000 | static_cast<unsigned>(loop.size()));
    v.insert(v.end(), loop.begin(), loop.end());
    finish(v, 0x70);
    return v;
}

Programme programmeAt(int stationIndex, const std::u16string& stationName, time_t t, int ahead) {
    struct tm lt = {};
    localtime_r(&t, &lt);
    struct tm mid = lt;
    mid.tm_hour = mid.tm_min = mid.tm_sec = 0;
    mid.tm_isdst = -1;
    const time_t midnight = mktime(&mid);
    const long sod = static_cast<long>(t - midnight);

    Programme p;
    long startOfDay = 0;
    int kind = 0; // 0 half-hour, 1 late (crosses midnight), 2 open-ended
    if (sod >= 4 * 3600 && sod < 23 * 3600 + 1800) {
        startOfDay = sod / 1800 * 1800;
    } else if (sod >= 23 * 3600 + 1800) {
        startOfDay = 23 * 3600 + 1800;
        kind = 1;
    } else if (sod < 40 * 60) {
        startOfDay = 23 * 3600 + 1800 - 86400;
        kind = 1;
    } else {
        startOfDay = 40 * 60;
        kind = 2;
    }
    p.start = midnight + startOfDay;
    p.duration = kind == 0 ? 1800 : kind == 1 ? 70 * 60 : -1;
    if (ahead > 0) {
        // The next programme starts where this one ends; after the open-ended one, at 04:00.
        const time_t next = p.duration >= 0 ? p.start + p.duration : midnight + 4 * 3600;
        return programmeAt(stationIndex, stationName, next, ahead - 1);
    }

    const long n = static_cast<long>(p.start / 1800);
    p.eventId = static_cast<uint16_t>(n & 0xFFFF);
    static const char* const titles[] = {"ニュース7　きょうの天気",    "ドラマ「東京の空」第3話",
                                         "アニメ　ねこのタマ",         "スポーツ中継　サッカーJ1",
                                         "料理の時間　かんたんレシピ", "旅番組　ふるさと紀行"};
    static const char* const texts[] = {
        "全国と地域のニュース、気象情報をお伝えします。",
        "下町の商店街を舞台に、家族の絆をえがくドラマ。出演：山田太郎、鈴木花子",
        "こねこのタマが町で大冒険！第12話「はじめての雪」",
        "首位攻防の一戦を、スタジアムから生中継でお届けします。",
        "冷蔵庫にある材料で作る、15分のかんたん料理。",
        "海と山のめぐみ、温泉街の人々をたずねます。"};
    if (kind == 1) {
        p.title = u("深夜映画劇場「星降る夜に」");
        p.text = u("真夜中をまたいでお送りする名作映画。字幕放送。");
    } else if (kind == 2) {
        p.title = u("放送休止中");
        p.text = u("テストパターンとお知らせをお送りしています。");
    } else {
        const long i = (n + stationIndex) % 6;
        p.title = u(titles[i]);
        p.text = stationName + u("がお送りします。") + u(texts[i]);
    }
    p.title += kSymbolCaption;
    return p;
}

} // namespace veltra
