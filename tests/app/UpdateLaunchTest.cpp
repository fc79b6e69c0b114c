// The Help menu's update launch while a recording runs.
#include "app/UpdateLaunch.h"
#include "platform/Dialogs.h"

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
    int answer = IDNO;
    std::string asked;
    setMessageBoxHandler([&](const MessageBoxRequest& r) {
        asked = r.text + "|" + r.title;
        return answer;
    });

    EXPECT_EQ(LaunchUpdater(recorder), -1);
    EXPECT_EQ(asked, "録画中です。プレーヤーを終了しますか。|Kobal メッセージ");
    EXPECT_TRUE(steps.empty()); // the recording goes on, nothing started

    answer = IDYES;
    LaunchUpdater(recorder); // no kobal_update beside the test program: not reported
    EXPECT_EQ(steps, (std::vector<std::string>{"closing", "stop", "open"}));
    setMessageBoxHandler(nullptr);
}

} // namespace
} // namespace kobal
