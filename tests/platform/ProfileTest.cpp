#include "platform/Profile.h"
#include "platform/Paths.h"
#include "platform/Registry.h"
#include "tests/support/TestSupport.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <random>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using kobal::Profile;
using kobal::test::readFile;
using kobal::test::writeFile;

namespace {
std::string iniPath(const std::string& name) {
    return kobal::test::makeTempDir("ini") + "/" + name;
}
} // namespace

TEST(Profile, MissingFileSectionOrKeyGiveTheDefault) {
    const std::string f = iniPath("config.ini");
    EXPECT_EQ(Profile::getString(f, "SETUP", "VOLUME_POS", "450"), "450");
    EXPECT_EQ(Profile::getInt(f, "SETUP", "AREA_NUM", -1), -1);
    writeFile(f, "[SETUP]\nALWAYS=1\n");
    EXPECT_EQ(Profile::getString(f, "DMBControl", "CurrentChannel", ""), "");
    EXPECT_EQ(Profile::getString(f, "SETUP", "MUTE", "0"), "0");
    EXPECT_FALSE(std::filesystem::exists(iniPath("never.ini")));
}

TEST(Profile, NamesAreCaseInsensitiveAndFirstDuplicateWins) {
    const std::string f = iniPath("config.ini");
    writeFile(f, "; comment line\n[setup]\n# another comment\n  volume_pos = 300 \nVOLUME_POS=999\n"
                 "[Other]\nVOLUME_POS=1\n");
    EXPECT_EQ(Profile::getString(f, "SETUP", "VOLUME_POS", "x"), "300");
    EXPECT_EQ(Profile::getInt(f, "Setup", "Volume_Pos", 0), 300);
    EXPECT_EQ(Profile::getInt(f, "other", "volume_pos", 0), 1);
    EXPECT_EQ(Profile::keys(f, "SETUP"), (std::vector<std::string>{"volume_pos", "VOLUME_POS"}));

    // A write replaces the first match in place and keeps the file's other lines.
    ASSERT_TRUE(Profile::writeInt(f, "SETUP", "Volume_Pos", 450));
    EXPECT_EQ(Profile::getInt(f, "SETUP", "VOLUME_POS", 0), 450);
    EXPECT_NE(readFile(f).find("; comment line"), std::string::npos);
    EXPECT_EQ(Profile::getInt(f, "Other", "VOLUME_POS", 0), 1);
}

TEST(Profile, ValuesAreCutAtTheBufferLength) {
    const std::string f = iniPath("chlist.ini");
    const std::string longName(120, 'A');
    ASSERT_TRUE(Profile::writeString(f, "LIST0", "CH0", longName));
    EXPECT_EQ(Profile::getString(f, "LIST0", "CH0", "", 50).size(), 49u);
    EXPECT_EQ(Profile::getString(f, "LIST0", "CH0", "", 0), longName);
    // Cuts count characters, never split a multi-byte character.
    ASSERT_TRUE(Profile::writeString(f, "LIST0", "CH1", "ＮＨＫ総合"));
    EXPECT_EQ(Profile::getString(f, "LIST0", "CH1", "", 4), "ＮＨＫ");
    // The default is cut the same way.
    EXPECT_EQ(Profile::getString(f, "LIST0", "none", "No-Channel", 3), "No");
}

TEST(Profile, WriteCreatesFileAndSectionAndReplacesAtomically) {
    const std::string dir = kobal::test::makeTempDir("atomic");
    const std::string f = dir + "/config.ini";
    ASSERT_TRUE(Profile::writeString(f, "DMBControl", "CurrentChannel", "14000"));
    ASSERT_TRUE(Profile::writeInt(f, "SETUP", "AREA_NUM", 7));
    ASSERT_TRUE(Profile::writeInt(f, "SETUP", "LIST_NUM", 0));
    EXPECT_EQ(Profile::getString(f, "DMBControl", "CurrentChannel", ""), "14000");
    EXPECT_EQ(Profile::sections(f), (std::vector<std::string>{"DMBControl", "SETUP"}));
    EXPECT_EQ(Profile::keys(f, "SETUP"), (std::vector<std::string>{"AREA_NUM", "LIST_NUM"}));
    // No temporary file stays behind.
    int files = 0;
    for (auto& e : std::filesystem::directory_iterator(dir)) files += e.is_regular_file();
    EXPECT_EQ(files, 1);
    // An unwritable place reports failure instead of pretending.
    EXPECT_FALSE(Profile::writeString(dir + "/missing/dir/x.ini", "A", "B", "C"));

    ASSERT_TRUE(Profile::removeKey(f, "SETUP", "AREA_NUM"));
    EXPECT_EQ(Profile::getInt(f, "SETUP", "AREA_NUM", -1), -1);
    ASSERT_TRUE(Profile::removeSection(f, "DMBControl"));
    EXPECT_EQ(Profile::sections(f), (std::vector<std::string>{"SETUP"}));
}

TEST(Profile, NumbersReadLikeAtoi) {
    const std::string f = iniPath("config.ini");
    writeFile(f, "[SETUP]\nVOLUME_POS=abc\nAREA_NUM=-3x\nLIST_NUM=  12\nMUTE=\nTASKID=\"5\"\n");
    EXPECT_EQ(Profile::getInt(f, "SETUP", "VOLUME_POS", 450), 0);
    EXPECT_EQ(Profile::getInt(f, "SETUP", "AREA_NUM", 0), -3);
    EXPECT_EQ(Profile::getInt(f, "SETUP", "LIST_NUM", 0), 12);
    EXPECT_EQ(Profile::getInt(f, "SETUP", "MUTE", 9), 0);
    EXPECT_EQ(Profile::getString(f, "SETUP", "TASKID", ""), "5");
    EXPECT_EQ(kobal::atoiText("abc"), 0);
}

TEST(Profile, CorruptOrBinaryFilesNeverCrash) {
    const std::string f = iniPath("config.ini");
    std::mt19937 rng(1234);
    for (int round = 0; round < 50; ++round) {
        std::string bytes(2000, '\0');
        for (auto& b : bytes) b = static_cast<char>(rng() % 256);
        if (round % 3 == 0) bytes.insert(0, "[SETUP]\nALWAYS=1\n");
        writeFile(f, bytes);
        (void)Profile::getString(f, "SETUP", "ALWAYS", "0", 41);
        (void)Profile::getInt(f, "SETUP", "VOLUME_POS", 450);
        (void)Profile::sections(f);
        ASSERT_TRUE(Profile::writeInt(f, "SETUP", "MUTE", 1));
        EXPECT_EQ(Profile::getInt(f, "SETUP", "MUTE", 0), 1);
    }
}

namespace {
// A field of /proc/self/status in KiB ("VmRSS:", "VmHWM:", ...), -1 when missing.
long statusKiB(const std::string& key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(key, 0) == 0) return std::atol(line.c_str() + key.size());
    return -1;
}
} // namespace

TEST(Profile, OneEndlessLineIsReadOnlyUpToTheBound) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "an address-space limit and AddressSanitizer's shadow memory do not mix";
#else
    // A valid head, then 1 GiB without a line break (sparse, so it costs no disk).
    const std::string f = iniPath("endless.ini");
    ASSERT_TRUE(writeFile(f, "[SETUP]\nVOLUME_POS=321\n"));
    ASSERT_EQ(truncate(f.c_str(), off_t(1) << 30), 0);

    // Read in a child, where the memory the read took can be measured on its own; its address
    // space is limited so that an unbounded read cannot take the machine's memory.
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        const long vmKiB = statusKiB("VmSize:");
        const rlim_t limit = rlim_t(vmKiB) * 1024 + (rlim_t(384) << 20);
        const rlimit rl{limit, limit};
        if (vmKiB <= 0 || setrlimit(RLIMIT_AS, &rl) != 0) _exit(3);
        const long before = statusKiB("VmRSS:");
        if (Profile::getInt(f, "SETUP", "VOLUME_POS", 0) != 321) _exit(4);
        // The 16 MiB bound and a few copies of it; reading the whole line takes hundreds.
        _exit(statusKiB("VmHWM:") - before < 96 * 1024 ? 0 : 5);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status)) << "the read died (signal " << WTERMSIG(status) << ")";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "3: no limit, 4: wrong value, 5: read past the bound";
#endif
}

TEST(Registry, FirstStartWritesTheInstallValues) {
    EXPECT_FALSE(kobal::Registry::read("install_Dir"));
    kobal::Registry::ensureInstalled();
    const std::string home = kobal::test::homeDir();
    EXPECT_EQ(kobal::Registry::read("install_Dir").value_or(""), home);
    EXPECT_EQ(kobal::Registry::read("Install_Dir", 520).value_or(""), home);
    EXPECT_NE(kobal::Registry::read("rec_Dir").value_or("").find("/Kobal"), std::string::npos);
    EXPECT_EQ(kobal::Registry::read("version").value_or(""), kobal::Registry::kVersion);

    // A second start keeps what the user changed.
    ASSERT_TRUE(kobal::Registry::write("rec_Dir", "/srv/tv"));
    kobal::Registry::ensureInstalled();
    EXPECT_EQ(kobal::Registry::read("rec_Dir").value_or(""), "/srv/tv");

    // Values are cut to the buffer (bytes / 2 characters including the terminator).
    ASSERT_TRUE(kobal::Registry::write("tuner", std::string(300, 'x')));
    EXPECT_EQ(kobal::Registry::read("tuner").value_or("").size(), 129u);
    EXPECT_TRUE(kobal::Registry::remove("tuner"));
    EXPECT_FALSE(kobal::Registry::read("tuner"));
}

TEST(Paths, FoldersFollowTheEnvironmentAndObjectNamesDoNotCollide) {
    const std::string home = kobal::test::homeDir();
    EXPECT_EQ(kobal::paths::installFolder(), home);
    EXPECT_EQ(kobal::paths::inInstall("config.ini"), home + "/config.ini");
    EXPECT_TRUE(std::filesystem::is_directory(kobal::paths::runtimeFolder()));

    const std::string a = kobal::paths::posixName("{BD8438A5-FE8F-4e26-9718-AD19887A24D9}");
    EXPECT_EQ(a.front(), '/');
    EXPECT_EQ(a.find('/', 1), std::string::npos);
    EXPECT_EQ(a.find('{'), std::string::npos);
    EXPECT_LE(kobal::paths::posixName(std::string(600, 'n')).size(), 240u);
    EXPECT_NE(kobal::paths::posixName(std::string(600, 'n')),
              kobal::paths::posixName(std::string(600, 'n') + "x"));

    // Another install folder (another test run or user set-up) gets other names.
    const std::string other = kobal::test::makeTempDir("otherhome");
    setenv("KOBAL_HOME", other.c_str(), 1);
    const std::string b = kobal::paths::posixName("{BD8438A5-FE8F-4e26-9718-AD19887A24D9}");
    setenv("KOBAL_HOME", home.c_str(), 1);
    EXPECT_NE(a, b);
}

// Changes the working folder for one scope.
struct InFolder {
    explicit InFolder(const std::string& dir) : back(std::filesystem::current_path()) {
        std::filesystem::current_path(dir);
    }
    ~InFolder() { std::filesystem::current_path(back); }
    std::filesystem::path back;
};

TEST(Paths, RelativeOrSymlinkedHomeNamesTheSameObjects) {
    const std::string home = kobal::test::homeDir();
    const std::string real = kobal::test::makeTempDir("realhome");
    const std::string link = home + "/linkhome";
    std::filesystem::create_directory_symlink(real, link);
    struct Seen {
        std::string folder, object;
    };
    auto seenWith = [](const std::string& value) {
        setenv("KOBAL_HOME", value.c_str(), 1);
        return Seen{kobal::paths::installFolder(), kobal::paths::posixName("VERSION_EVENT")};
    };
    const Seen direct = seenWith(real);
    const Seen viaLink = seenWith(link + "/");
    Seen relative, relativeLink, sameSpellingElsewhere;
    {
        InFolder in(home);
        relative = seenWith(std::filesystem::path(real).filename().string());
        relativeLink = seenWith("./linkhome");
    }
    {
        InFolder in(real);
        sameSpellingElsewhere = seenWith("./linkhome");
    }
    setenv("KOBAL_HOME", home.c_str(), 1);

    EXPECT_EQ(direct.folder, real);
    for (const Seen& s : {viaLink, relative, relativeLink}) {
        EXPECT_EQ(s.folder, real);
        EXPECT_EQ(s.object, direct.object);
    }
    // The same relative spelling from another working folder is another folder.
    EXPECT_EQ(sameSpellingElsewhere.folder, real + "/linkhome");
    EXPECT_NE(sameSpellingElsewhere.object, direct.object);
}
