// Message boxes for window tests of a desktop front end: every box is recorded instead of
// shown, and questions are answered from a script, so that no modal box waits for a person.
// `Ui` is a front end's UserInterface with a `scriptedMessages` hook.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "base/user_interface.h"

namespace kv58::test {

struct ShownBox {
    std::string text;  // Windows-1252
    MsgIcon icon;
    MsgButtons buttons;
};

template <class Ui>
class ScriptedMessages {
public:
    explicit ScriptedMessages(Ui& ui) {
        ui.scriptedMessages = [this](const std::string& text, MsgIcon icon, MsgButtons buttons) {
            shown.push_back({text, icon, buttons});
            if (buttons != MsgButtons::YesNo)
                return MsgAnswer::Ok;
            if (answers.empty())
                return MsgAnswer::No;
            const MsgAnswer answer = answers.front();
            answers.pop_front();
            return answer;
        };
    }

    std::vector<std::string> texts() const {
        std::vector<std::string> all;
        for (const ShownBox& s : shown)
            all.push_back(s.text);
        return all;
    }

    std::vector<ShownBox> shown;
    // Answers to Yes/No questions, in order; a question beyond the script is answered No.
    std::deque<MsgAnswer> answers;
};

}  // namespace kv58::test
