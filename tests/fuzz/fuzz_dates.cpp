// Dates as text: the dialect's forms and a person's typing, in both orders.
// What is read is a finite serial whose calendar parts are a real date.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "runtime/DateSerial.h"

using namespace dalvera;

namespace {
void check(double serial) {
    if (!std::isfinite(serial)) std::abort();
    DateParts p = dateParts(serial);
    if (p.month < 1 || p.month > 12 || p.day < 1 || p.day > 31 || p.hour < 0 || p.hour > 23 || p.minute < 0 ||
        p.minute > 59 || p.second < 0 || p.second > 59)
        std::abort();
    (void)formatDateDefault(serial);
    (void)formatDateIso(serial);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    double serial = 0;
    if (parseDateText(text, serial)) check(serial);
    if (parseDateEntry(text, true, serial)) check(serial);
    if (parseDateEntry(text, false, serial)) check(serial);
    return 0;
}
