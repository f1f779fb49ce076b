// Where the program keeps its files: the build folder, KELMOR_HOME, and the user's own folder
// when the program runs installed.
#include "platform/programdir.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/inifile.h"

namespace fs = std::filesystem;
namespace kp = kelmor::platform;

namespace {

// A scratch tree in the test's own KELMOR_HOME: an install prefix with samples and sounds, a
// build folder and a home folder.
struct Tree {
    std::string root = kp::ProgramDir() + "/tree";
    std::string prefix = root + "/usr";
    std::string share = prefix + "/share/kelmor";
    std::string build = root + "/build/bin";
    std::string home = root + "/home/tech";

    Tree() {
        fs::create_directories(prefix + "/bin");
        fs::create_directories(share + "/definitions");
        fs::create_directories(share + "/sounds");
        fs::create_directories(build);
        fs::create_directories(home);
        Put(share + "/definitions/KL450.smf", "[Version]\nName=KL450\n");
        Put(share + "/definitions/KL160.smf", "[Version]\nName=KL160\n");
        Put(share + "/definitions/KL450.txt", "export text\n");
        Put(share + "/sounds/ok.wav", "RIFF");
        Put(share + "/sounds/error.wav", "RIFF");
    }
    static void Put(const std::string& path, const std::string& text) {
        ASSERT_TRUE(kp::WriteFileAtomic(path, text)) << path;
    }
};

std::string Read(const std::string& path) {
    std::string bytes;
    kp::ReadFileBytes(path, bytes);
    return bytes;
}

TEST(ProgramDirRule, EachPlaceTheProgramCanRunFrom) {
    Tree t;
    const std::string defs = t.share + "/definitions", sounds = t.share + "/sounds";
    using S = kp::ProgramDirSource;
    struct Case {
        const char* what;
        kp::ProgramDirInputs in;
        std::string dir;
        S source;
        std::string seedDefinitions, seedSounds;
    };
    const Case cases[] = {
        {"build folder",
         {"", t.build, true, "/x/data", t.home},
         t.build,
         S::ExecutableFolder,
         "",
         ""},
        {"build folder, KELMOR_HOME",
         {t.root + "/h/", t.build, true, "", t.home},
         t.root + "/h",
         S::KelmorHome,
         "",
         ""},
        {"installed",
         {"", t.prefix + "/bin", true, "", t.home},
         t.home + "/.local/share/kelmor",
         S::UserFolder,
         defs,
         sounds},
        {"installed, XDG_DATA_HOME",
         {"", t.prefix + "/bin/", false, t.root + "/xdg/", t.home},
         t.root + "/xdg/kelmor",
         S::UserFolder,
         defs,
         sounds},
        {"installed, relative XDG_DATA_HOME is ignored",
         {"", t.prefix + "/bin", true, "xdg", t.home},
         t.home + "/.local/share/kelmor",
         S::UserFolder,
         defs,
         sounds},
        {"installed, KELMOR_HOME wins",
         {t.root + "/h", t.prefix + "/bin", true, "", t.home},
         t.root + "/h",
         S::KelmorHome,
         defs,
         sounds},
        {"read-only folder, not installed",
         {"", t.build, false, "", t.home},
         t.home + "/.local/share/kelmor",
         S::UserFolder,
         t.build,
         t.build},
        {"installed, nowhere else to go",
         {"", t.prefix + "/bin", true, "", ""},
         t.prefix + "/bin",
         S::ExecutableFolder,
         defs,
         sounds},
    };
    for (const Case& c : cases) {
        kp::ProgramDirChoice got = kp::ChooseProgramDir(c.in);
        EXPECT_EQ(got.dir, c.dir) << c.what;
        EXPECT_EQ(got.source, c.source) << c.what;
        EXPECT_EQ(got.seedDefinitions, c.seedDefinitions) << c.what;
        EXPECT_EQ(got.seedSounds, c.seedSounds) << c.what;
        EXPECT_EQ(got.dataDir, c.seedDefinitions == defs ? t.share : "") << c.what;
    }
}

TEST(ProgramDirRule, UserFolderIsSeededOnceAndThenLeftToTheUser) {
    Tree t;
    kp::ProgramDirChoice c =
        kp::ChooseProgramDir({"", t.prefix + "/bin", true, t.root + "/data", t.home});
    ASSERT_EQ(c.source, kp::ProgramDirSource::UserFolder);
    ASSERT_TRUE(kp::PrepareUserFolder(c));
    EXPECT_EQ(Read(c.dir + "/KL450.smf"), "[Version]\nName=KL450\n");
    EXPECT_TRUE(fs::exists(c.dir + "/KL160.smf"));
    EXPECT_TRUE(fs::exists(c.dir + "/ok.wav"));
    EXPECT_TRUE(fs::exists(c.dir + "/error.wav"));
    EXPECT_FALSE(fs::exists(c.dir + "/KL450.txt"));  // text exports are not definitions

    // The user edits one sample and removes another: a later start keeps both decisions.
    Tree::Put(c.dir + "/KL450.smf", "mine");
    fs::remove(c.dir + "/KL160.smf");
    ASSERT_TRUE(kp::PrepareUserFolder(c));
    EXPECT_EQ(Read(c.dir + "/KL450.smf"), "mine");
    EXPECT_FALSE(fs::exists(c.dir + "/KL160.smf"));

    // Installed into ~/.local: the installed data make the folder before the first start.
    const std::string local = t.home + "/.local";
    fs::create_directories(local + "/bin");
    fs::create_directories(local + "/share/kelmor");
    fs::copy(t.share, local + "/share/kelmor", fs::copy_options::recursive);
    kp::ProgramDirChoice atHome = kp::ChooseProgramDir({"", local + "/bin", true, "", t.home});
    ASSERT_EQ(atHome.dir, local + "/share/kelmor");
    ASSERT_TRUE(kp::PrepareUserFolder(atHome));
    EXPECT_TRUE(fs::exists(atHome.dir + "/KL450.smf"));
    EXPECT_TRUE(fs::exists(atHome.dir + "/ok.wav"));

    // A file in the folder's place is not a program folder.
    Tree::Put(t.root + "/file", "x");
    c.dir = t.root + "/file";
    EXPECT_FALSE(kp::PrepareUserFolder(c));
}

TEST(ProgramDirRule, DefinitionsFoundInTheProgramFolderFirst) {
    // Under the tests KELMOR_HOME is the program folder and the build has no installed samples.
    ASSERT_EQ(kp::DefinitionFolders(), std::vector<std::string>{kp::ProgramDir()});
    EXPECT_EQ(kp::DefinitionFolderFor("KL450.smf"), kp::ProgramDir());
    EXPECT_EQ(kp::InstalledDataDir(), "");
}

// The real program, copied into an install prefix, without KELMOR_HOME: its settings go to the
// user's folder, which it seeds, and definitions are found there and among the samples.
TEST(ProgramDirRule, InstalledToolSeedsTheUserFolder) {
    Tree t;
    fs::copy_file(KELMOR_TOOL, t.prefix + "/bin/kelmor-tool");
    const std::string xdg = t.root + "/xdg";
    const std::string cmd = "env -u KELMOR_HOME HOME=" + t.home + " XDG_DATA_HOME=" + xdg + " " +
                            t.prefix + "/bin/kelmor-tool ports >/dev/null 2>&1";
    int status = std::system(cmd.c_str());
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << cmd;
    EXPECT_EQ(Read(xdg + "/kelmor/KL450.smf"), "[Version]\nName=KL450\n");
    EXPECT_TRUE(fs::exists(xdg + "/kelmor/ok.wav"));
    EXPECT_FALSE(fs::exists(t.prefix + "/bin/kelmor.ini"));
}

}  // namespace
