#pragma once
// Run-time errors as the hosts raise them: a number, a source and a description.
// Thrown where they arise, caught by the handler at the top of a command or event.
#include <exception>
#include <string>

namespace dalvera {

// The system's own numbers, chosen by the top-level handlers.
namespace err {
constexpr long Cancelled = 665;     // end the command silently
constexpr long Information = 666;   // show with the information icon
constexpr long Exclamation = 667;   // show with the exclamation icon
constexpr long Critical = 668;      // critical icon; internal faults too
constexpr long ClearSheet = 669;    // clear the table sheet, then exclamation
constexpr long Database = 670;      // database error, driver prefixes stripped
// Numbers the hosts raise.
constexpr long InvalidCall = 5;
constexpr long Overflow = 6;
constexpr long SubscriptOutOfRange = 9;
constexpr long TypeMismatch = 13;
constexpr long FileNotFound = 53;
constexpr long PermissionDenied = 70;
constexpr long PathNotFound = 76;
constexpr long ObjectRequired = 424;
constexpr long HostRefusal = 1004;
}  // namespace err

class Error : public std::exception {
public:
    Error(long number, std::string description, std::string source = {})
        : number_(number), source_(std::move(source)), description_(std::move(description)) {}

    long number() const noexcept { return number_; }
    const std::string& source() const noexcept { return source_; }
    const std::string& description() const noexcept { return description_; }
    const char* what() const noexcept override { return description_.c_str(); }

private:
    long number_;
    std::string source_;
    std::string description_;
};

[[noreturn]] inline void raise(long number, std::string description, std::string source = {}) {
    throw Error(number, std::move(description), std::move(source));
}

// The texts the hosts give with their common numbers.
std::string standardErrorText(long number);
[[noreturn]] void raiseStandard(long number, std::string source = {});

}  // namespace dalvera
