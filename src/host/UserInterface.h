#pragma once
// What the engine asks of a person: message boxes, input boxes, file dialogs,
// the colour dialog and modal forms. The engine never draws.
#include <string>
#include <vector>

#include "runtime/Variant.h"

namespace dalvera::host {

class Form;

// Message box style bits, as the host's constants.
namespace mb {
constexpr int OKOnly = 0;
constexpr int OKCancel = 1;
constexpr int AbortRetryIgnore = 2;
constexpr int YesNoCancel = 3;
constexpr int YesNo = 4;
constexpr int RetryCancel = 5;
constexpr int Critical = 16;
constexpr int Question = 32;
constexpr int Exclamation = 48;
constexpr int Information = 64;
constexpr int DefaultButton2 = 256;
constexpr int DefaultButton3 = 512;
constexpr int SetForeground = 65536;
constexpr int ButtonsMask = 7;
constexpr int IconMask = 112;
}  // namespace mb

// Answers of a message box.
namespace answer {
constexpr int OK = 1;
constexpr int Cancel = 2;
constexpr int Abort = 3;
constexpr int Retry = 4;
constexpr int Ignore = 5;
constexpr int Yes = 6;
constexpr int No = 7;
}  // namespace answer

struct OpenFileRequest {
    std::string title;
    // Pairs of description and patterns ("*.sqlite;*.db").
    std::vector<std::pair<std::string, std::string>> filters;
    int filterIndex = 1;           // 1-based preselected filter
    std::string initialFolder;
    long flags = 0;
};

class UserInterface {
public:
    virtual ~UserInterface() = default;
    // Returns one of the answer codes.
    virtual int MsgBox(const std::string& prompt, int style, const std::string& title) = 0;
    // The host application's typed input box: the entry, or False on Cancel.
    // type: 1 number, 2 text, 4 Boolean, as the host's bits.
    virtual Variant ApplicationInputBox(const std::string& prompt, const std::string& title,
                                        const Variant& defaultValue, int type) = 0;
    // The plain input box: the entry, or "" on Cancel.
    virtual std::string InputBox(const std::string& prompt, const std::string& title,
                                 const std::string& defaultValue) = 0;
    // The chosen path, or "" when cancelled.
    virtual std::string GetOpenFileName(const OpenFileRequest& request) = 0;
    // The chosen path, or False when cancelled. filter: "Description (*.ext), *.ext" pairs
    // separated by commas, as the host takes it.
    virtual Variant GetSaveAsFilename(const std::string& initialName, const std::string& filter,
                                      int filterIndex, const std::string& title) = 0;
    // The colour-editing dialog for a palette entry: True and the new colour when
    // the person chose one.
    virtual bool EditColor(int index, long& rgb) = 0;
    // Shows the form modally; returns when the form hides itself.
    virtual void ShowForm(Form& form) = 0;
};

}  // namespace dalvera::host
