#pragma once
// Helpers shared by every test suite.
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kobal::test {

// The temporary KOBAL_HOME made for this test process (see TestMain.cpp).
std::string homeDir();

// A fresh empty folder below the test's home.
std::string makeTempDir(const std::string& tag);

// Folder of the shared real-broadcast samples, and of built programs.
std::string samplesDir();
std::string binaryDir();
std::string sourceDir();

// Whole-file helpers for tests.
std::string readFile(const std::string& path);
bool writeFile(const std::string& path, const std::string& bytes);

// Dominant tone of one channel of interleaved stereo samples (zero-crossing count).
double toneHz(const std::vector<int16_t>& stereo, int channel, int rate = 48000);

// Runs a shell command, returns its exit status and (optionally) its standard output.
int runCommand(const std::string& command, std::string* output = nullptr);

// The process's one Qt application object, made on first use and kept for the life of the
// process (objects of a test may outlive any scope). The first call decides its kind: widget
// tests need the full application, text on pictures a GUI one, event loops a core one.
enum class QtApp { Core, Gui, Widgets };
void ensureQtApp(QtApp kind = QtApp::Widgets);

// Waits until `done` holds or `limit` passes, looking every few milliseconds. Returns done()
// as it stands at the end. With `pumpEvents` it is pumpUntil.
bool waitUntil(const std::function<bool()>& done,
               std::chrono::milliseconds limit = std::chrono::seconds(60), bool pumpEvents = false);
// The same with the Qt event loop running meanwhile, for answers that arrive as queued events;
// deferred deletes are done as exec() would do them (a closed window's old graph, say).
bool pumpUntil(const std::function<bool()>& done,
               std::chrono::milliseconds limit = std::chrono::seconds(60));
// Runs the Qt event loop for `time`.
void pumpFor(std::chrono::milliseconds time);

} // namespace kobal::test
