#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "ui/qt_translations.hpp"

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // Keep the user's own settings and recent files out of the tests.
    char config[] = "/tmp/tav-ui-config-XXXXXX";
    if (mkdtemp(config)) setenv("XDG_CONFIG_HOME", config, 1);
    QApplication app(argc, argv);
    // The window as users see it: Qt's own texts in Chinese too.
    tav::ui::InstallQtTranslations(app);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
