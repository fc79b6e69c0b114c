#pragma once
// kobal_player --stats: measures the whole player as a person uses it, in its own temporary
// install folder: cold start to the first picture, channel changes (button press to the first
// picture of the new channel; min/median/max), CPU of the whole process in the normal and the
// theater view, resident memory. Use the replay tuner (KOBAL_TUNER=replay) so the simulator's
// encoders do not count.
//   --changes N (20)  --seconds S (20, per view)  --area A (7)  --theater WxH (1920x1080)
#include <QStringList>

namespace kobal {
int runPlayerStats(const QStringList& args);
}
