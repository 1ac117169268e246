// Date storage form shared by the translator and the SQL functions.
#include "platform/jet/sql/JetSql.h"

#include "runtime/DateSerial.h"

namespace dalvera::jet {

std::string dateToStorage(double serial) { return formatDateIso(serial, false); }

bool storageToDate(std::string_view text, double& serial) {
    // Only ISO forms: the storage text and a bare date.
    if (text.size() < 10 || text[4] != '-' || text[7] != '-') return false;
    return parseDateText(text, serial);
}

}  // namespace dalvera::jet
