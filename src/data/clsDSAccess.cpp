#include "data/clsDSAccess.h"

#include <cctype>
#include <cmath>

#include "app/clsApplication.h"
#include "app/clsAux.h"
#include "data/frmLogon.h"
#include "data/frmPassword.h"
#include "entry/Globals.h"
#include "host/Platform.h"
#include "runtime/DateSerial.h"
#include "runtime/Text.h"
#include "text/modGlobalization.h"

namespace dalvera {

namespace dao = host::dao;
namespace ado = host::ado;

namespace {
constexpr long BadAccount = 3029;
constexpr long BadPassword = 3031;
constexpr long OdbcFailed = 3151;
constexpr long TableLocked = 3008;
constexpr long DamagedFile = 3049;  // the reader stopped on the file or did not finish
constexpr long EncryptedFile = 3900;  // an ACE file with a password (or damaged)
constexpr long OpenFileFlags = 6148;  // file and path must exist, no read-only box

bool isPasswordRefusal(long number) { return number == BadAccount || number == BadPassword; }

// The busy pointer while the driver connects; skipped when no host is attached.
void setCursor(int cursor) {
    if (goExcel && goExcel->GetApplication()) HostApp().SetCursor(cursor);
}

bool hasFolder(const std::string& path) {
    return path.find('\\') != std::string::npos || path.find('/') != std::string::npos;
}

// The engine's files are SQLite files; the database program's own kinds stay accepted
// so that the engine can refuse them with its own clear message.
bool isDatabaseExtension(const std::string& ext) {
    for (const char* e : {"mdb", "mde", "accdb", "accde", "sqlite", "sqlite3", "db"})
        if (ext == e) return true;
    return false;
}

// An MS Access file keeps its own password in its header, told apart from the engine's.
bool isAccessFile(const std::string& path) {
    auto dot = path.find_last_of("./\\");
    if (dot == std::string::npos || path[dot] != '.') return false;
    std::string ext = lowerAscii(path.substr(dot + 1));
    return ext == "mdb" || ext == "mde" || ext == "accdb" || ext == "accde";
}

std::string removeQuotes(const std::string& s) {
    std::string out;
    for (char c : s)
        if (c != '"') out += c;
    return trimBlanks(out);
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// Splits shortcut arguments into the database path and the options. An option
// is a "/" outside quotes, at the start or after a blank, followed by a word
// and a blank or the end; so a "/" inside a path never starts one.
std::vector<std::string> splitArguments(const std::string& args) {
    std::vector<std::string> parts(1);
    bool quoted = false;
    for (size_t i = 0; i < args.size(); ++i) {
        char c = args[i];
        if (c == '"') quoted = !quoted;
        if (c == '/' && !quoted && (i == 0 || isBlank(args[i - 1]))) {
            size_t j = i + 1;
            while (j < args.size() && std::isalpha(static_cast<unsigned char>(args[j]))) ++j;
            if (j > i + 1 && (j == args.size() || isBlank(args[j]))) {
                parts.emplace_back();
                continue;
            }
        }
        parts.back() += c;
    }
    return parts;
}
}  // namespace

std::string OdbcValue(const std::string& value) {
    bool edges = !value.empty() && (isBlank(value.front()) || isBlank(value.back()));
    if (!edges && value.find_first_of(";{}") == std::string::npos) return value;
    return "{" + replaceAll(value, "}", "}}") + "}";
}

clsDSAccess::clsDSAccess()
    : table_(std::make_unique<clsTableAccess>(*this)), adoHelper_(std::make_unique<clsDS>()) {}

clsDSAccess::~clsDSAccess() {
    try {
        adoHelper_->CloseAdoConnection();
        clsDS::CloseDaoDatabase(dbDAO_);
    } catch (const Error&) {
        // Releasing never fails the caller.
    }
}

std::string clsDSAccess::UserName() const { return workgroupFile_.empty() ? std::string("Admin") : userName_; }

void clsDSAccess::GetConnectionInfo() { dbPath_ = SelectDatabaseFile(); }

std::string clsDSAccess::SelectDatabaseFile() {
    while (true) {
        std::string path = BrowseDatabaseFile();
        if (path.empty()) return {};
        std::string ext = goApplication->Aux().GetExtension(path);
        if (isDatabaseExtension(ext)) {
            if (hasFolder(path)) return path;
        } else if (ext == "lnk") {
            std::string target = ReadWorkgroupShortcut(path);
            if (hasFolder(target)) return target;
        } else {
            ShowMessage(GetMessage(57), host::mb::Information);
        }
    }
}

std::string clsDSAccess::DefaultFolder() {
    try {
        std::string folder = host::shell().DocumentsFolder();
        if (!folder.empty()) return folder;
    } catch (const Error&) {
        // Falls back to the host's own default below.
    }
    return HostApp().DefaultFilePath();
}

std::string clsDSAccess::BrowseDatabaseFile() {
    int16_t variant = goApplication->VariantCode();
    if (variant != 11 && variant != 12) raise(err::Critical, "No such version!");
    const std::string x = variant == 11 ? " " : " 97-2003 ";
    host::OpenFileRequest request;
    request.title = GetMessage(61);
    request.flags = OpenFileFlags;
    request.filters.emplace_back(GetMessage(62) + " (*.*)", "*.*");
    request.filters.emplace_back("MS Access" + x + "databases (*.mdb)", "*.mdb");
    request.filters.emplace_back("MS Access" + x + "executable " + GetMessage(63) + " (*.mde)", "*.mde");
    if (variant == 12) {
        request.filters.emplace_back("MS Access databases (*.accdb)", "*.accdb");
        request.filters.emplace_back("MS Access executable " + GetMessage(63) + " (*.accde)", "*.accde");
    }
    request.filters.emplace_back(GetMessage(217) + " (*.sqlite, *.sqlite3, *.db)", "*.sqlite;*.sqlite3;*.db");
    // The engine opens its own files: those are preselected.
    request.filterIndex = static_cast<int>(request.filters.size());
    request.filters.emplace_back(GetMessage(64) + " (*.lnk)", "*.lnk");
    std::string initDir = goApplication->Aux().ReadSetting(setting::InitDir).text();
    request.initialFolder = initDir.empty() ? DefaultFolder() : initDir;

    std::string chosen = host::ui().GetOpenFileName(request);
    auto nul = chosen.find('\0');
    if (nul != std::string::npos) chosen.erase(nul);
    chosen = trimBlanks(chosen);
    if (chosen.empty()) return {};
    goApplication->Aux().WriteSetting(1, setting::InitDir,
                                      Variant(host::fileSystem().GetParentFolderName(chosen)));
    return chosen;
}

std::string clsDSAccess::ReadWorkgroupShortcut(const std::string& path) {
    host::Shortcut link;
    try {
        link = host::shell().ReadShortcut(path);
    } catch (const Error& e) {
        // A file that is no shortcut is the person's wrong choice, not a fault.
        if (e.number() == err::InvalidCall) raise(err::Information, GetMessage(65), "IDS_ReadWorkgroupShortcut");
        throw;
    }
    if (upperAscii(link.TargetPath).find("MSACCESS.EXE") == std::string::npos)
        raise(err::Information, GetMessage(65), "IDS_ReadWorkgroupShortcut");
    auto parts = splitArguments(link.Arguments);
    std::string database = removeQuotes(parts[0]);
    for (size_t i = 1; i < parts.size(); ++i) {
        std::string option = parts[i];
        auto blank = option.find_first_of(" \t");
        if (blank == std::string::npos) continue;  // an option without a value
        std::string word = lowerAscii(option.substr(0, blank));
        std::string value = removeQuotes(option.substr(blank + 1));
        if (value.empty()) continue;
        if (word == "wrkgrp") workgroupFile_ = value;
        else if (word == "user") userName_ = value;
        else if (word == "pwd") password_ = value;
    }
    return database;
}

std::string clsDSAccess::PasswordErrorText() {
    std::string text = GetMessage(66);
    if (!workgroupFile_.empty()) text += "\r\r" + GetMessage(71);
    return text;
}

void clsDSAccess::OpenWithWorkgroup(const std::string& user, const std::string& password) {
    auto engine = host::daoProvider().NewPrivateEngine();
    engine->SystemDB(workgroupFile_);
    engine->DefaultUser(user);
    engine->DefaultPassword(password);
    auto workspace = engine->Workspaces(0);
    if (workspace) dbDAO_ = workspace->OpenDatabase(dbPath_, false, false);
}

void clsDSAccess::openDatabase(const std::string& user, const std::string& password) {
    // A new open replaces the database held so far.
    clsDS::CloseDaoDatabase(dbDAO_);
    if (workgroupFile_.empty())
        dbDAO_ = host::daoProvider().ThreadEngine()->Workspaces(0)->OpenDatabase(dbPath_, false, false,
                                                                                ";pwd=" + password);
    else
        OpenWithWorkgroup(user, password);
}

void clsDSAccess::noteReadOnly() {
    readOnlyFile_ = dbDAO_ && !dbDAO_->Updatable();
    if (readOnlyFile_ && !toldReadOnly_ && goApplication) {
        toldReadOnly_ = true;
        std::string text = GetMessage(250, Variant(dbPath_));
        // What the file holds that cannot be shown is said with it, so nothing goes missing unnoticed.
        auto notices = dbDAO_->Notices();
        if (!notices.empty()) text += "\r\r" + GetMessage(259);
        for (const auto& n : notices)
            text += "\r" + GetMessage(static_cast<int16_t>(259 + n.kind), Variant(n.object), Variant(n.detail));
        goApplication->Aux().ShowOptionalMessage(setting::ShowReadOnlyAccess, text);
    }
}

bool clsDSAccess::ConnectDAO() {
    auto passOn = [this](const Error& e) {
        if (e.number() == OdbcFailed) raise(err::Exclamation, GetMessage(56), "IDS_ConnectDAO");
        if (e.number() == DamagedFile) raise(err::Exclamation, GetMessage(266, Variant(dbPath_)), "IDS_ConnectDAO");
        if (e.number() == EncryptedFile) raise(err::Exclamation, GetMessage(268, Variant(dbPath_)), "IDS_ConnectDAO");
        if (const int16_t message = clsDS::FileFailureMessage(e.number()))
            raise(err::Exclamation, GetMessage(message, Variant(dbPath_)), "IDS_ConnectDAO");
        throw Error(e.number(), e.description(), "IDS_ConnectDAO");
    };
    try {
        openDatabase(UserName(), password_);
        noteReadOnly();
        return true;
    } catch (const Error& e) {
        if (!isPasswordRefusal(e.number())) passOn(e);
    }
    while (true) {
        std::string user, password;
        if (workgroupFile_.empty()) {
            frmPassword form;
            host::ui().ShowForm(form);
            user = form.User();
            password = form.Password();
        } else {
            frmLogon form;
            form.SetUser(UserName());
            form.SetPassword(password_);
            host::ui().ShowForm(form);
            user = form.User();
            password = form.Password();
        }
        try {
            openDatabase(user, password);
            userName_ = user;
            password_ = password;
            noteReadOnly();
            return true;
        } catch (const Error& e) {
            // Only a refused password asks again; anything else is no typing error.
            if (!isPasswordRefusal(e.number())) passOn(e);
        }
        if (password.empty()) return false;
        ShowMessage(isAccessFile(dbPath_) ? GetMessage(267, Variant(dbPath_)) : PasswordErrorText(),
                    host::mb::Exclamation);
    }
}

void clsDSAccess::DisconnectDAO() {
    clsDS::CloseDaoDatabase(dbDAO_);
    dbDAO_.reset();
}

std::string clsDSAccess::ConnectionString() {
    std::string text = goApplication && goApplication->VariantCode() == 11
                           ? "Driver={Microsoft Access Driver (*.mdb)};"
                           : "Driver={Microsoft Access Driver (*.mdb, *.accdb)};";
    text += "Dbq=" + OdbcValue(dbPath_) + ";";
    text += "Uid=" + OdbcValue(UserName()) + ";";
    text += "Pwd=" + OdbcValue(password_) + ";";
    if (!workgroupFile_.empty()) text += "SystemDB=" + OdbcValue(workgroupFile_) + ";";
    return text;
}

void clsDSAccess::ConnectADO() {
    if (adoHelper_->IsConnectionOpen()) return;
    auto connection = host::adoProvider().NewConnection();
    adoHelper_->Connection = connection;
    connection->CursorLocation(ado::UseClient);
    connection->ConnectionString(ConnectionString());
    setCursor(host::xl::CursorWait);
    try {
        connection->Open();
        setCursor(host::xl::CursorDefault);
    } catch (const Error& e) {
        setCursor(host::xl::CursorDefault);
        if (e.number() == ado::ProviderError) {
            // Only a refused password is told as one; a locked, read-only, missing
            // or replaced file has a message of its own.
            const long native = connection->NativeError();
            if (const int16_t message = clsDS::FileFailureMessage(native))
                raise(err::Exclamation, GetMessage(message, Variant(dbPath_)), e.source());
            raise(err::Exclamation, PasswordErrorText(), e.source());
        }
        raiseDatabaseError(e);
    }
}

void clsDSAccess::DisconnectADO() { adoHelper_->CloseAdoConnection(); }

void clsDSAccess::BeginTransaction() {
    if (!adoHelper_->IsConnectionOpen()) ConnectADO();  // its messages are the person's already
    try {
        adoHelper_->Connection->BeginTrans();
    } catch (const Error& e) {
        raiseDatabaseError(e);
    }
}

void clsDSAccess::CommitTransaction() {
    try {
        adoHelper_->Connection->CommitTrans();
    } catch (const Error& e) {
        raiseDatabaseError(e);
    }
}

void clsDSAccess::RollbackTransaction() {
    try {
        adoHelper_->Connection->RollbackTrans();
    } catch (const Error& e) {
        raiseDatabaseError(e);
    }
}

Variant clsDSAccess::LastIdentity() {
    auto rs = GetRecordSet("SELECT @@IDENTITY", false);
    Variant value;
    try {
        if (!rs->Eof()) value = rs->Fields().Item(0L)->Value();
    } catch (...) {
        CloseRecordSet(rs);
        throw;
    }
    CloseRecordSet(rs);
    return value;
}

std::shared_ptr<ado::Recordset> clsDSAccess::GetRecordSet(const std::string& sSQL, bool CloseConnection) {
    return adoHelper_->OpenRecordset(*this, sSQL, CloseConnection);
}

int32_t clsDSAccess::ExecuteQuery(const std::string& sSQL) { return adoHelper_->ExecuteStatement(*this, sSQL); }

void clsDSAccess::CloseRecordSet(std::shared_ptr<ado::Recordset>& recordset) {
    clsDS::CloseRecordsetObject(recordset);
}

void clsDSAccess::DetermineDbObjects(bool bTables) {
    if (bTables)
        DetermineTables();
    else
        DetermineQueries();
}

void clsDSAccess::DetermineTables() {
    if (!dbDAO_) raise(91, "Object variable or With block variable not set", "IDS_DetermineTables");
    NameList names;
    for (const auto& def : dbDAO_->TableDefs()) {
        if (def->Attributes() & dao::SystemObject) continue;
        if (def->Name().starts_with("x_")) continue;
        names.Add(def->Name(), def->Name());
    }
    SetTableNames(std::move(names));
}

void clsDSAccess::DetermineQueries() {
    if (!dbDAO_) raise(91, "Object variable or With block variable not set", "IDS_DetermineQueries");
    adoHelper_->ClearQueries();
    QueryList queries;
    NameList names;
    for (const auto& def : dbDAO_->QueryDefs()) {
        const std::string& name = def->Name();
        if (name.starts_with("~")) continue;
        int type = def->Type();
        if (type == dao::query::Procedure || type == dao::query::BulkPassThrough ||
            type == dao::query::PassThrough)
            continue;
        if (name.starts_with("x_")) continue;
        names.Add(name, name);
        auto query = std::make_shared<clsQuery>();
        query->Init(name, def->SQL(), DetermineParameters(*def));
        queries.Add(query, name);
    }
    SetQueryNames(std::move(names));
    SetQueries(std::move(queries));
}

ParameterList clsDSAccess::DetermineParameters(const dao::QueryDef& Object) {
    ParameterList result;
    for (const auto& p : Object.Parameters()) {
        try {
            auto parameter = std::make_shared<clsParameter>();
            parameter->Init(p->Name(), MapToTypeADO(Variant::longValue(p->Type())),
                            GetParameterDirectionTypeADO(Variant::longValue(p->Direction())));
            result.Add(parameter, p->Name());
        } catch (const Error& e) {
            if (e.number() == TableLocked) throw Error(err::Database, e.description(), e.source());
            // Any other trouble with one parameter skips it.
        }
    }
    return result;
}

int32_t clsDSAccess::GetParameterDirectionTypeADO(const Variant& vType) {
    int32_t d = vType.toLong();
    return d == 1 || d == 2 || d == 3 ? d : 0;
}

int32_t clsDSAccess::MapToTypeADO(const Variant& vTypeDB) {
    switch (vTypeDB.toLong()) {
    case dao::type::Boolean: return ado::type::Boolean;
    case dao::type::Byte: return ado::type::UnsignedTinyInt;
    case dao::type::Integer: return ado::type::SmallInt;
    case dao::type::Long: return ado::type::Integer;
    case dao::type::Currency: return ado::type::Currency;
    case dao::type::Single: return ado::type::Single;
    case dao::type::Double: return ado::type::Double;
    case dao::type::Date: return ado::type::Date;
    case dao::type::Binary: return ado::type::VarBinary;
    case dao::type::Text: return ado::type::VarWChar;
    case dao::type::LongBinary: return ado::type::LongVarBinary;
    case dao::type::Memo: return ado::type::LongVarWChar;
    case dao::type::GUID: return ado::type::GUID;
    case dao::type::Decimal: return ado::type::Numeric;
    default: return ado::type::VarWChar;
    }
}

std::string clsDSAccess::Convert2Date(const Variant& vDateTime) {
    if (vDateTime.isMissing()) raiseStandard(err::TypeMismatch);
    const double serial = vDateTime.toDateSerial();
    // The time of day counts forward from midnight, also before the zero day.
    const double day = std::trunc(serial);
    long long ms = std::llround(std::fabs(serial - day) * 86400000.0);
    double whole = day;
    if (ms >= 86400000LL) {
        ms -= 86400000LL;
        whole += serial < 0 ? -1 : 1;
    }
    const DateParts p = dateParts(whole);
    const long long secs = ms / 1000;
    char text[48];
    if (ms % 1000 == 0) {
        // Seconds are kept: a date-time key with seconds must still match.
        std::snprintf(text, sizeof text, "#%02d/%02d/%04d %02lld:%02lld:%02lld#", p.month, p.day, p.year, secs / 3600,
                      secs / 60 % 60, secs % 60);
    } else {
        // A fraction of a second too, so that a stored time is named exactly.
        std::snprintf(text, sizeof text, "#%04d-%02d-%02d %02lld:%02lld:%02lld.%03lld#", p.year, p.month, p.day,
                      secs / 3600, secs / 60 % 60, secs % 60, ms % 1000);
    }
    return text;
}

std::string clsDSAccess::Convert2GUID(const std::string& sGUID) {
    // A quote inside must not end the literal.
    return "'" + replaceAll(sGUID, "'", "''") + "'";
}

std::shared_ptr<ado::Command> clsDSAccess::InitializeCommand() { return adoHelper_->NewCommand(); }

void clsDSAccess::DefineCommand(ado::Command& oCommand, const std::string& QueryName) {
    const clsQuery& query = *Queries().Item(QueryName);
    std::string text = replaceAll(query.SQL(), "\"", "'");
    if (query.Parameters().Count() > 0) {
        oCommand.CommandType(ado::command::StoredProc);
        oCommand.CommandText("`" + QueryName + "`");
        for (const auto& parameter : query.Parameters()) adoHelper_->AddPromptedParameter(oCommand, *parameter, 0);
    } else {
        oCommand.CommandType(ado::command::Text);
        oCommand.CommandText(text);
    }
}

}  // namespace dalvera
