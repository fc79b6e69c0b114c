#include "TestSupport.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>

namespace kobal::test {

std::string makeTempDir(const std::string& tag) {
    static int counter = 0;
    std::string dir = homeDir() + "/" + tag + "-" + std::to_string(++counter);
    std::filesystem::create_directories(dir);
    return dir;
}

std::string samplesDir() {
    return KOBAL_SAMPLES_DIR;
}
std::string binaryDir() {
    return KOBAL_BINARY_DIR;
}
std::string sourceDir() {
    return KOBAL_SOURCE_DIR;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

bool writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

double toneHz(const std::vector<int16_t>& s, int channel, int rate) {
    const size_t frames = s.size() / 2;
    if (frames < 2) return 0;
    int crossings = 0;
    for (size_t i = 1; i < frames; ++i)
        if ((s[2 * (i - 1) + channel] < 0) != (s[2 * i + channel] < 0)) ++crossings;
    return crossings / 2.0 / (double(frames) / rate);
}

int runCommand(const std::string& command, std::string* output) {
    FILE* p = popen(command.c_str(), "r");
    if (!p) return -1;
    std::array<char, 4096> buf{};
    size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), p)) > 0)
        if (output) output->append(buf.data(), n);
    int status = pclose(p);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace kobal::test
