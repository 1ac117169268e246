#include "platform/sheets/formats/DelimitedText.h"

#include "platform/sheets/formats/FormatSupport.h"

namespace dalvera::platform::formats {

namespace {
void appendField(std::string& out, const std::string& text, char separator) {
    if (text.find_first_of(std::string{separator, '"', '\r', '\n'}) == std::string::npos) {
        out += text;
        return;
    }
    out += '"';
    for (char ch : text) {
        if (ch == '"') out += '"';
        out += ch;
    }
    out += '"';
}
}  // namespace

std::string buildDelimitedText(const SheetModel& sheet, char separator) {
    std::string out = "\xEF\xBB\xBF";
    auto used = sheet.usedRect();
    if (!used) return out;
    const StyleTable& styles = sheet.workbook().styles();
    forEachRow(sheet, *used, [&](int32_t, const std::vector<RowCell>& cells) {
        for (size_t i = 0; i < cells.size(); ++i) {
            if (i) out += separator;
            appendField(out, displayText(sheet, cells[i].value, styles[cells[i].style]), separator);
        }
        out += "\r\n";
    });
    return out;
}

void saveCsv(const host::Workbook&, const WorkbookModel& model, const std::string& path, int) {
    writeFileAtomically(path, buildDelimitedText(activeSheet(model), ','));
}

void saveTabText(const host::Workbook&, const WorkbookModel& model, const std::string& path, int) {
    writeFileAtomically(path, buildDelimitedText(activeSheet(model), '\t'));
}

}  // namespace dalvera::platform::formats
