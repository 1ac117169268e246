// Running what the person asks for from the menus: a view, a stored query or a
// typed statement, after the questions its kind calls for.
#include "sql/clsCommand.h"

#include <algorithm>

#include "app/clsApplication.h"
#include "app/clsAux.h"
#include "data/IDS.h"
#include "entry/Globals.h"
#include "host/Platform.h"
#include "host/Progress.h"
#include "runtime/Error.h"
#include "runtime/Text.h"
#include "sheet/clsForm.h"
#include "sheet/clsMatrix.h"
#include "text/modGlobalization.h"

namespace dalvera {

namespace {
bool beginsWith(const std::string& statement, std::string_view word) { return startsWithNoCase(statement, word); }
bool contains(const std::string& statement, std::string_view word) {
    return lowerAscii(statement).find(lowerAscii(word)) != std::string::npos;
}

// The text that stands for a stored procedure of a server.
constexpr std::string_view kProcedureText = "UPDATE DUMMY SET...";

// The first n characters, never cutting a character of several bytes in two.
std::string leftChars(const std::string& text, size_t n) { return utf8Left(text, n); }
}  // namespace

void clsCommand::Run(bool view, bool query, int index) {
    if (query) {
        RunStatement(view, query, std::string(), index);
        return;
    }
    const std::string answer = host::ui().InputBox(GetMessage(33), GetProductName(), std::string());
    const std::string statement = trimBlanks(answer);
    if (!statement.empty()) RunStatement(view, query, statement, index);
}

bool clsCommand::IsSelectStatement(const std::string& statement) {
    // A parameter query's declarations come first; what follows tells its kind, so
    // that a select with parameters is not taken for one that alters data.
    if (beginsWith(trimBlanks(statement), "parameters ")) {
        const size_t end = statement.find(';');
        if (end != std::string::npos) return IsSelectStatement(trimBlanks(statement.substr(end + 1)));
    }
    if (contains(statement, " into ")) return false;
    return beginsWith(statement, "transform ") || contains(statement, "union ") || beginsWith(statement, "select ");
}

bool clsCommand::ConfirmStatement(const std::string& statement) {
    clsAux& aux = goApplication->Aux();
    auto ask = [](int16_t message, int icon) {
        return ShowMessage(GetMessage(message), host::mb::YesNo | icon) == host::answer::Yes;
    };
    if (IsSelectStatement(statement)) return true;
    if (aux.IsDataDefinition(statement)) {
        if (!ask(44, host::mb::Question)) return false;
        if (aux.NormalizeStatement(statement).starts_with("droptable") && !ask(46, host::mb::Exclamation)) return false;
        return true;
    }
    if (aux.StatementFaceId(statement) != 463) {
        const bool procedure = statement.starts_with(kProcedureText);
        if (!ask(procedure ? 47 : 48, host::mb::Question)) return false;
    }
    if (contains(statement, "delEte ") && !contains(statement, "whEre ") && !ask(51, host::mb::Exclamation)) return false;
    return true;
}

void clsCommand::RunStatement(bool view, bool query, std::string statement, int index) {
    auto& app = HostApp();
    clsApplication& controller = *goApplication;
    clsAux& aux = controller.Aux();
    std::shared_ptr<IDS> ds = controller.DataSource();
    std::shared_ptr<host::ado::Command> command;
    std::shared_ptr<host::ado::Recordset> rs;
    std::string objectName;
    try {
        if (!ds) raise(3709, GetMessage(43), "clsCommand");
        if (query) {
            if (index < 1) {
                host::ControlPtr control = app.CommandBars().ActionControl();
                if (!control) raise(91, "Object variable or With block variable not set", "clsCommand");
                objectName = control->Parameter();
            } else {
                NameList* views = ds->ViewNames();
                objectName = view && views ? views->Item(index) : ds->QueryNames().Item(index);
            }
            statement = ds->Queries().Item(objectName)->SQL();
        }
        // Refused before the question: the answer could not change the file.
        if (ds->IsReadOnly() && !IsSelectStatement(statement)) raise(err::Information, GetMessage(252), "clsCommand");
        if (!ConfirmStatement(statement)) return;
        app.SetStatusBar(Variant(GetMessage(5)));
        ds->ConnectADO();
        command = ds->InitializeCommand();
        if (view || !query) {
            command->CommandType(host::ado::command::Text);
            command->CommandText(statement);
        } else {
            ds->DefineCommand(*command, objectName);
        }
        bool asked = false;
        if ((view || !query) && IsSelectStatement(statement) && !confirmBeforeFetch(*ds, statement, asked))
            raise(err::Cancelled, "", "clsCommand");
        long affected = -1;
        {
            host::LoadScope loading;
            rs = command->Execute(affected, -1);
            if (rs && rs->State() == host::ado::state::Open) {
                // Asked before the rows go onto a sheet, when the count could not be had first.
                if (asked || !aux.ConfirmLargeResult(rs->Fields().Count(), rs->RecordCount()))
                    ShowResultSheet(*rs, query ? objectName : std::string(), view);
            }
        }
        if (!IsSelectStatement(statement)) {
            const bool server = controller.DbKind() == 1;
            std::string report = query ? GetMessage(34, Variant(server ? "stored procedure" : "query")) : GetMessage(35);
            if (affected != -1) report += "\r" + (affected == 1 ? GetMessage(36) : GetMessage(37, Variant(affected)));
            report += "\r" + GetMessage(41);
            aux.ShowOptionalMessage(setting::ShowQueryExecuted, report);
            if (server) ShowOutputParameters(*command);
            aux.EnableSheetCommands(controller.MenuBar(), false);
            aux.EnableSheetCommands(controller.CommandBar(), false);
        }
    } catch (const Error& e) {
        app.SetScreenUpdating(true);
        reportRunError(e, query, objectName, statement);
    }
    // Finish, whatever happened above: nothing is left unprotected or open.
    try {
        app.SetScreenUpdating(true);
        app.SetStatusBar(Variant(GetMessage(6)));
        if (auto sheet = controller.Form().Sheet()) sheet->Parent()->Protect(clsAux::ProtectionPassword());
    } catch (const Error&) {
        // The connection below is closed all the same.
    }
    if (ds) {
        try {
            if (rs) ds->CloseRecordSet(rs);
        } catch (const Error&) {
        }
        try {
            ds->DisconnectADO();
        } catch (const Error&) {
        }
    }
    command.reset();
}

bool clsCommand::confirmBeforeFetch(IDS& ds, const std::string& statement, bool& asked) {
    asked = false;
    clsAux& aux = goApplication->Aux();
    std::string inner = trimBlanks(statement);
    while (!inner.empty() && (inner.back() == ';' || inner.back() == ' ')) inner.pop_back();
    const long long limit = aux.ReadSettingOrDefault(setting::WarningNrOfCells).toLongLong();
    long fields = 0, rows = 0;
    try {
        // The columns from one row, then the rows counted only as far as the
        // warning limit reaches: a million-row result costs no more than the limit.
        auto first = ds.GetRecordSet(ds.FirstRows(inner, 1, "dv_first"), false);
        fields = first->Fields().Count();
        ds.CloseRecordSet(first);
        if (fields <= 0) return true;
        const long long enough = std::max(0LL, limit) / fields + 1;
        auto counted = ds.GetRecordSet("SELECT Count(*) FROM (" + ds.FirstRows(inner, enough, "dv_rows") + ") AS dv_counted", false);
        rows = counted->Fields()(0)->Value().toLong();
        ds.CloseRecordSet(counted);
    } catch (const Error&) {
        return true;  // not countable as a table expression (a crosstab, say): asked after the run
    }
    asked = true;
    return !aux.ConfirmLargeResult(fields, rows);
}

void clsCommand::reportRunError(const Error& e, bool query, const std::string& objectName,
                                const std::string& statement) {
    CurrentErrorScope current(e);
    switch (e.number()) {
    case err::Cancelled: return;
    case host::LoadCancelled: ShowMessage(GetMessage(291), host::mb::Information); return;
    case err::Information: ShowMessage(e.description(), host::mb::Information); return;
    case 3708: host::ui().MsgBox(GetMessage(42), host::mb::OKOnly | host::mb::Exclamation, std::string()); return;
    case 3709: host::ui().MsgBox(GetMessage(43), host::mb::OKOnly | host::mb::Exclamation, std::string()); return;
    default: {
        const bool server = goApplication->DbKind() == 1;
        std::string text = goApplication->Aux().CleanOdbcMessage(e.description()) + "\r\r";
        if (query) text += std::string(server ? "Stored procedure" : "Query") + ": " + objectName;
        else text += "SQL: " + statement;
        ShowMessage(text + "\r", host::mb::Information);
    }
    }
}

void clsCommand::ShowResultSheet(host::ado::Recordset& recordset, const std::string& name, bool view) {
    auto& app = HostApp();
    clsApplication& controller = *goApplication;
    clsAux& aux = controller.Aux();
    host::WorksheetPtr tableSheet = controller.Form().Sheet();
    if (!tableSheet) raise(91, "Object variable or With block variable not set", "clsCommand");
    host::WorkbookPtr book = tableSheet->Parent();
    host::WorksheetPtr sheet;
    try {
        app.SetScreenUpdating(false);
        book->Unprotect(clsAux::ProtectionPassword());
        sheet = book->Worksheets()->Add(nullptr, tableSheet);
        host::RangePtr range = controller.ShowRecordset(sheet, recordset, 1, 1);
        aux.FormatDataRange(range);
        sheet->SetName(ResultSheetName(name, view));
        aux.ApplyFreezeTopRow(sheet);
    } catch (const Error& e) {
        // No half-made result sheet is left behind.
        if (sheet) {
            try {
                app.SetDisplayAlerts(false);
                sheet->Delete();
                app.SetDisplayAlerts(true);
                tableSheet->Activate();
            } catch (const Error&) {
                app.SetDisplayAlerts(true);
            }
        }
        throw Error(e.number(), e.description(), e.source());
    }
}

std::string clsCommand::ResultSheetName(const std::string& name, bool view) {
    std::string base;
    if (view) base = "View " + name;
    else if (!name.empty()) base = std::string(goApplication->DbKind() == 1 ? "SP" : "Query") + " " + name;
    else base = GetMessage(45);
    base = leftChars(trimBlanks(base), 31);
    if (!SheetExists(base)) return base;
    for (long n = 2;; ++n) {
        const std::string suffix = " (" + std::to_string(n) + ")";
        std::string candidate = leftChars(base, 31 - suffix.size()) + suffix;
        if (!SheetExists(candidate)) return candidate;
    }
}

bool clsCommand::SheetExists(const std::string& name) {
    host::WorksheetPtr tableSheet = goApplication->Form().Sheet();
    if (!tableSheet) return false;
    auto sheets = tableSheet->Parent()->Worksheets();
    for (long i = 1; i <= sheets->Count(); ++i)
        if (equalsNoCase(sheets->Item(i)->Name(), name)) return true;
    return false;
}

void clsCommand::ShowOutputParameters(host::ado::Command& command) {
    HostApp().SetScreenUpdating(true);
    for (const auto& p : command.Parameters()) {
        const int direction = p->Direction();
        if (direction != host::ado::direction::Output && direction != host::ado::direction::InputOutput) continue;
        std::string text = direction == host::ado::direction::Output ? "Output parameter:" : "InputOutput parameter:";
        text += "\r" + GetMessage(52) + p->Name() + "\r" + GetMessage(53) + p->Value().text();
        ShowMessage(text, host::mb::Information);
    }
}

}  // namespace dalvera
