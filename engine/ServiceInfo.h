#pragma once
// The parse thread's reader of the service name (SDT), the present/following guide (EIT)
// and captions, reporting to an EngineOutputSink. It is the parse thread's SiSink: every call
// comes from the parse thread, with a packet's payload after any adaptation field.
#include "engine/Caption.h"
#include "engine/ProgrammeGuide.h"
#include "engine/SiSink.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace kobal {

class EngineOutputSink;

inline constexpr size_t kSectionCollectorSize = 4096;

class ServiceInfoReader : public SiSink {
public:
    explicit ServiceInfoReader(EngineOutputSink* out = nullptr) : out_(out) {}

    void setOutputs(EngineOutputSink* out) { out_ = out; }

    // Parse thread start: service name, guide, ticker and collector emptied.
    void onParseStart() override;
    // Pipeline reset (channel change): the section being collected is dropped, so the last
    // section of the old channel is never parsed.
    void onParseReset() override { fill_ = 0; }

    // An SDT packet with payload_unit_start: the status line gets the service name.
    void onSdtSection(const uint8_t* payload, size_t size) override;
    // Every EIT packet: sections are collected and parsed when the next one starts.
    void onEitSection(const uint8_t* payload, size_t size, bool unitStart) override;
    // The first packet of a caption PES.
    void onCaptionPes(const uint8_t* payload, size_t size) override;

    // Parse thread (and tests once it has stopped): the parse thread reassigns these. Other
    // threads get the name as a copy through the status line.
    const std::u16string& serviceName() const { return serviceName_; }
    const ProgrammeGuide& guide() const { return guide_; }
    const CaptionDecoder& captions() const { return captions_; }
    size_t collectedBytes() const { return fill_; }

private:
    void append(const uint8_t* p, size_t n);
    bool parseCollected();

    EngineOutputSink* out_;
    std::u16string serviceName_;
    ProgrammeGuide guide_;
    CaptionDecoder captions_;
    std::array<uint8_t, kSectionCollectorSize> collector_{};
    size_t fill_ = 0;
};

// The name of the service descriptor of the SDT's first service, decoded; empty when the
// name length is 0 or 512 and more. `payload` starts at the pointer field.
std::u16string sdtServiceName(const uint8_t* payload, size_t size);

} // namespace kobal
