// The player's end of the renderer link, shared by the data pump and the UI thread.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "engine/PlayerLinkEnd.h"
#include "engine/SharedMemoryLink.h"
#include "link/RendererLinkProtocol.h"
#include "tests/support/TestSupport.h"

using namespace kobal;
using namespace std::chrono_literals;

// A renderer that stays in the link but no longer takes records makes every send of the data
// pump wait a second under the link lock, and the pump takes the lock again at once for its
// next frame. The UI thread's record and its close of the link still get their turn.
TEST(PlayerLinkEnd, UiThreadIsNotStarvedByThePumpSendingToAReaderThatStoppedTaking) {
    PlayerLinkEnd link;
    ASSERT_TRUE(link.createIfMissing());
    auto renderer =
        SharedMemoryLink::open(records::kRendererLinkName, records::kRendererLinkDataSize, false,
                               records::kRendererPartyId);
    ASSERT_TRUE(renderer->connect());
    ASSERT_TRUE(link.connected());

    // At most this many sends (each a second): the pump ends even if nobody stops it.
    constexpr int kFrames = 12;
    std::atomic<int> placed{0};
    std::thread pump([&] {
        records::AudioFrameRecord frame;
        frame.header.type = records::kAudioFrame;
        frame.header.length = 0;
        for (int i = 0; i < kFrames; ++i) {
            if (link.deliverFrame(&frame, sizeof frame, true)) ++placed;
        }
    });
    // One send has waited its second out and placed its frame; the pump is in the next one.
    ASSERT_TRUE(test::waitUntil([&] { return placed >= 1; }, 10s));

    // The audio-channel record goes right after the send in progress (and its own wait).
    const records::CommandRecord sub{records::kAudioChannelCommand, 0, records::kAudioSub};
    int before = placed;
    EXPECT_TRUE(link.sendCommand(&sub, sizeof sub));
    EXPECT_LE(placed - before, 1) << "the record waited for later frames too";

    // The pump placed one more frame and waits for the reader in its next send. The close, as
    // the session runs it (pulse and close the events, then free the link), does not wait for
    // that send, and no frame goes out once it began.
    ASSERT_TRUE(test::waitUntil([&] { return placed > before + 1; }, 10s));
    before = placed;
    const auto t0 = std::chrono::steady_clock::now();
    link.closeEvents(true);
    link.destroy();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 2s);
    EXPECT_FALSE(link.exists());
    pump.join();
    EXPECT_EQ(placed, before);
}
