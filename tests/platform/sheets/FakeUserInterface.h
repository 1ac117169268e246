#pragma once
// A recording stand-in for the person: answers message boxes from a queue and
// keeps every box it was shown.
#include <deque>
#include <string>
#include <vector>

#include "host/UserInterface.h"

namespace dalvera::test {

class FakeUserInterface : public host::UserInterface {
public:
    struct Box {
        std::string prompt, title;
        int style;
    };
    std::vector<Box> boxes;
    std::deque<int> answers;         // next MsgBox answers; OK when empty
    std::deque<Variant> saveAsNames;  // next GetSaveAsFilename results; False when empty
    long colorToChoose = -1;          // EditColor result; -1 cancels

    int MsgBox(const std::string& prompt, int style, const std::string& title) override {
        boxes.push_back({prompt, title, style});
        if (answers.empty()) return host::answer::OK;
        int a = answers.front();
        answers.pop_front();
        return a;
    }
    Variant ApplicationInputBox(const std::string&, const std::string&, const Variant&, int) override { return false; }
    std::string InputBox(const std::string&, const std::string&, const std::string&) override { return {}; }
    std::string GetOpenFileName(const host::OpenFileRequest&) override { return {}; }
    Variant GetSaveAsFilename(const std::string&, const std::string&, int, const std::string&) override {
        if (saveAsNames.empty()) return false;
        Variant v = saveAsNames.front();
        saveAsNames.pop_front();
        return v;
    }
    bool EditColor(int, long& rgb) override {
        if (colorToChoose < 0) return false;
        rgb = colorToChoose;
        return true;
    }
    void ShowForm(host::Form&) override {}
};

}  // namespace dalvera::test
