// The flash windows inside the main window: one of each, the tool buttons they hold, and the
// terminal's MultiFlash entry.
#include <gtest/gtest.h>

#include <QAction>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTest>

#include "fakeprompter.h"
#include "flash/ui/multiflash.h"
#include "flash/ui/singleflash.h"
#include "platform/prompter.h"
#include "shell/ui/pohja.h"

namespace kelmor::testing {
namespace {

using shell::MultiFlashKind;
using shell::ToolButton;

struct MainWindow : ::testing::Test {
    void SetUp() override { platform::SetDefaultPrompter(&prompter); }
    void TearDown() override { platform::SetDefaultPrompter(nullptr); }
    FakePrompter prompter;
};

TEST_F(MainWindow, FlashUpdateOpensOneSingleFlashWindowThatHoldsTheToolButtons) {
    shell::TPohjafrm main({"XlumoraY"});
    main.show();
    main.MenuEntry("FlashUpdate")->trigger();
    auto* dlg = main.SingleFlashWindow();
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(dlg->windowTitle(), "Flash Update");
    for (ToolButton b : {ToolButton::Open, ToolButton::Drawing, ToolButton::SingleModem,
                         ToolButton::Flash, ToolButton::MultiFlash, ToolButton::MultiFlash2})
        EXPECT_FALSE(main.Button(b)->isEnabled()) << shell::ToolButtonName(b);
    main.MenuEntry("FlashUpdate")->trigger();  // none is opened twice
    EXPECT_EQ(main.MdiArea()->subWindowList().size(), 1);

    // Closed: the buttons come back.
    // "Cancel" closes the window when nothing runs.
    QMetaObject::invokeMethod(
        dlg, [dlg] { dlg->findChild<QPushButton*>("peruuta")->click(); }, Qt::QueuedConnection);
    ASSERT_TRUE(QTest::qWaitFor([&] { return main.SingleFlashWindow() == nullptr; }, 2000));
    EXPECT_TRUE(main.Button(ToolButton::Open)->isEnabled());
    EXPECT_TRUE(main.Button(ToolButton::Flash)->isEnabled());
}

TEST_F(MainWindow, MultiFlashWindowsOfBothKinds) {
    shell::TPohjafrm main({"XlumoraY"});
    main.show();
    main.MenuEntry("MultiFlash")->trigger();
    main.MenuEntry("MultiFlash")->trigger();
    main.MenuEntry("MultiFlash2")->trigger();
    auto* first = main.MultiFlashWindow(MultiFlashKind::MultiFlash);
    auto* second = main.MultiFlashWindow(MultiFlashKind::MultiFlash2);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(first->Kind(), 1);
    EXPECT_EQ(second->Kind(), 2);
    EXPECT_EQ(main.MdiArea()->subWindowList().size(), 2);
    EXPECT_FALSE(main.Button(ToolButton::Flash)->isEnabled());
    // The second is placed 16 pixels further down (and right, less any width difference).
    EXPECT_EQ(second->parentWidget()->y() - first->parentWidget()->y(), 16);
    QMetaObject::invokeMethod(
        first, [first] { first->findChild<QPushButton*>("peruuta")->click(); },
        Qt::QueuedConnection);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return main.MultiFlashWindow(MultiFlashKind::MultiFlash) == nullptr; }, 2000));
    EXPECT_FALSE(main.Button(ToolButton::Flash)->isEnabled());  // the other one still holds it
}

}  // namespace
}  // namespace kelmor::testing
