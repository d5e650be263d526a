// Qt's own texts (file dialogs, the buttons of message boxes, the standard
// context menus of text fields) in Simplified Chinese, like the rest of the window.
#pragma once

class QCoreApplication;

namespace tav::ui {

// Loads Qt's zh_CN translations from the Qt installation (Debian ships them
// in qt6-translations-l10n) into the application. false when not found: Qt's
// texts then stay in English.
bool InstallQtTranslations(QCoreApplication& app);

}  // namespace tav::ui
