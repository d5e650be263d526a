#include "ui/message_boxes.hpp"

#include "ui/qt_text.hpp"

namespace tav::ui {

namespace {

int Show(QWidget* parent, QMessageBox::Icon icon, const QString& text, const QString& title,
         QMessageBox::StandardButtons buttons) {
    QMessageBox box(icon, title.isEmpty() ? PromptTitle() : title, text, buttons, parent);
    return box.exec();
}

}  // namespace

void ShowMessage(QWidget* parent, const QString& text, QMessageBox::Icon icon, const QString& title) {
    Show(parent, icon, text, title, QMessageBox::Ok);
}

void ShowWarning(QWidget* parent, const QString& text, const QString& title) {
    ShowMessage(parent, text, QMessageBox::Warning, title);
}

bool AskYesNo(QWidget* parent, const QString& text, const QString& title) {
    return Show(parent, QMessageBox::Question, text, title, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

bool AskOkCancel(QWidget* parent, const QString& text, const QString& title) {
    return Show(parent, QMessageBox::Question, text, title, QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
}

UserPrompts::Answer AskYesNoCancel(QWidget* parent, const QString& text, const QString& title) {
    const int answer =
        Show(parent, QMessageBox::Question, text, title, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    return answer == QMessageBox::Yes  ? UserPrompts::Answer::Yes
           : answer == QMessageBox::No ? UserPrompts::Answer::No
                                       : UserPrompts::Answer::Cancel;
}

void MessageBoxPrompts::Message(std::string_view utf8Text) { ShowMessage(owner_, FromUtf8(utf8Text)); }

void MessageBoxPrompts::Warning(std::string_view utf8Text) { ShowWarning(owner_, FromUtf8(utf8Text)); }

bool MessageBoxPrompts::YesNo(std::string_view utf8Text) { return AskYesNo(owner_, FromUtf8(utf8Text)); }

UserPrompts::Answer MessageBoxPrompts::YesNoCancel(std::string_view utf8Text) {
    return AskYesNoCancel(owner_, FromUtf8(utf8Text));
}

}  // namespace tav::ui
