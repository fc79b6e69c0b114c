// plist.lst: the bytes as a file, loaded and walked to its end.
#include "media/Playlist.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string file = [] {
        const char* tmp = std::getenv("TMPDIR");
        return std::string(tmp ? tmp : "/tmp") + "/kobal-fuzz-plist-" + std::to_string(getpid()) +
               ".lst";
    }();
    if (FILE* f = std::fopen(file.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    kobal::media::Playlist list;
    if (list.load(file)) {
        list.setIndex(list.count() - 1);
        list.current();
        list.advance();
    }
    std::remove(file.c_str());
    return 0;
}
