#pragma once
// modGlobalization: every text the user sees, in English and Dutch.
//
// Callers never keep user texts of their own: they ask for a message by number
// or for a dialog control's caption by the control's name. The language follows
// the host's country code (Dutch exactly for 31) and is decided on every lookup,
// so a later SetCountryCode changes all later texts.
//
// Placeholders in the message templates:
//   {1} {2}      the optional arguments of GetMessage, as text (Empty, Null and
//                an omitted argument give "")
//   {product}    GetProductName()
//   {title}      GetTitle()
//   {error}      description of the current error (see below)
//   {errno}      number of the current error, 0 when there is none
//   {msg N}      message N in the same language, its accelerator "&"s removed
//   {support}    GetSupportAddress()
// Anything else in braces is literal text (message 113 shows a GUID pattern).
// Argument values are inserted as they are; they are never scanned again.
//
// The current error: there is no ambient error object, so an error handler
// that builds a message with {error} or {errno} (messages 1, 2, 182) first makes
// the caught error current:
//
//     catch (const Error& e) {
//         CurrentErrorScope current(e);
//         ui.MsgBox(GetMessage(2), ...);
//     }
//
// SetCurrentError / ClearCurrentError do the same without the scope. One
// thread only, as everything in the engine.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "runtime/Error.h"
#include "runtime/Variant.h"

namespace dalvera {

// Stores the host's country code (Application.International(1)).
void SetCountryCode(int32_t code);
double GetCountryCode();
// True when texts come out in Dutch.
bool IsDutch();

// The text of message `number` in the current language, placeholders filled.
// A number without a template raises error 668 "Text ID <n> is not implemented!".
std::string GetMessage(int16_t number, const Variant& arg1 = Variant::missing(),
                       const Variant& arg2 = Variant::missing());

// The caption of a dialog or one of its controls; "" for a name not in the table.
std::string GetCaption(std::string_view controlName);

// A yes/no value given as text: "waar", "ja", "true" or "yes", in any case and
// with blanks around it. Everything else, Null included, is False.
bool IsTrueText(const Variant& value);

// The add-in title, fixed: names the command bars and the settings key.
std::string GetTitle();
// The product name: the title with the variant's edition words. The controller
// sets it once it knows the variant; until then it is the title.
void SetProductName(std::string name);
std::string GetProductName();
// Shown in message 194.
std::string GetSupportAddress();

// The error that {error} and {errno} show.
void SetCurrentError(const Error& error);
void SetCurrentError(long number, std::string description);
void ClearCurrentError();
long CurrentErrorNumber();
std::string CurrentErrorDescription();

// Makes an error current for its lifetime and then puts back the previous one.
class CurrentErrorScope {
public:
    explicit CurrentErrorScope(const Error& error);
    CurrentErrorScope(long number, std::string description);
    ~CurrentErrorScope();
    CurrentErrorScope(const CurrentErrorScope&) = delete;
    CurrentErrorScope& operator=(const CurrentErrorScope&) = delete;

private:
    long previousNumber_;
    std::string previousDescription_;
};

// The catalogue itself, for checks over all texts. Messages are sorted by number.
struct MessageText {
    int16_t number;
    const char* english;
    const char* dutch;
};
struct CaptionText {
    const char* control;
    const char* english;
    const char* dutch;
};
std::span<const MessageText> MessageTable();
std::span<const CaptionText> CaptionTable();

}  // namespace dalvera
