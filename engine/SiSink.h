#pragma once
// Where the parse thread hands the service-information and caption bytes it routes.
// Every call is made on the parse thread, without a lock; the pointers are valid only for
// the duration of the call. The default implementation ignores everything, so the engine
// streams audio and video without anyone reading tables.
#include <cstddef>
#include <cstdint>

namespace kobal {

class SiSink {
public:
    virtual ~SiSink() = default;

    // The parse thread has started: empty the service name, programme texts and ticker text.
    virtual void onParseStart() {}
    // The pipeline was reset (channel change): forget partial sections.
    virtual void onParseReset() {}

    // An SDT packet (PID 0x11) with payload_unit_start set. data is the packet payload after
    // any adaptation field, starting with the pointer field; length <= 184.
    virtual void onSdtSection(const uint8_t* data, size_t length) { (void)data, (void)length; }

    // Every EIT packet (PID 0x27) that carries payload. data is the payload after any
    // adaptation field (starting with the pointer field when unitStart is set); length <= 184.
    // Sections are collected across packets by the receiver.
    virtual void onEitSection(const uint8_t* data, size_t length, bool unitStart) {
        (void)data, (void)length, (void)unitStart;
    }

    // The first packet of a caption PES (caption PID, payload_unit_start set): data is the
    // packet payload after any adaptation field, beginning with the PES start code when the
    // packet is well formed; length <= 184.
    virtual void onCaptionPes(const uint8_t* data, size_t length) { (void)data, (void)length; }
};

} // namespace kobal
