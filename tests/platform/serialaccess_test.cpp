// A port that exists but that the user may not open is told apart from a busy or absent one.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "ptypair.h"

namespace {

std::string Output(const std::string& command) {
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    if (!p) return out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    pclose(p);
    return out;
}

TEST(ToolPorts, MarksAPortWithoutPermission) {
    kelmor::testing::PtyPair open, closed;
    ASSERT_TRUE(open.Ok() && closed.Ok());
    std::string prefix;
    if (::geteuid() == 0) {
        // Root opens anything: ask as an ordinary user, to whom a root-owned pty is closed.
        if (::access("/usr/bin/setpriv", X_OK) != 0) GTEST_SKIP() << "no setpriv to drop root";
        ASSERT_EQ(::chmod(open.SlavePath().c_str(), 0666), 0);
        ASSERT_EQ(::chmod(closed.SlavePath().c_str(), 0600), 0);
        prefix = "setpriv --reuid=65534 --regid=65534 --clear-groups ";
    } else {
        ASSERT_EQ(::chmod(closed.SlavePath().c_str(), 0), 0);
    }
    const std::string out =
        Output("KELMOR_COM1=" + open.SlavePath() + " KELMOR_COM2=" + closed.SlavePath() +
            " KELMOR_COM3=/dev/kelmor-none " + prefix + KELMOR_TOOL + " ports 2>&1");
    EXPECT_NE(out.find("COM1\t" + open.SlavePath() + "\tpresent\n"), std::string::npos) << out;
    EXPECT_NE(out.find("COM2\t" + closed.SlavePath() + "\tno permission\n"), std::string::npos)
        << out;
    EXPECT_NE(out.find("COM3\t/dev/kelmor-none\tabsent\n"), std::string::npos) << out;
    EXPECT_NE(out.find("sudo usermod -aG dialout $USER"), std::string::npos) << out;
}

}  // namespace
