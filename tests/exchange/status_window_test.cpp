// The communication status window: lines, the factory-mode byte log in colour, showing with a
// cleared text, the button lock with its re-enable timer, and saving.
#include <gtest/gtest.h>

#include <QPushButton>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <fstream>
#include <sstream>

#include "terminal/ui/status.h"

namespace kelmor::terminal::ui {
namespace {

TEST(StatusWindowTest, LinesAndTheFactoryByteLog) {
    for (bool factory : {false, true}) {
        SCOPED_TRACE(factory ? "factory" : "plain");
        Tinfo info(factory);
        info.ShowStatus();
        EXPECT_TRUE(info.isVisible());
        info.AddStatusLine("Opening port COM1.. Wait 1 second..");
        info.AddStatusBytes({'$', 0x01, 0x00, 'L', 0xAB, 0x0C}, true);
        info.AddStatusBytes({'$', 0x81}, false);
        const QTextDocument* doc = info.LogArea()->document();
        if (!factory) {
            EXPECT_EQ(doc->toPlainText(), "Opening port COM1.. Wait 1 second..");
            EXPECT_EQ(info.LogArea()->contextMenuPolicy(), Qt::NoContextMenu);
            continue;
        }
        EXPECT_EQ(doc->toPlainText(),
                  "Opening port COM1.. Wait 1 second..\n\\24\\01\\00\\4C\\AB\\0C\n\\24\\81");
        auto colourOf = [&](int block) {
            return doc->findBlockByNumber(block)
                .begin()
                .fragment()
                .charFormat()
                .foreground()
                .color();
        };
        EXPECT_EQ(colourOf(1), QColor(0x00, 0x80, 0x00));
        EXPECT_EQ(colourOf(2), QColor(0x00, 0x00, 0xFF));
        EXPECT_EQ(info.LogArea()->contextMenuPolicy(), Qt::ActionsContextMenu);
        EXPECT_EQ(info.LogArea()->actions().size(), 2);

        // Hidden and shown again: the text starts empty.
        info.hide();
        info.ShowStatus();
        EXPECT_TRUE(doc->toPlainText().isEmpty());
    }
}

TEST(StatusWindowTest, ButtonsLockedDuringATransferAndBackASecondAfterTheLastLine) {
    Tinfo info(false);
    info.ShowStatus();
    info.SetStatusButtons("Receiving values from modem M1", false);
    EXPECT_EQ(info.windowTitle(), "Receiving values from modem M1");
    EXPECT_FALSE(info.CloseButton()->isEnabled());
    EXPECT_FALSE(info.SaveButton()->isEnabled());
    info.StartReenableTimer();
    EXPECT_FALSE(info.CloseButton()->isEnabled());
    QTest::qWait(1200);
    EXPECT_TRUE(info.CloseButton()->isEnabled());
    EXPECT_TRUE(info.SaveButton()->isEnabled());
    QTest::mouseClick(info.CloseButton(), Qt::LeftButton);
    EXPECT_FALSE(info.isVisible());
}

TEST(StatusWindowTest, SaveAsWritesTheLines) {
    Tinfo info(true);
    info.ShowStatus();
    info.AddStatusLine("Serial port closed");
    info.AddStatusBytes({0x24, 0x00}, true);
    const std::string path = std::string(std::getenv("KELMOR_HOME")) + "/log.txt";
    info.SetSaveChooser([&](QWidget*) { return QString::fromStdString(path); });
    QTest::mouseClick(info.SaveButton(), Qt::LeftButton);
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(), "Serial port closed\r\n\\24\\00\r\n");
}

}  // namespace
}  // namespace kelmor::terminal::ui
