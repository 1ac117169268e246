#include "platform/sheets/formats/XmlSpreadsheet.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <set>

#include "platform/sheets/formats/FormatSupport.h"
#include "runtime/DateSerial.h"
#include "runtime/Text.h"

namespace dalvera::platform::formats {

namespace {

// Element and attribute names of the format and its namespaces.
constexpr const char* kSpreadsheetNs = "urn:schemas-microsoft-com:office:spreadsheet";
constexpr const char* kOptionsNs = "urn:schemas-microsoft-com:office:excel";
constexpr const char* kPropertiesNs = "urn:schemas-microsoft-com:office:office";
constexpr const char* kHtmlNs = "http://www.w3.org/TR/REC-html40";

std::string esc(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (char ch : s) {
        switch (ch) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        // Escaped so that XML line-end and attribute normalisation keep them.
        case '\n': out += "&#10;"; break;
        case '\r': out += "&#13;"; break;
        case '\t': out += "&#9;"; break;
        default:
            // Other control characters cannot appear in XML 1.0 at all.
            if (static_cast<unsigned char>(ch) >= 0x20) out += ch;
        }
    }
    return out;
}

std::string number(double v) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

std::string styleId(uint32_t id) { return id == 0 ? "Default" : "s" + std::to_string(id); }

const char* horizontal(int16_t a) {
    switch (a) {
    case host::xl::HAlignLeft: return "Left";
    case host::xl::HAlignCenter: return "Center";
    case host::xl::HAlignRight: return "Right";
    case -4130: return "Justify";
    case 5: return "Fill";
    case 7: return "CenterAcrossSelection";
    case -4117: return "Distributed";
    default: return nullptr;
    }
}

const char* lineStyle(int16_t s) {
    switch (s) {
    case host::xl::Continuous: return "Continuous";
    case host::xl::Dash: return "Dash";
    case host::xl::Dot: return "Dot";
    case host::xl::Double: return "Double";
    case 4: return "DashDot";
    case 5: return "DashDotDot";
    case 13: return "SlantDashDot";
    default: return nullptr;
    }
}

int lineWeight(int16_t w) {
    switch (w) {
    case host::xl::Hairline: return 0;
    case host::xl::Medium: return 2;
    case host::xl::Thick: return 3;
    default: return 1;
    }
}

void appendStyle(std::string& out, uint32_t id, const CellStyle& s) {
    out += "  <Style ss:ID=\"" + styleId(id) + "\"";
    if (id == 0) out += " ss:Name=\"Normal\"";
    out += ">\n";
    if (const char* h = horizontal(s.horizontalAlignment)) out += "   <Alignment ss:Horizontal=\"" + std::string(h) + "\"/>\n";
    else out += "   <Alignment ss:Vertical=\"Bottom\"/>\n";
    std::string borders;
    auto edge = [&](const char* pos, const Edge& e) {
        const char* ls = lineStyle(e.lineStyle);
        if (!ls) return;
        borders += "    <Border ss:Position=\"" + std::string(pos) + "\" ss:LineStyle=\"" + ls + "\" ss:Weight=\"" +
                   std::to_string(lineWeight(e.weight)) + "\" ss:Color=\"" + hexColor(e.color) + "\"/>\n";
    };
    edge("Left", s.left);
    edge("Top", s.top);
    edge("Right", s.right);
    edge("Bottom", s.bottom);
    out += borders.empty() ? "   <Borders/>\n" : "   <Borders>\n" + borders + "   </Borders>\n";
    out += "   <Font ss:FontName=\"Calibri\" ss:Size=\"" + number(s.fontSize) + "\"";
    if (s.fontColor >= 0) out += " ss:Color=\"" + hexColor(s.fontColor) + "\"";
    if (s.bold) out += " ss:Bold=\"1\"";
    if (s.italic) out += " ss:Italic=\"1\"";
    out += "/>\n";
    if (s.fillColor >= 0) out += "   <Interior ss:Color=\"" + hexColor(s.fillColor) + "\" ss:Pattern=\"Solid\"/>\n";
    else out += "   <Interior/>\n";
    if (s.numberFormat.empty() || s.numberFormat == "General") out += "   <NumberFormat/>\n";
    else out += "   <NumberFormat ss:Format=\"" + esc(s.numberFormat) + "\"/>\n";
    out += s.locked ? "   <Protection/>\n" : "   <Protection ss:Protected=\"0\"/>\n";
    out += "  </Style>\n";
}

void appendData(std::string& out, const SheetModel& sheet, const CellValue& v) {
    switch (v.kind) {
    case CellKind::Empty: return;
    case CellKind::Number: out += "<Data ss:Type=\"Number\">" + number(v.number()) + "</Data>"; return;
    case CellKind::Currency:
        out += "<Data ss:Type=\"Number\">" + number(static_cast<double>(v.currencyScaled()) / 10000.0) + "</Data>";
        return;
    case CellKind::Boolean: out += std::string("<Data ss:Type=\"Boolean\">") + (v.boolean() ? "1" : "0") + "</Data>"; return;
    case CellKind::Text: out += "<Data ss:Type=\"String\">" + esc(sheet.text(v)) + "</Data>"; return;
    case CellKind::Date: {
        // The format has no dates before 1900-01-01 (serial 2); earlier ones and
        // plain times stay serials, which their number format still shows.
        const double serial = v.number();
        if (serial < 2) {
            out += "<Data ss:Type=\"Number\">" + number(serial) + "</Data>";
            return;
        }
        DateParts p = dateParts(serial);
        char buf[40];
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d.000", p.year, p.month, p.day, p.hour, p.minute,
                      p.second);
        out += std::string("<Data ss:Type=\"DateTime\">") + buf + "</Data>";
        return;
    }
    }
}

std::string r1c1(const Rect& r) {
    std::string s = "R" + std::to_string(r.r1) + "C" + std::to_string(r.c1);
    if (r.r1 != r.r2 || r.c1 != r.c2) s += ":R" + std::to_string(r.r2) + "C" + std::to_string(r.c2);
    return s;
}

// A limit the format can carry as it is: a number, or a formula that is one.
bool constantLimit(const std::string& formula, std::string& out) {
    std::string f = trimBlanks(formula);
    if (!f.empty() && f[0] == '=') f = trimBlanks(f.substr(1));
    double v;
    if (!parseRuleNumber(f, v)) return false;
    out = number(v);
    return true;
}

void appendValidation(std::string& out, const ValidationRule& rule) {
    static const char* types[] = {"", "Whole", "Decimal", "List", "Date", "Time", "TextLength"};
    static const char* qualifiers[] = {"", "Between", "NotBetween", "Equal", "NotEqual",
                                       "Greater", "Less", "GreaterOrEqual", "LessOrEqual"};
    if (rule.type < host::xl::ValidateWholeNumber || rule.type > host::xl::ValidateTextLength) return;
    std::string body;
    if (rule.type == host::xl::ValidateList) {
        if (rule.formula1.empty() || rule.formula1[0] == '=') return;
        body += "   <Value>" + esc("\"" + replaceAll(rule.formula1, "\"", "\"\"") + "\"") + "</Value>\n";
        if (!rule.inCellDropdown) body += "   <ComboHide/>\n";
    } else {
        if (rule.op < host::xl::Between || rule.op > host::xl::LessEqual) return;
        std::string v1, v2;
        if (!constantLimit(rule.formula1, v1)) return;
        body += "   <Qualifier>" + std::string(qualifiers[rule.op]) + "</Qualifier>\n";
        if (rule.op == host::xl::Between || rule.op == host::xl::NotBetween) {
            if (!constantLimit(rule.formula2, v2)) return;
            body += "   <Min>" + v1 + "</Min>\n  <Max>" + v2 + "</Max>\n";
        } else {
            body += "   <Value>" + v1 + "</Value>\n";
        }
    }
    std::string ranges;
    for (const Rect& a : rule.areas) ranges += (ranges.empty() ? "" : ",") + r1c1(a);
    out += "  <DataValidation xmlns=\"" + std::string(kOptionsNs) + "\">\n";
    out += "   <Range>" + ranges + "</Range>\n";
    out += "   <Type>" + std::string(types[rule.type]) + "</Type>\n";
    out += body;
    if (!rule.showInput) out += "   <InputHide/>\n";
    if (!rule.inputTitle.empty()) out += "   <InputTitle>" + esc(rule.inputTitle) + "</InputTitle>\n";
    if (!rule.inputMessage.empty()) out += "   <InputMessage>" + esc(rule.inputMessage) + "</InputMessage>\n";
    if (!rule.showError) out += "   <ErrorHide/>\n";
    if (rule.alertStyle == host::xl::ValidAlertWarning) out += "   <ErrorStyle>Warn</ErrorStyle>\n";
    if (rule.alertStyle == host::xl::ValidAlertInformation) out += "   <ErrorStyle>Info</ErrorStyle>\n";
    if (!rule.errorTitle.empty()) out += "   <ErrorTitle>" + esc(rule.errorTitle) + "</ErrorTitle>\n";
    if (!rule.errorMessage.empty()) out += "   <ErrorMessage>" + esc(rule.errorMessage) + "</ErrorMessage>\n";
    out += "  </DataValidation>\n";
}

void appendOptions(std::string& out, const SheetModel& sheet, bool selected) {
    std::string o;
    if (sheet.visibility() == host::xl::SheetHidden) o += "   <Visible>SheetHidden</Visible>\n";
    if (sheet.visibility() == host::xl::SheetVeryHidden) o += "   <Visible>SheetVeryHidden</Visible>\n";
    if (selected) o += "   <Selected/>\n";
    const SheetView& v = sheet.view();
    if (!v.displayGridlines) o += "   <DoNotDisplayGridlines/>\n";
    if (!v.displayHeadings) o += "   <DoNotDisplayHeadings/>\n";
    if (!v.displayZeros) o += "   <DoNotDisplayZeros/>\n";
    if (v.frozen && (v.splitRow > 0 || v.splitColumn > 0)) {
        o += "   <FreezePanes/>\n   <FrozenNoSplit/>\n";
        if (v.splitRow > 0)
            o += "   <SplitHorizontal>" + std::to_string(v.splitRow) + "</SplitHorizontal>\n   <TopRowBottomPane>" +
                 std::to_string(v.splitRow) + "</TopRowBottomPane>\n";
        if (v.splitColumn > 0)
            o += "   <SplitVertical>" + std::to_string(v.splitColumn) + "</SplitVertical>\n   <LeftColumnRightPane>" +
                 std::to_string(v.splitColumn) + "</LeftColumnRightPane>\n";
    }
    const SheetProtection& p = sheet.protection();
    if (p.on) {
        const host::ProtectOptions& a = p.options;
        o += std::string("   <ProtectObjects>") + (a.drawingObjects ? "True" : "False") + "</ProtectObjects>\n";
        o += std::string("   <ProtectScenarios>") + (a.scenarios ? "True" : "False") + "</ProtectScenarios>\n";
        if (a.allowFormattingCells) o += "   <AllowFormatCells/>\n";
        if (a.allowFormattingColumns) o += "   <AllowSizeCols/>\n";
        if (a.allowFormattingRows) o += "   <AllowSizeRows/>\n";
        if (a.allowInsertingColumns) o += "   <AllowInsertCols/>\n";
        if (a.allowInsertingRows) o += "   <AllowInsertRows/>\n";
        if (a.allowInsertingHyperlinks) o += "   <AllowInsertHyperlinks/>\n";
        if (a.allowDeletingColumns) o += "   <AllowDeleteCols/>\n";
        if (a.allowDeletingRows) o += "   <AllowDeleteRows/>\n";
        if (a.allowSorting) o += "   <AllowSort/>\n";
        if (a.allowFiltering) o += "   <AllowFilter/>\n";
        if (a.allowUsingPivotTables) o += "   <AllowUsePivotTables/>\n";
        if (sheet.enableSelection() == host::xl::UnlockedCells) o += "   <EnableSelection>UnlockedCells</EnableSelection>\n";
        if (sheet.enableSelection() == host::xl::NoSelection) o += "   <EnableSelection>NoSelection</EnableSelection>\n";
    }
    if (o.empty()) return;
    out += "  <WorksheetOptions xmlns=\"" + std::string(kOptionsNs) + "\">\n" + o + "  </WorksheetOptions>\n";
}

void appendSheet(std::string& dest, const SheetModel& sheet, bool selected, std::set<uint32_t>& usedStyles) {
    auto used = sheet.usedRect();
    const int32_t lastCol = used ? used->c2 : 0, lastRow = used ? used->r2 : 0;
    std::string out;  // the table's columns and rows
    // Columns: widths in points (a character of the default font is about 5.25 points wide plus padding).
    int32_t columnsEnd = std::max(lastCol, sheet.columnCount());
    if (!sheet.columnWidths().empty()) columnsEnd = std::max(columnsEnd, sheet.columnWidths().rbegin()->first);
    if (!sheet.hiddenColumns().empty()) columnsEnd = std::max(columnsEnd, *sheet.hiddenColumns().rbegin());
    int32_t previous = 0;
    for (int32_t c = 1; c <= columnsEnd; ++c) {
        const uint32_t base = sheet.columnStyles(c).base();
        const bool hasWidth = sheet.columnWidths().count(c) != 0;
        if (!hasWidth && !sheet.columnHidden(c) && base == 0) continue;
        out += "   <Column";
        if (c != previous + 1) out += " ss:Index=\"" + std::to_string(c) + "\"";
        if (base != 0) {
            out += " ss:StyleID=\"" + styleId(base) + "\"";
            usedStyles.insert(base);
        }
        if (sheet.columnHidden(c)) out += " ss:Hidden=\"1\"";
        if (hasWidth) out += " ss:AutoFitWidth=\"0\" ss:Width=\"" + number(std::round(sheet.columnWidth(c) * 5.25 * 4 + 15) / 4) + "\"";
        out += "/>\n";
        previous = c;
    }

    if (used) {
        const auto& comments = sheet.comments();
        int32_t previousRow = 0;
        forEachRow(sheet, *used, [&](int32_t row, const std::vector<RowCell>& cells) {
            std::string rowXml;
            int32_t previousCol = 0;
            for (size_t i = 0; i < cells.size(); ++i) {
                const int32_t col = used->c1 + static_cast<int32_t>(i);
                const RowCell& cell = cells[i];
                auto comment = comments.find({row, col});
                const bool styled = cell.style != sheet.columnStyles(col).base();
                if (cell.value.empty() && !styled && comment == comments.end()) continue;
                rowXml += "    <Cell";
                if (col != previousCol + 1) rowXml += " ss:Index=\"" + std::to_string(col) + "\"";
                // A default-styled cell under a styled column names the default explicitly.
                if (cell.style != 0 || styled) {
                    rowXml += " ss:StyleID=\"" + styleId(cell.style) + "\"";
                    usedStyles.insert(cell.style);
                }
                rowXml += ">";
                appendData(rowXml, sheet, cell.value);
                if (comment != comments.end()) {
                    rowXml += "<Comment";
                    if (!comment->second.author.empty()) rowXml += " ss:Author=\"" + esc(comment->second.author) + "\"";
                    if (comment->second.visible) rowXml += " ss:ShowAlways=\"1\"";
                    rowXml += "><ss:Data xmlns=\"" + std::string(kHtmlNs) + "\">" + esc(comment->second.text) +
                              "</ss:Data></Comment>";
                }
                rowXml += "</Cell>\n";
                previousCol = col;
            }
            const bool hidden = sheet.rowHidden(row);
            if (rowXml.empty() && !hidden) return;
            out += "   <Row";
            if (row != previousRow + 1) out += " ss:Index=\"" + std::to_string(row) + "\"";
            if (hidden) out += " ss:Hidden=\"1\"";
            out += rowXml.empty() ? "/>\n" : ">\n" + rowXml + "   </Row>\n";
            previousRow = row;
        });
    }
    // Readers refuse a table whose cells or columns lie beyond its declared size.
    const SheetProtection& prot = sheet.protection();
    dest += " <Worksheet ss:Name=\"" + esc(sheet.name()) + "\"";
    if (prot.on && prot.options.contents) dest += " ss:Protected=\"1\"";
    dest += ">\n";
    dest += "  <Table ss:ExpandedColumnCount=\"" + std::to_string(std::max({lastCol, previous, 1})) +
            "\" ss:ExpandedRowCount=\"" + std::to_string(std::max(lastRow, 1)) +
            "\" ss:DefaultColumnWidth=\"48\" ss:DefaultRowHeight=\"15\">\n" + out + "  </Table>\n";
    appendOptions(dest, sheet, selected);
    for (const ValidationRule& rule : sheet.validations()) appendValidation(dest, rule);
    dest += " </Worksheet>\n";
}

}  // namespace

std::string buildXmlSpreadsheet(const WorkbookModel& model) {
    std::set<uint32_t> usedStyles{0};
    std::string sheets;
    for (size_t i = 0; i < model.sheets().size(); ++i)
        appendSheet(sheets, *model.sheets()[i], static_cast<int>(i) == model.activeSheetIndex(), usedStyles);

    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    out += "<Workbook xmlns=\"" + std::string(kSpreadsheetNs) + "\"\n xmlns:o=\"" + kPropertiesNs + "\"\n xmlns:x=\"" +
           kOptionsNs + "\"\n xmlns:ss=\"" + kSpreadsheetNs + "\"\n xmlns:html=\"" + kHtmlNs + "\">\n";
    std::string props;
    for (const char* key : {"Title", "Subject", "Author", "Company", "Comments"}) {
        for (const auto& [k, v] : model.documentProperties()) {
            if (!equalsNoCase(k, key) || v.text().empty()) continue;
            const std::string tag = std::string(key) == "Comments" ? "Description" : key;
            props += "  <" + tag + ">" + esc(v.text()) + "</" + tag + ">\n";
        }
    }
    if (!props.empty()) out += " <DocumentProperties xmlns=\"" + std::string(kPropertiesNs) + "\">\n" + props + " </DocumentProperties>\n";
    out += " <Styles>\n";
    const StyleTable& styles = model.styles();
    for (uint32_t id : usedStyles)
        if (id < styles.size()) appendStyle(out, id, styles[id]);
    out += " </Styles>\n";
    std::string names;
    for (const NameDef& n : model.names()) {
        if (n.refError) continue;
        names += "  <NamedRange ss:Name=\"" + esc(n.name) + "\" ss:RefersTo=\"" + esc(model.refersToR1C1(n)) + "\"";
        if (!n.visible) names += " ss:Hidden=\"1\"";
        names += "/>\n";
    }
    if (!names.empty()) out += " <Names>\n" + names + " </Names>\n";
    out += sheets;
    out += "</Workbook>\n";
    return out;
}

void saveXmlSpreadsheet(const host::Workbook&, const WorkbookModel& model, const std::string& path, int) {
    writeFileAtomically(path, buildXmlSpreadsheet(model));
}

}  // namespace dalvera::platform::formats
