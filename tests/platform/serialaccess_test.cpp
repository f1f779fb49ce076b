// A port that exists but that the user may not open is told apart from a busy or absent one.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "fakeprompter.h"
#include "ptypair.h"
#include "serial/commport.h"

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

// Opens a port as an ordinary user: as root the test takes the effective ids of nobody for the
// open (and gives them back), as anyone else the device is made unreadable to its owner.
class NoAccess {
  public:
    explicit NoAccess(const std::string& path) : root_(::geteuid() == 0) {
        ok_ = ::chmod(path.c_str(), root_ ? 0600 : 0) == 0;
    }
    bool Ok() const { return ok_; }
    template <class F>
    void Run(F&& f) {
        if (root_ && ::seteuid(65534) != 0) {
            ADD_FAILURE() << "seteuid";
            return;
        }
        f();
        if (root_) {
            EXPECT_EQ(::seteuid(0), 0);
        }
    }

  private:
    bool root_;
    bool ok_ = false;
};

TEST(CommPortAccess, TheOpenFailureTellsHowToGetAccess) {
    kelmor::testing::PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    NoAccess user(pty.SlavePath());
    ASSERT_TRUE(user.Ok());
    kelmor::testing::FakePrompter prompter;
    kelmor::serial::TCommPort port;
    port.SetPrompter(&prompter);
    port.SetPortin_nro(kelmor::serial::COM4);
    port.SetDevicePath(pty.SlavePath());
    bool denied = false;
    user.Run([&] {
        denied = kelmor::serial::PortAccessDenied(pty.SlavePath());
        port.SetOpen(true);
    });
    EXPECT_TRUE(denied);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(prompter.Texts(),
              std::vector<std::string>{"Port COM4 doesn't exist or is already in use\n\n"
                                       "No permission to open " +
                                       pty.SlavePath() + ". " + kelmor::serial::kDialoutHint});
    // A missing device is not a matter of permission: the message stays as it was.
    EXPECT_FALSE(kelmor::serial::PortAccessDenied("/nonexistent/kelmor-tty"));
}

}  // namespace
