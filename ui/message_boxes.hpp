// Every message box of the window comes from here, so that each one carries a
// Chinese title: "提示" unless the box belongs to a dialog of its own name.
// The product name stays in the main window's title; cut short in a box's
// narrow title bar it told the user nothing.
#pragma once

#include <QMessageBox>
#include <QString>
#include <string_view>

#include "base/user_prompts.hpp"

namespace tav::ui {

inline QString PromptTitle() { return QStringLiteral("提示"); }

// A message with an OK button. An empty title is "提示".
void ShowMessage(QWidget* parent, const QString& text, QMessageBox::Icon icon = QMessageBox::Information,
                 const QString& title = {});
void ShowWarning(QWidget* parent, const QString& text, const QString& title = {});
// Questions (question icon); true for yes or OK.
bool AskYesNo(QWidget* parent, const QString& text, const QString& title = {});
bool AskOkCancel(QWidget* parent, const QString& text, const QString& title = {});
UserPrompts::Answer AskYesNoCancel(QWidget* parent, const QString& text, const QString& title = {});

// The window's prompts: messages and questions in these boxes over the owner.
class MessageBoxPrompts : public UserPrompts {
public:
    explicit MessageBoxPrompts(QWidget* owner) : owner_(owner) {}
    void Message(std::string_view utf8Text) override;
    void Warning(std::string_view utf8Text) override;
    bool YesNo(std::string_view utf8Text) override;
    Answer YesNoCancel(std::string_view utf8Text) override;

private:
    QWidget* owner_;
};

}  // namespace tav::ui
