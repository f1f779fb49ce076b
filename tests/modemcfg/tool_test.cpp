// kelmor-tool's protocol and definition subcommands, run as a user runs them.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "platform/inifile.h"
#include "platform/programdir.h"

namespace {

struct ToolRun {
    int exitCode = -1;
    std::string out;
};

ToolRun Tool(const std::string& args) {
    ToolRun r;
    std::string command = std::string(KELMOR_TOOL) + " " + args + " 2>/dev/null";
    FILE* p = popen(command.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    int status = pclose(p);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

TEST(Tool, MsgBuildAndDecode) {
    EXPECT_EQ(Tool("msg build ProgOn").out, "24 01 00 4C 2C 2A\n");
    ToolRun built = Tool("msg build ParamsSend B:0:5 S:5:ABC");
    EXPECT_EQ(built.out.substr(0, 36), "24 02 00 42 30 05 00 53 35 41 42 43 ");
    ToolRun decoded = Tool("msg decode " + built.out);
    EXPECT_EQ(decoded.exitCode, 0);
    EXPECT_NE(decoded.out.find("\"complete\": true"), std::string::npos);
    EXPECT_NE(decoded.out.find("\"value\": \"ABC\""), std::string::npos);
    EXPECT_EQ(Tool("msg decode 24 01 00 4C 2C 2B").exitCode, 1);
    EXPECT_EQ(Tool("msg build NoSuchCommand").exitCode, 2);
    EXPECT_EQ(Tool("msg build ParamsSend B5").exitCode, 2);
}

TEST(Tool, SmfCheckFailsOnAChangedCaption) {
    const std::string dir = KELMOR_DEFINITIONS_DIR;
    for (const char* f : {"KL450.smf", "KL160.smf"}) {
        ToolRun r = Tool("smf check " + dir + "/" + f);
        EXPECT_EQ(r.exitCode, 0) << f;
        EXPECT_NE(r.out.find("\"ok\": true"), std::string::npos);
    }
    std::string text;
    ASSERT_TRUE(kelmor::platform::ReadFileBytes(dir + "/KL450.smf", text));
    size_t at = text.find("=Radio channel");
    ASSERT_NE(at, std::string::npos);
    text[at + 1] = 'r';
    std::string copy = kelmor::platform::ProgramDir() + "/KL450.smf";
    ASSERT_TRUE(kelmor::platform::WriteFileAtomic(copy, text));
    ToolRun bad = Tool("smf check " + copy);
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_NE(bad.out.find("\"ok\": false"), std::string::npos);
    EXPECT_EQ(Tool("smf catalogue " + dir + " --routing").out, "KL450\n");
    EXPECT_EQ(Tool("smf catalogue " + dir).out, "KL160\nKL450\n");
}

}  // namespace
