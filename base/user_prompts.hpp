// What the application core asks of the person in front of the window. The
// window implements it with message boxes; tests record the calls; tavtool and
// other headless callers use the silent one, which shows nothing and answers no.
#pragma once

#include <string_view>

namespace tav {

class UserPrompts {
public:
    virtual ~UserPrompts() = default;
    // A message the user must see (UTF-8 text, shown as it is).
    virtual void Message(std::string_view /*utf8Text*/) {}
    // A refusal the user must correct before going on; the window shows it
    // with the warning sign, everyone else takes it as a message.
    virtual void Warning(std::string_view utf8Text) { Message(utf8Text); }
    // A yes/no question; true for yes.
    virtual bool YesNo(std::string_view /*utf8Text*/) { return false; }
    enum class Answer { Yes, No, Cancel };
    // A yes/no/cancel question (whether to save changes first); where no
    // cancel can be offered it is the yes/no question.
    virtual Answer YesNoCancel(std::string_view utf8Text) { return YesNo(utf8Text) ? Answer::Yes : Answer::No; }
};

// Shows nothing and answers every question with no.
UserPrompts& SilentPrompts();

}  // namespace tav
