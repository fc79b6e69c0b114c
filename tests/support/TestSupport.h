#pragma once
// Helpers shared by every test suite.
#include <string>

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

// Runs a shell command, returns its exit status and (optionally) its standard output.
int runCommand(const std::string& command, std::string* output = nullptr);

} // namespace kobal::test
