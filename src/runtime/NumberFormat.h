#pragma once
// Shows a cell value through a spreadsheet number-format code, as the host
// draws it: sections (positive;negative;zero;text), digit placeholders,
// grouping, percent, scientific, quoted and escaped literals, _x spacing,
// * fill, [$sym-lcid] currency tags, colour tags, dates and times.
// Format codes are always written in the English notation; only the
// rendering (separators, month and day names) follows the locale.
#include <string>
#include <string_view>

#include "runtime/Variant.h"

namespace dalvera {

struct FormatLocale {
    enum class Language { English, Dutch };
    Language language = Language::English;
    char decimal = '.';
    char thousands = ',';
    // What '/' and ':' in a format code print.
    char dateSeparator = '/';
    char timeSeparator = ':';

    static FormatLocale english() { return {}; }
    static FormatLocale dutch() { return {Language::Dutch, ',', '.', '/', ':'}; }
};

// The formats behind the host's built-in cell styles.
inline constexpr std::string_view kCommaStyleFormat = "_-* #,##0.00_-;-* #,##0.00_-;_-* \"-\"??_-;_-@_-";
inline constexpr std::string_view kPercentStyleFormat = "0%";

// The text a cell shows for the value. "General" (or an empty code) shows
// numbers in at most 11 characters (sign not counted), switching to
// scientific notation when they do not fit; a date value under General shows
// its serial. Texts pass through unless the code has a text section. A date
// value (VarType::Date) shows as a date from year 100 to 9999, before 1899-12-30
// too; a plain negative number under a date format shows "########", as the
// host does. A malformed
// code (open quote or bracket, dangling \ _ or *, more than four sections)
// raises error 1004.
std::string formatValue(const Variant& value, std::string_view format,
                        const FormatLocale& locale = FormatLocale::english());

// The General rendering of a number.
std::string formatGeneral(double value, const FormatLocale& locale = FormatLocale::english());

// True when the code shows dates or times (its first section has day, month,
// year, hour, minute, second or AM/PM codes outside literals and tags).
// A malformed code raises error 1004.
bool isDateTimeFormat(std::string_view format);

// True when the code makes a cell a text cell: one section that shows the
// text (@) and no number, date or General codes ("@", "\"ID \"@").
// A malformed code raises error 1004.
bool isTextFormat(std::string_view format);

// Which of day and month the code's first section shows first; Neither when it
// does not show both (General, numbers, times, "mmmm yyyy"). Weekday names
// (ddd, dddd) do not count as the day.
enum class DateOrder { Neither, DayFirst, MonthFirst };
DateOrder dateOrder(std::string_view format);

// Raises error 1004 with the reason when the code is malformed.
void checkNumberFormat(std::string_view format);

}  // namespace dalvera
