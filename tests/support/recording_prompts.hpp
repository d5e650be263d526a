// Prompts for tests: remember every message and question, answer every
// question the same way.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/user_prompts.hpp"

namespace tav::testing {

class RecordingPrompts : public UserPrompts {
public:
    explicit RecordingPrompts(bool yes = false) : answer(yes) {}
    void Message(std::string_view text) override { messages.emplace_back(text); }
    bool YesNo(std::string_view text) override {
        questions.emplace_back(text);
        return answer;
    }

    std::vector<std::string> messages;
    std::vector<std::string> questions;
    bool answer;
};

}  // namespace tav::testing
