#include "platform/sheets/formats/WebPage.h"

#include <cctype>
#include <cmath>
#include <cstdio>

#include "platform/sheets/formats/FormatSupport.h"

namespace dalvera::platform::formats {

namespace {

std::string escapeHtml(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (char ch : s) {
        switch (ch) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        // A CR of its own would become a line break of the page source.
        case '\r': out += "&#13;"; break;
        default: out += ch;
        }
    }
    return out;
}

// Pixels of a column width in characters, for the default 11-point font
// (7 pixels a digit plus 5 of padding).
int columnPixels(double width) {
    if (width <= 0) return 0;
    if (width < 1) return static_cast<int>(std::lround(width * 12));
    return static_cast<int>(std::lround(width * 7 + 5));
}

std::string borderCss(const char* side, const Edge& e) {
    if (e.lineStyle == host::xl::None) return {};
    int px = e.weight == host::xl::Thick ? 3 : e.weight == host::xl::Medium ? 2 : 1;
    const char* kind = "solid";
    if (e.lineStyle == host::xl::Double) kind = "double", px = 3;
    else if (e.lineStyle == host::xl::Dash) kind = "dashed";
    else if (e.lineStyle == host::xl::Dot) kind = "dotted";
    return std::string("border-") + side + ":" + std::to_string(px) + "px " + kind + " " + hexColor(e.color) + ";";
}

std::string cellCss(const CellStyle& s, CellKind kind) {
    std::string css;
    if (s.bold) css += "font-weight:bold;";
    if (s.italic) css += "font-style:italic;";
    if (s.fontSize != 11) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "font-size:%gpt;", s.fontSize);
        css += buf;
    }
    if (s.fontColor >= 0) css += "color:" + hexColor(s.fontColor) + ";";
    if (s.fillColor >= 0) css += "background-color:" + hexColor(s.fillColor) + ";";
    switch (s.horizontalAlignment) {
    case host::xl::HAlignLeft: css += "text-align:left;"; break;
    case host::xl::HAlignCenter: css += "text-align:center;"; break;
    case host::xl::HAlignRight: css += "text-align:right;"; break;
    default:
        // General alignment: numbers to the right, truth values centred.
        if (kind == CellKind::Number || kind == CellKind::Date || kind == CellKind::Currency)
            css += "text-align:right;";
        else if (kind == CellKind::Boolean)
            css += "text-align:center;";
    }
    css += borderCss("left", s.left) + borderCss("top", s.top) + borderCss("right", s.right) +
           borderCss("bottom", s.bottom);
    return css;
}

void appendSheet(std::string& out, const SheetModel& sheet) {
    const StyleTable& styles = sheet.workbook().styles();
    auto used = sheet.usedRect();
    int total = 0;
    std::string cols;
    if (used) {
        for (int32_t c = used->c1; c <= used->c2; ++c) {
            int px = columnPixels(sheet.columnWidth(c));
            total += sheet.columnHidden(c) ? 0 : px;
            cols += sheet.columnHidden(c) ? "<col style=\"width:0;visibility:collapse\">"
                                          : "<col style=\"width:" + std::to_string(px) + "px\">";
        }
    }
    out += "<table data-sheet=\"" + escapeHtml(sheet.name()) + "\" style=\"width:" + std::to_string(total) +
           "px\">\r\n<caption>" + escapeHtml(sheet.name()) + "</caption>\r\n";
    if (!used) {
        out += "</table>\r\n";
        return;
    }
    out += "<colgroup>" + cols + "</colgroup>\r\n";
    const auto& comments = sheet.comments();
    forEachRow(sheet, *used, [&](int32_t row, const std::vector<RowCell>& cells) {
        out += sheet.rowHidden(row) ? "<tr style=\"display:none\">" : "<tr>";
        for (size_t i = 0; i < cells.size(); ++i) {
            const int32_t col = used->c1 + static_cast<int32_t>(i);
            const CellStyle& st = styles[cells[i].style];
            std::string css = cellCss(st, cells[i].value.kind);
            if (sheet.columnHidden(col)) css += "display:none;";
            out += "<td";
            if (!css.empty()) out += " style=\"" + css + "\"";
            if (auto it = comments.find({row, col}); it != comments.end())
                out += " title=\"" + escapeHtml(it->second.text) + "\"";
            out += ">" + escapeHtml(displayText(sheet, cells[i].value, st)) + "</td>";
        }
        out += "</tr>\r\n";
    });
    out += "</table>\r\n";
}

std::string percentEncode(std::string_view s) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char ch : s) {
        if (std::isalnum(ch) || ch == '-' || ch == '_' || ch == '.' || ch == '~') {
            out += static_cast<char>(ch);
        } else {
            out += '%';
            out += hex[ch >> 4];
            out += hex[ch & 15];
        }
    }
    return out;
}

}  // namespace

std::string buildHtmlPage(const WorkbookModel& model, const std::string& title) {
    std::string out =
        "<!DOCTYPE html>\r\n<html>\r\n<head>\r\n<meta charset=\"utf-8\">\r\n"
        "<meta name=\"generator\" content=\"Dalvera\">\r\n<title>" + escapeHtml(title) + "</title>\r\n"
        "<style>\r\n"
        "body{font-family:Calibri,Arial,sans-serif;font-size:11pt}\r\n"
        "table{border-collapse:collapse;table-layout:fixed;margin-bottom:2em}\r\n"
        "caption{text-align:left;font-weight:bold;padding:4px 0}\r\n"
        "td{white-space:pre;overflow:hidden;vertical-align:bottom;padding:0 3px;height:20px}\r\n"
        "</style>\r\n</head>\r\n<body>\r\n";
    for (const auto& sheet : model.sheets())
        if (sheet->visibility() == host::xl::SheetVisible) appendSheet(out, *sheet);
    out += "</body>\r\n</html>\r\n";
    return out;
}

std::string encodeQuotedPrintable(const std::string& text) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    size_t lineLength = 0;
    auto emit = [&](const std::string& piece) {
        // Soft line break: encoded lines stay within 76 characters.
        if (lineLength + piece.size() > 75) {
            out += "=\r\n";
            lineLength = 0;
        }
        out += piece;
        lineLength += piece.size();
    };
    for (size_t i = 0; i < text.size(); ++i) {
        const auto ch = static_cast<unsigned char>(text[i]);
        if (ch == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            out += "\r\n";
            lineLength = 0;
            ++i;
            continue;
        }
        const bool atLineEnd = i + 1 == text.size() || (text[i + 1] == '\r' && i + 2 < text.size() && text[i + 2] == '\n');
        const bool literal = (ch >= 33 && ch <= 126 && ch != '=') || ((ch == ' ' || ch == '\t') && !atLineEnd);
        if (literal) emit(std::string(1, static_cast<char>(ch)));
        else emit(std::string{'=', hex[ch >> 4], hex[ch & 15]});
    }
    return out;
}

std::string buildWebArchive(const std::string& html, const std::string& location) {
    // "=_" never occurs in quoted-printable text, so the boundary cannot
    // appear inside the part.
    const std::string boundary = "----=_DalveraPart_0001";
    std::string out;
    out += "MIME-Version: 1.0\r\n";
    out += "Content-Type: multipart/related; boundary=\"" + boundary + "\"; type=\"text/html\"\r\n";
    out += "\r\n";
    out += "This is a multi-part message in MIME format.\r\n";
    out += "\r\n--" + boundary + "\r\n";
    out += "Content-Location: " + location + "\r\n";
    out += "Content-Transfer-Encoding: quoted-printable\r\n";
    out += "Content-Type: text/html; charset=\"utf-8\"\r\n";
    out += "\r\n";
    out += encodeQuotedPrintable(html);
    if (out.size() < 2 || out.compare(out.size() - 2, 2, "\r\n") != 0) out += "\r\n";
    out += "\r\n--" + boundary + "--\r\n";
    return out;
}

void saveHtml(const host::Workbook&, const WorkbookModel& model, const std::string& path, int) {
    writeFileAtomically(path, buildHtmlPage(model, fileStem(path)));
}

void saveWebArchive(const host::Workbook&, const WorkbookModel& model, const std::string& path, int) {
    const std::string stem = fileStem(path);
    writeFileAtomically(path, buildWebArchive(buildHtmlPage(model, stem), "file:///" + percentEncode(stem) + ".htm"));
}

}  // namespace dalvera::platform::formats
