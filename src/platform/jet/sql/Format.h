#pragma once
// The dialect's Format function (English names) and its rounding.
#include <string>

namespace dalvera::jet {

struct FormatValue {
    enum Kind { Text, Number, Date } kind = Text;
    double number = 0;  // the number, or the date serial
    std::string text;   // the original text
};

// Named formats ("General Date", "Short Date", "Currency", "Percent", "Yes/No", ...)
// and custom codes for dates ("yyyy-mm-dd hh:nn", "dddd d mmmm") and numbers
// ("0.00", "#,##0", "0%", sections "pos;neg;zero"). An empty format gives the
// value's general text.
std::string formatValue(const FormatValue& value, const std::string& format);

// x rounded to the given decimal places, ties to the even digit, judged on the
// value's 15-digit decimal form so that 2.675 counts as a tie.
double roundHalfEven(double x, int places);

}  // namespace dalvera::jet
