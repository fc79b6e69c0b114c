// Private-profile INI files: the bytes as a file, read every way the programs read, then one
// write (which rewrites the whole file). The first line of the input names the section and
// key to look up.
#include "platform/Profile.h"

#include <cstdio>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string file = [] {
        const char* tmp = std::getenv("TMPDIR");
        return std::string(tmp ? tmp : "/tmp") + "/kobal-fuzz-profile-" + std::to_string(getpid()) +
               ".ini";
    }();
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    if (FILE* f = std::fopen(file.c_str(), "wb")) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    const size_t nl = bytes.find('\n');
    const std::string probe = bytes.substr(0, std::min<size_t>(nl, 64));
    const size_t eq = probe.find('=');
    const std::string section = probe.substr(0, eq);
    const std::string key = eq == std::string::npos ? "" : probe.substr(eq + 1);
    using kobal::Profile;
    Profile::getString(file, section, key, "default", 16);
    Profile::getInt(file, section, key, 7);
    for (const std::string& s : Profile::sections(file))
        for (const std::string& k : Profile::keys(file, s)) Profile::getString(file, s, k, "", 512);
    Profile::writeString(file, section, key, "value");
    std::remove(file.c_str());
    return 0;
}
