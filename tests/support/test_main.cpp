// Test entry point: every test process gets a fresh, empty KELMOR_HOME and a Qt application
// object, so settings files and event loops never leak from one test into another.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#ifdef KELMOR_TEST_GUI
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#endif

int main(int argc, char** argv) {
    std::string base = std::getenv("KELMOR_TEST_TMP") ? std::getenv("KELMOR_TEST_TMP") : "/tmp";
    std::string tmpl = base + "/kelmor-home-XXXXXX";
    std::string home;
    if (char* made = mkdtemp(tmpl.data())) home = made;
    if (!home.empty()) setenv("KELMOR_HOME", home.c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // Tests never map ports through the developer's environment.
    for (int n = 1; n <= 16; ++n) unsetenv(("KELMOR_COM" + std::to_string(n)).c_str());

    TestApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    int rc = RUN_ALL_TESTS();
    if (!home.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(home, ec);
    }
    return rc;
}
