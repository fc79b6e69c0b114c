#pragma once
// The service information a simulated one-segment station airs: PAT, PMT (on 0x1FC8), SDT,
// the present/following EIT, NIT and TOT, built as complete sections with CRC.
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace veltra {

struct ServiceInfo {
    uint16_t transportStreamId = 0x7FE0;
    uint16_t originalNetworkId = 0x7FE0;
    uint16_t serviceId = 0xE080;
    uint16_t pmtPid = 0x1FC8;
    uint16_t pcrPid = 0x01FF;
    uint16_t videoPid = 0x0181;
    uint16_t audioPid = 0x0183;
    uint16_t captionPid = 0x0187;
    bool captions = true;
    bool dualMono = false;
    std::u16string provider;
    std::u16string name;
    int remoteKey = 1;        // remote-control key the NIT names for the station (1..12)
    int physicalChannel = 27; // UHF channel, for the NIT's delivery system descriptor
};

// One programme of the guide. duration < 0: open-ended (aired as 0xFFFFFF).
struct Programme {
    uint16_t eventId = 0;
    time_t start = 0;
    int duration = 0;
    std::u16string title;
    std::u16string text;
};

std::vector<uint8_t> buildPat(const ServiceInfo& s);
std::vector<uint8_t> buildPmt(const ServiceInfo& s);
std::vector<uint8_t> buildSdt(const ServiceInfo& s);
// EIT present/following (table 0x4E) section `section` of `lastSection`, one event.
std::vector<uint8_t> buildEit(const ServiceInfo& s, int section, int lastSection, uint8_t version,
                              const Programme& p);

// NIT of the actual network (table 0x40, PID 0x0010), as a receiver or tuner server needs it
// to take the channel for a terrestrial one: network id (= original network id), network
// name, and for the one transport stream its delivery system (frequency of the UHF channel),
// the TS information descriptor (remote-control key, name, layer A with the service), the
// partial-reception descriptor naming the one-segment service and the service list.
std::vector<uint8_t> buildNit(const ServiceInfo& s, uint8_t version);
// TOT (table 0x73, PID 0x0014): local time `t` (Japan standard time as aired), with the
// local time offset descriptor (no daylight saving).
std::vector<uint8_t> buildTot(time_t t);

// The station's programme grid, following local wall-clock time: half-hour programmes from
// 04:00 to 23:30, a late programme from 23:30 across midnight to 00:40, then an open-ended
// one until 04:00. programmeAt(t, 0) is the one on the air at t, 1 the next, 2 the one after.
Programme programmeAt(int stationIndex, const std::u16string& stationName, time_t t, int ahead);

} // namespace veltra
