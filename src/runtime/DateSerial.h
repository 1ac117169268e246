#pragma once
// Dates as serials: days since 1899-12-30, the fraction is the time of day.
// Before the epoch the integer part still names the day and the fraction
// counts forward from its midnight: -1.25 is 1899-12-29 06:00.
#include <string>
#include <string_view>

namespace dalvera {

struct DateParts {
    int year = 1899, month = 12, day = 30;
    int hour = 0, minute = 0, second = 0;
};

// Serial for a calendar date and time; false when the parts are out of range.
bool makeDateSerial(const DateParts& p, double& serial);
double dateSerial(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);
// Calendar parts of a serial, rounded to the nearest second (years 100 to 9999
// and beyond; a non-finite serial gives the epoch).
DateParts dateParts(double serial);
// 1 = Sunday ... 7 = Saturday.
int weekday(double serial);

// Reads "yyyy-mm-dd[ hh:mm[:ss[.fff]]]" (also with 'T') and "m/d/yyyy[ h:mm[:ss]]"
// (month first, as the database dialect writes dates), or a time "h:mm[:ss]".
// Seconds may carry a fraction (up to nine digits after '.' or ',').
bool parseDateText(std::string_view text, double& serial);
// Reads a date as a person types it: day first when dayFirst, else month first;
// also ISO dates; accepts '/', '-' and '.' separators and an optional time.
bool parseDateEntry(std::string_view text, bool dayFirst, double& serial);

// "m/d/yyyy h:mm:ss" without the time part when it is midnight and without the
// date part when the date is the zero day.
std::string formatDateDefault(double serial);
// "yyyy-mm-dd hh:mm:ss" (time omitted at midnight when dateOnlyWhenMidnight).
std::string formatDateIso(double serial, bool dateOnlyWhenMidnight = false);

}  // namespace dalvera
