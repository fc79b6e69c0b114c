// The Help menu's update launch while a recording runs.
#include "app/UpdateLaunch.h"
#include "platform/Dialogs.h"
#include "tests/support/MessageBoxRecorder.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace kobal {
namespace {

TEST(UpdateLaunch, RecordingStopsOnlyWhenTheUserAgrees) {
    std::vector<std::string> steps;
    UpdateLaunchRecorder recorder{
        [] { return true; }, [&](bool closing) { steps.push_back(closing ? "closing" : "open"); },
        [&] { steps.push_back("stop"); }};
    test::MessageBoxRecorder boxes;
    boxes.answer = IDNO;

    EXPECT_EQ(LaunchUpdater(recorder), -1);
    EXPECT_EQ(boxes.titled,
              std::vector<std::string>{"Kobal メッセージ: 録画中です。プレーヤーを終了しますか。"});
    EXPECT_TRUE(steps.empty()); // the recording goes on, nothing started

    boxes.answer = IDYES;
    LaunchUpdater(recorder); // no kobal_update beside the test program: not reported
    EXPECT_EQ(steps, (std::vector<std::string>{"closing", "stop", "open"}));
}

} // namespace
} // namespace kobal
