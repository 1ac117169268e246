#include "data/clsDSSQLServer.h"

#include <cmath>
#include <set>

#include "app/clsApplication.h"
#include "app/clsAux.h"
#include "data/clsDSAccess.h"
#include "data/frmConnect.h"
#include "entry/Globals.h"
#include "host/Platform.h"
#include "host/Progress.h"
#include "runtime/DateSerial.h"
#include "runtime/Text.h"
#include "text/modGlobalization.h"

namespace dalvera {

namespace ado = host::ado;

namespace {
constexpr const char* SettingKind = "Last server kind";
constexpr const char* SettingServer = "Last server";
constexpr const char* SettingPort = "Last port";
constexpr const char* SettingDatabase = "Last database";
constexpr const char* SettingUser = "Last user";
constexpr const char* SettingConnection = "Last connection";
// The text that stands for a stored procedure in the menus and the confirmation.
constexpr const char* ProcedureText = "UPDATE DUMMY SET...";
constexpr const char* Savepoint = "dalvera_row";

long gLockTimeout = 5000;

void setCursor(int cursor) {
    if (goExcel && goExcel->GetApplication()) HostApp().SetCursor(cursor);
}

std::string literal(const std::string& s) { return "'" + replaceAll(s, "'", "''") + "'"; }

std::vector<std::pair<std::string, std::string>> connectionParts(const std::string& text) {
    std::vector<std::pair<std::string, std::string>> parts;
    size_t i = 0;
    while (i < text.size()) {
        const size_t eq = text.find('=', i);
        const size_t semi = text.find(';', i);
        if (eq == std::string::npos || (semi != std::string::npos && semi < eq)) {
            if (semi == std::string::npos) {
                const std::string rest = trimBlanks(text.substr(i));
                if (!rest.empty()) parts.emplace_back(rest, std::string());
                break;
            }
            i = semi + 1;
            continue;
        }
        std::string key = trimBlanks(text.substr(i, eq - i));
        size_t v = eq + 1;
        while (v < text.size() && text[v] == ' ') ++v;
        std::string value;
        if (v < text.size() && text[v] == '{') {
            // A braced value keeps its ";" and doubles "}".
            size_t j = v + 1;
            value = "{";
            while (j < text.size()) {
                if (text[j] == '}') {
                    if (j + 1 < text.size() && text[j + 1] == '}') {
                        value += "}}";
                        j += 2;
                        continue;
                    }
                    break;
                }
                value += text[j++];
            }
            value += "}";
            const size_t end = text.find(';', j);
            i = end == std::string::npos ? text.size() : end + 1;
        } else {
            const size_t end = text.find(';', v);
            value = trimBlanks(text.substr(v, end == std::string::npos ? std::string::npos : end - v));
            i = end == std::string::npos ? text.size() : end + 1;
        }
        parts.emplace_back(key, value);
    }
    return parts;
}

std::string partValue(const std::string& connection, std::initializer_list<const char*> keys) {
    for (const auto& [k, v] : connectionParts(connection))
        for (const char* key : keys)
            if (equalsNoCase(k, key)) {
                if (v.size() >= 2 && v.front() == '{' && v.back() == '}') return replaceAll(v.substr(1, v.size() - 2), "}}", "}");
                return v;
            }
    return {};
}

bool isRefusal(const std::string& state, long native, const std::string& text) {
    const std::string lower = lowerAscii(text);
    return state.starts_with("28") || native == 18456 || lower.find("password authentication failed") != std::string::npos ||
           lower.find("login failed") != std::string::npos ||
           (lower.find("role") != std::string::npos && lower.find("does not exist") != std::string::npos);
}

bool isLock(const std::string& state, long native) { return state == "55P03" || native == 1222 || state == "HYT00"; }

bool isLostConnection(const std::string& state) {
    return state == "08S01" || state == "08003" || state == "08006" || state == "57P01" || state == "57P02" ||
           state == "57P03";
}
}  // namespace

void clsDSSQLServer::SetLockTimeout(long milliseconds) { gLockTimeout = milliseconds; }

clsDSSQLServer::clsDSSQLServer()
    : table_(std::make_unique<clsTableSQLServer>(*this)), adoHelper_(std::make_unique<clsDS>()) {}

clsDSSQLServer::~clsDSSQLServer() {
    try {
        adoHelper_->CloseAdoConnection();
    } catch (const Error&) {
        // Releasing never fails the caller.
    }
}

std::string clsDSSQLServer::WithoutPassword(const std::string& connection) {
    std::string out;
    for (const auto& [k, v] : connectionParts(connection)) {
        if (equalsNoCase(k, "pwd") || equalsNoCase(k, "password")) continue;
        out += v.empty() && connection.find('=') == std::string::npos ? k : k + "=" + v + ";";
    }
    return out;
}

std::string clsDSSQLServer::Connector() const { return WithoutPassword(connection_); }

std::string clsDSSQLServer::NativeConnectionString(bool sqlServer, const std::string& server, const std::string& port,
                                                   const std::string& database, const std::string& user, bool trusted) {
    std::string text;
    if (sqlServer) {
        text = "Driver={FreeTDS};Server=" + OdbcValue(server) + ";";
        if (!port.empty()) text += "Port=" + port + ";";
        text += "Database=" + OdbcValue(database) + ";";
        text += trusted ? std::string("Trusted_Connection=Yes;") : "Uid=" + OdbcValue(user) + ";";
        text += "ClientCharset=UTF-8;";
    } else {
        text = "Driver={PostgreSQL Unicode};Servername=" + OdbcValue(server) + ";";
        if (!port.empty()) text += "Port=" + port + ";";
        text += "Database=" + OdbcValue(database) + ";Uid=" + OdbcValue(user) + ";";
    }
    return text;
}

void clsDSSQLServer::guessKind() {
    const std::string driver = lowerAscii(partValue(connection_, {"driver"}));
    if (driver.find("postgres") != std::string::npos || driver.find("psql") != std::string::npos) kind_ = Kind::PostgreSQL;
    else if (driver.find("tds") != std::string::npos || driver.find("sql server") != std::string::npos) kind_ = Kind::SqlServer;
    else kind_ = Kind::Unknown;
}

void clsDSSQLServer::SetConnection(const std::string& text) {
    native_ = false;
    connection_ = text;
    password_.clear();
    guessKind();
}

bool clsDSSQLServer::askNative() {
    clsAux& aux = goApplication->Aux();
    frmConnect form;
    form.SetSqlServer(aux.ReadSetting(SettingKind).text() == "MS SQL Server");
    form.SetServer(aux.ReadSetting(SettingServer).text());
    form.SetPort(aux.ReadSetting(SettingPort).text());
    form.SetDatabase(aux.ReadSetting(SettingDatabase).text());
    form.SetUser(aux.ReadSetting(SettingUser).text());
    host::ui().ShowForm(form);
    if (form.Cancelled()) return false;
    native_ = true;
    connection_ = NativeConnectionString(form.SqlServer(), form.Server(), form.Port(), form.Database(), form.User(),
                                         form.Trusted());
    password_ = form.Trusted() ? std::string() : form.Password();
    kind_ = form.SqlServer() ? Kind::SqlServer : Kind::PostgreSQL;
    // Remembered for the next time; the password never is.
    aux.WriteSetting(1, SettingKind, Variant(form.SqlServer() ? "MS SQL Server" : "PostgreSQL"));
    aux.WriteSetting(1, SettingServer, Variant(form.Server()));
    aux.WriteSetting(1, SettingPort, Variant(form.Port()));
    aux.WriteSetting(1, SettingDatabase, Variant(form.Database()));
    aux.WriteSetting(1, SettingUser, Variant(form.User()));
    return true;
}

void clsDSSQLServer::GetConnectionInfo() {
    connection_.clear();
    password_.clear();
    clsAux& aux = goApplication->Aux();
    const std::string last = aux.ReadSetting(SettingConnection).text();
    Variant reply = host::ui().ApplicationInputBox(GetMessage(270) + "\r\r" + GetMessage(208), GetProductName(),
                                                   Variant(last), 2);
    if (reply.isBoolean() && !reply.toBool()) return;
    const std::string text = trimBlanks(reply.text());
    if (text.empty()) {
        if (!askNative()) connection_.clear();
        return;
    }
    SetConnection(text);
    aux.WriteSetting(1, SettingConnection, Variant(WithoutPassword(text)));
}

void clsDSSQLServer::openConnection() {
    auto connection = host::serverAdoProvider().NewConnection();
    adoHelper_->Connection = connection;
    connection->CursorLocation(ado::UseClient);
    std::string text = connection_;
    if (!text.empty() && text.back() != ';' && text.find('=') != std::string::npos) text += ";";
    if (!password_.empty()) text += "Pwd=" + OdbcValue(password_) + ";";
    connection->ConnectionString(text);
    setCursor(host::xl::CursorWait);
    try {
        connection->Open();
        setCursor(host::xl::CursorDefault);
    } catch (const Error&) {
        setCursor(host::xl::CursorDefault);
        throw;
    }
    const std::string dbms = lowerAscii(connection->DbmsName());
    if (dbms.find("postgres") != std::string::npos) kind_ = Kind::PostgreSQL;
    else if (dbms.find("sql server") != std::string::npos) kind_ = Kind::SqlServer;
    // A row another session holds makes a statement wait this long, not for ever.
    long n = 0;
    if (kind_ == Kind::PostgreSQL) {
        connection->Execute("SET lock_timeout = " + std::to_string(gLockTimeout), n);
        auto rs = connection->Execute("SELECT current_schema()");
        defaultSchema_ = rs->Eof() ? "public" : rs->Fields().Item(0L)->Value().text();
    } else if (kind_ == Kind::SqlServer) {
        connection->Execute("SET LOCK_TIMEOUT " + std::to_string(gLockTimeout), n);
        auto rs = connection->Execute("SELECT SCHEMA_NAME()");
        defaultSchema_ = rs->Eof() ? "dbo" : rs->Fields().Item(0L)->Value().text();
    }
}

void clsDSSQLServer::ConnectADO() {
    if (adoHelper_->IsConnectionOpen()) return;
    try {
        openConnection();
    } catch (const Error& e) {
        const std::string state = adoHelper_->Connection ? adoHelper_->Connection->SqlState() : std::string();
        const long native = adoHelper_->Connection ? adoHelper_->Connection->NativeError() : 0;
        adoHelper_->Connection.reset();
        if (e.number() != ado::ProviderError) raiseDatabaseError(e);
        const std::string where = native_ ? partValue(connection_, {"server", "servername"}) + "/" +
                                                partValue(connection_, {"database"})
                                          : Connector();
        if (isRefusal(state, native, e.description())) raise(err::Exclamation, GetMessage(271, Variant(where)), e.source());
        if (native_ && state == "IM002") {
            const bool sqlServer = kind_ == Kind::SqlServer;
            raise(err::Exclamation,
                  GetMessage(276, Variant(sqlServer ? "FreeTDS" : "PostgreSQL Unicode"),
                             Variant(sqlServer ? "tdsodbc" : "odbc-postgresql")),
                  e.source());
        }
        raise(err::Exclamation, GetMessage(272, Variant(where), Variant(e.description())), e.source());
    }
}

bool clsDSSQLServer::ConnectDAO() {
    while (true) {
        try {
            ConnectADO();
            return true;
        } catch (const Error& e) {
            if (e.number() != err::Exclamation) throw;
            ShowMessage(e.description(), host::mb::Exclamation);
            // A typed connection text is the person's to correct; the dialog asks again.
            if (!native_) return false;
            password_.clear();
            if (!askNative()) return false;
        }
    }
}

void clsDSSQLServer::DisconnectADO() {
    inTransaction_ = false;
    adoHelper_->CloseAdoConnection();
}

void clsDSSQLServer::raiseServerError(const Error& e) {
    // A load the person cancelled is no server error: the state left by an earlier one must not name it.
    if (e.number() == host::LoadCancelled) throw e;
    const auto& c = adoHelper_->Connection;
    const std::string state = c ? c->SqlState() : std::string();
    const long native = c ? c->NativeError() : 0;
    if (isLock(state, native)) raise(err::Exclamation, GetMessage(inTransaction_ ? 273 : 278), e.source());
    if (isLostConnection(state)) raise(err::Exclamation, GetMessage(277), e.source());
    throw e;
}

void clsDSSQLServer::BeginTransaction() {
    if (!adoHelper_->IsConnectionOpen()) ConnectADO();
    try {
        adoHelper_->Connection->BeginTrans();
        inTransaction_ = true;
    } catch (const Error& e) {
        raiseDatabaseError(e);
    }
}

void clsDSSQLServer::CommitTransaction() {
    try {
        adoHelper_->Connection->CommitTrans();
        inTransaction_ = false;
    } catch (const Error& e) {
        const std::string state = adoHelper_->Connection->SqlState();
        if (isLostConnection(state)) raise(err::Exclamation, GetMessage(277), e.source());
        raiseDatabaseError(e);
    }
}

void clsDSSQLServer::RollbackTransaction() {
    inTransaction_ = false;
    try {
        adoHelper_->Connection->RollbackTrans();
    } catch (const Error& e) {
        raiseDatabaseError(e);
    }
}

Variant clsDSSQLServer::LastIdentity() {
    std::shared_ptr<ado::Recordset> rs;
    try {
        rs = GetRecordSet(kind_ == Kind::SqlServer ? "SELECT @@IDENTITY" : "SELECT lastval()", false);
    } catch (const Error&) {
        return Variant();  // no auto-number was given on this connection
    }
    Variant value;
    if (!rs->Eof()) value = rs->Fields().Item(0L)->Value();
    CloseRecordSet(rs);
    return value;
}

std::shared_ptr<ado::Recordset> clsDSSQLServer::GetRecordSet(const std::string& sSQL, bool CloseConnection) {
    try {
        return adoHelper_->OpenRecordset(*this, sSQL, CloseConnection);
    } catch (const Error& e) {
        raiseServerError(e);
    }
}

int32_t clsDSSQLServer::ExecuteQuery(const std::string& sSQL) {
    if (inTransaction_ && kind_ == Kind::PostgreSQL) {
        // On this server a failed statement would take the whole transaction with
        // it; the rows written before it stay written, as on the engine's files.
        try {
            return adoHelper_->ExecuteStatement(*this, std::string("SAVEPOINT ") + Savepoint + "; " + sSQL +
                                                           "; RELEASE SAVEPOINT " + Savepoint);
        } catch (const Error& e) {
            const auto c = adoHelper_->Connection;
            const std::string state = c ? c->SqlState() : std::string();
            const long native = c ? c->NativeError() : 0;
            if (c && !isLostConnection(state)) {
                try {
                    long n = 0;
                    c->Execute(std::string("ROLLBACK TO SAVEPOINT ") + Savepoint, n);
                } catch (const Error&) {
                    // The commit tells what is left of the transaction.
                }
            }
            if (isLock(state, native)) raise(err::Exclamation, GetMessage(273), e.source());
            if (isLostConnection(state)) raise(err::Exclamation, GetMessage(277), e.source());
            throw;
        }
    }
    try {
        return adoHelper_->ExecuteStatement(*this, sSQL);
    } catch (const Error& e) {
        raiseServerError(e);
    }
}

void clsDSSQLServer::CloseRecordSet(std::shared_ptr<ado::Recordset>& recordset) { clsDS::CloseRecordsetObject(recordset); }

void clsDSSQLServer::DetermineDbObjects(bool bTables) {
    if (bTables) DetermineTables();
    else DetermineQueries();
}

std::string clsDSSQLServer::ListedName(const std::string& schema, const std::string& table) const {
    auto it = nameCount_.find(table);
    const bool unique = it == nameCount_.end() || it->second <= 1;
    return unique && schema == defaultSchema_ ? table : schema + "." + table;
}

std::pair<std::string, std::string> clsDSSQLServer::Locate(const std::string& listedName) const {
    auto it = located_.find(listedName);
    if (it != located_.end()) return it->second;
    const size_t dot = listedName.find('.');
    if (dot == std::string::npos) return {defaultSchema_, listedName};
    return {listedName.substr(0, dot), listedName.substr(dot + 1)};
}

void clsDSSQLServer::DetermineTables() {
    const std::string sql =
        "SELECT table_schema, table_name, table_type FROM information_schema.tables "
        "WHERE table_schema NOT IN ('pg_catalog', 'information_schema', 'INFORMATION_SCHEMA', 'sys') "
        "AND table_schema NOT LIKE 'pg!_%' ESCAPE '!' AND table_name <> 'sysdiagrams' "
        "ORDER BY CASE WHEN table_schema = " + literal(defaultSchema_) + " THEN 0 ELSE 1 END, table_schema, table_name";
    auto rs = GetRecordSet(sql, false);
    struct Entry {
        std::string schema, name;
        bool view;
    };
    std::vector<Entry> entries;
    for (; !rs->Eof(); rs->MoveNext()) {
        const auto& f = rs->Fields();
        Entry e{f.Item(0L)->Value().text(), f.Item(1L)->Value().text(), f.Item(2L)->Value().text() == "VIEW"};
        if (e.name.starts_with("x_")) continue;
        entries.push_back(e);
    }
    CloseRecordSet(rs);
    nameCount_.clear();
    for (const auto& e : entries) ++nameCount_[e.name];
    NameList tables;
    viewNames_.Clear();
    QueryList& queries = Queries();
    for (const auto& e : entries) {
        const std::string listed = ListedName(e.schema, e.name);
        located_[listed] = {e.schema, e.name};
        if (!e.view) {
            tables.Add(listed, listed);
            continue;
        }
        viewNames_.Add(listed, listed);
        auto query = std::make_shared<clsQuery>();
        query->Init(listed, "SELECT * FROM " + QuoteName(e.schema) + "." + QuoteName(e.name), {});
        if (!queries.Exists(listed)) queries.Add(query, listed);
    }
    SetTableNames(std::move(tables));
}

void clsDSSQLServer::DetermineQueries() {
    const std::string sql =
        kind_ == Kind::SqlServer
            ? "SELECT SCHEMA_NAME(p.schema_id), p.name, 'p', ISNULL(pa.name, ''), ISNULL(TYPE_NAME(pa.user_type_id), ''), "
              "CASE WHEN pa.is_output = 1 THEN 'b' ELSE 'i' END, CAST(p.object_id AS bigint) "
              "FROM sys.procedures p LEFT JOIN sys.parameters pa ON pa.object_id = p.object_id AND pa.parameter_id > 0 "
              "WHERE p.is_ms_shipped = 0 ORDER BY 1, 2, pa.parameter_id"
            : "SELECT n.nspname, p.proname, p.prokind::text, coalesce(a.name, ''), coalesce(a.type, ''), "
              "coalesce(a.mode, ''), p.oid::bigint FROM pg_proc p JOIN pg_namespace n ON n.oid = p.pronamespace "
              "LEFT JOIN LATERAL (SELECT p.proargnames[o] AS name, format_type(t, NULL) AS type, "
              "coalesce(p.proargmodes[o], 'i')::text AS mode, o FROM unnest(coalesce(p.proallargtypes, "
              "p.proargtypes::oid[])) WITH ORDINALITY AS u(t, o)) a ON true "
              "WHERE n.nspname NOT IN ('pg_catalog', 'information_schema') AND n.nspname NOT LIKE 'pg!_%' ESCAPE '!' "
              "AND (p.prokind = 'p' OR (p.prokind = 'f' AND p.proretset)) "
              "AND NOT EXISTS (SELECT 1 FROM pg_depend d WHERE d.objid = p.oid AND d.deptype = 'e') "
              "ORDER BY CASE WHEN n.nspname = " + literal(defaultSchema_) + " THEN 0 ELSE 1 END, n.nspname, p.proname, p.oid, a.o";
    auto rs = GetRecordSet(sql, false);
    struct Routine {
        std::string schema, name;
        bool procedure;
        long long id;
        ParameterList parameters;
    };
    std::vector<Routine> routines;
    std::set<std::pair<std::string, std::string>> seen;
    for (; !rs->Eof(); rs->MoveNext()) {
        const auto& f = rs->Fields();
        const std::string schema = f.Item(0L)->Value().text(), name = f.Item(1L)->Value().text();
        const long long id = static_cast<long long>(f.Item(6L)->Value().toDouble());
        if (routines.empty() || routines.back().id != id) {
            // One entry per name: an overload is reached through the first one.
            if (!seen.insert({schema, name}).second || name.starts_with("x_")) continue;
            routines.push_back({schema, name, f.Item(2L)->Value().text() == "p", id, {}});
        }
        const std::string argName = f.Item(3L)->Value().text(), mode = f.Item(5L)->Value().text();
        if (argName.empty() || mode == "t") continue;
        auto parameter = std::make_shared<clsParameter>();
        parameter->Init(argName, MapToTypeADO(f.Item(4L)->Value()), GetParameterDirectionTypeADO(Variant(mode)));
        if (!routines.back().parameters.Exists(argName)) routines.back().parameters.Add(parameter, argName);
    }
    CloseRecordSet(rs);
    std::map<std::string, int> counts;
    for (const auto& r : routines) ++counts[r.name];
    // Views were listed with the tables and stay in Queries.
    QueryList queries;
    for (const auto& name : viewNames_) queries.Add(Queries().Item(name), name);
    NameList names;
    for (auto& r : routines) {
        const std::string listed = counts[r.name] == 1 && r.schema == defaultSchema_ ? r.name : r.schema + "." + r.name;
        if (queries.Exists(listed)) continue;
        located_[listed] = {r.schema, r.name};
        std::string text = ProcedureText;
        if (!r.procedure) {
            // A function is read from: its rows need no confirmation.
            std::string args;
            for (const auto& p : r.parameters)
                if (p->Direction() != ado::direction::Output) args += std::string(args.empty() ? "" : ", ") + p->Name();
            text = "SELECT * FROM " + QuoteName(r.schema) + "." + QuoteName(r.name) + "(" + args + ")";
        }
        auto query = std::make_shared<clsQuery>();
        query->Init(listed, text, std::move(r.parameters));
        queries.Add(query, listed);
        names.Add(listed, listed);
    }
    SetQueries(std::move(queries));
    SetQueryNames(std::move(names));
}

std::string clsDSSQLServer::Convert2Date(const Variant& vDateTime) {
    if (vDateTime.isMissing()) raiseStandard(err::TypeMismatch);
    const double serial = vDateTime.toDateSerial();
    const double day = std::trunc(serial);
    // PostgreSQL keeps microseconds; SQL Server's datetime takes no more than milliseconds.
    const long long perDay = kind_ == Kind::SqlServer ? 86400000LL : 86400000000LL;
    const long long perSecond = perDay / 86400;
    long long units = std::llround(std::fabs(serial - day) * static_cast<double>(perDay));
    double whole = day;
    if (units >= perDay) {
        units -= perDay;
        whole += serial < 0 ? -1 : 1;
    }
    const DateParts p = dateParts(whole);
    const long long secs = units / perSecond;
    long long part = units % perSecond;
    int digits = kind_ == Kind::SqlServer ? 3 : 6;
    // ISO order reads the same whatever the server's language; the T keeps
    // SQL Server from reading the day as the month.
    const char separator = kind_ == Kind::SqlServer ? 'T' : ' ';
    char text[64];
    int n = std::snprintf(text, sizeof text, "'%04d-%02d-%02d%c%02lld:%02lld:%02lld", p.year, p.month, p.day, separator,
                          secs / 3600, secs / 60 % 60, secs % 60);
    if (part != 0) {
        // The shortest fraction that is exact: .25, not .250000.
        while (part % 10 == 0) part /= 10, --digits;
        n += std::snprintf(text + n, sizeof text - static_cast<size_t>(n), ".%0*lld", digits, part);
    }
    std::snprintf(text + n, sizeof text - static_cast<size_t>(n), "'");
    return text;
}

std::string clsDSSQLServer::Convert2GUID(const std::string& sGUID) { return literal(sGUID); }

std::shared_ptr<ado::Command> clsDSSQLServer::InitializeCommand() {
    // The server's own commands: the file engine's cannot drive its connection.
    auto command = host::serverAdoProvider().NewCommand();
    command->ActiveConnection(adoHelper_->Connection);
    return command;
}

void clsDSSQLServer::DefineCommand(ado::Command& oCommand, const std::string& QueryName) {
    const clsQuery& query = *Queries().Item(QueryName);
    if (viewNames_.Exists(QueryName)) {
        oCommand.CommandType(ado::command::Text);
        oCommand.CommandText(query.SQL());
        return;
    }
    // A routine always runs by name: its text in the menus is no statement.
    const auto [schema, name] = Locate(QueryName);
    oCommand.CommandType(ado::command::StoredProc);
    oCommand.CommandText("`" + schema + "." + name + "`");
    for (const auto& parameter : query.Parameters()) adoHelper_->AddPromptedParameter(oCommand, *parameter, 1);
    // Output parameters are not asked for, but their values are shown afterwards.
    for (const auto& parameter : query.Parameters())
        if (parameter->Direction() == ado::direction::Output)
            oCommand.Parameters().Append(oCommand.CreateParameter(parameter->Name(), parameter->ParameterType(),
                                                                  parameter->Direction(), 0, Variant::null()));
}

int32_t clsDSSQLServer::GetParameterDirectionTypeADO(const Variant& vType) {
    if (vType.isString()) {
        const std::string m = lowerAscii(trimBlanks(vType.stringRef()));
        if (m == "i" || m == "v" || m == "in") return ado::direction::Input;
        if (m == "o" || m == "out") return ado::direction::Output;
        if (m == "b" || m == "inout") return ado::direction::InputOutput;
        return ado::direction::Unknown;
    }
    const int32_t d = vType.toLong();
    return d == 1 || d == 2 || d == 3 ? d : 0;
}

int32_t clsDSSQLServer::MapToTypeADO(const Variant& vTypeDB) {
    std::string t = lowerAscii(trimBlanks(vTypeDB.text()));
    if (const size_t paren = t.find('('); paren != std::string::npos) t = trimBlanks(t.substr(0, paren));
    if (t.ends_with("[]")) return ado::type::VarWChar;
    if (t == "smallint" || t == "int2" || t == "smallserial") return ado::type::SmallInt;
    if (t == "integer" || t == "int" || t == "int4" || t == "serial") return ado::type::Integer;
    if (t == "bigint" || t == "int8" || t == "bigserial") return ado::type::BigInt;
    if (t == "tinyint") return ado::type::UnsignedTinyInt;
    if (t == "real" || t == "float4") return ado::type::Single;
    if (t == "double precision" || t == "float" || t == "float8") return ado::type::Double;
    if (t == "numeric" || t == "decimal") return ado::type::Numeric;
    if (t == "money" || t == "smallmoney") return ado::type::Currency;
    if (t == "boolean" || t == "bool" || t == "bit") return ado::type::Boolean;
    if (t == "date") return 133;
    if (t.starts_with("time") && t.find("stamp") == std::string::npos) return 134;
    if (t.starts_with("timestamp") || t.starts_with("datetime") || t == "smalldatetime") return ado::type::DBTimeStamp;
    if (t == "uuid" || t == "uniqueidentifier") return ado::type::GUID;
    if (t == "bytea" || t == "varbinary" || t == "binary" || t == "image") return ado::type::VarBinary;
    if (t == "text" || t == "ntext") return ado::type::LongVarWChar;
    return ado::type::VarWChar;
}

std::string clsDSSQLServer::QuoteName(const std::string& name) const {
    if (kind_ == Kind::SqlServer) return "[" + replaceAll(name, "]", "]]") + "]";
    return "\"" + replaceAll(name, "\"", "\"\"") + "\"";
}

std::string clsDSSQLServer::BooleanLiteral(bool value) const {
    if (kind_ == Kind::SqlServer) return value ? "1" : "0";
    return value ? "TRUE" : "FALSE";
}

std::string clsDSSQLServer::KindName() const {
    switch (kind_) {
    case Kind::PostgreSQL: return "PostgreSQL";
    case Kind::SqlServer: return "MS SQL Server";
    default: return {};
    }
}

std::string clsDSSQLServer::FirstRows(const std::string& tableExpression, long long n, const std::string& alias) const {
    if (kind_ == Kind::PostgreSQL)
        return "SELECT * FROM (" + tableExpression + ") AS " + alias + " LIMIT " + std::to_string(n);
    return IDS::FirstRows(tableExpression, n, alias);
}

std::string clsDSSQLServer::NormalizeDefault(const std::string& serverDefault) {
    std::string s = trimBlanks(serverDefault);
    // SQL Server keeps its defaults in parentheses: ((0)), (getdate()).
    while (s.size() >= 2 && s.front() == '(' && s.back() == ')') {
        int depth = 0;
        bool wraps = true;
        for (size_t i = 0; i < s.size(); ++i) {
            depth += s[i] == '(' ? 1 : s[i] == ')' ? -1 : 0;
            if (depth == 0 && i + 1 < s.size()) wraps = false;
        }
        if (!wraps) break;
        s = trimBlanks(s.substr(1, s.size() - 2));
    }
    if (s.empty() || startsWithNoCase(s, "nextval(")) return {};
    if ((s.front() == 'N' || s.front() == 'E') && s.size() > 1 && s[1] == '\'') s.erase(0, 1);
    if (s.front() == '\'') {
        // A text literal, maybe with a cast after it: 'Netherlands'::character varying.
        std::string text;
        size_t i = 1;
        for (; i < s.size(); ++i) {
            if (s[i] == '\'') {
                if (i + 1 < s.size() && s[i + 1] == '\'') {
                    text += '\'';
                    ++i;
                    continue;
                }
                break;
            }
            text += s[i];
        }
        return "\"" + text + "\"";
    }
    // A cast of a number or a word: 0::numeric, (1000)::numeric(12,2).
    if (const size_t cast = s.find("::"); cast != std::string::npos) s = NormalizeDefault(s.substr(0, cast));
    const std::string lower = lowerAscii(s);
    if (lower == "now()" || lower == "current_timestamp" || lower == "getdate()" || lower == "sysdatetime()" ||
        lower == "localtimestamp")
        return "now()";
    if (lower == "current_date") return "date()";
    if (lower == "newid()" || lower == "gen_random_uuid()" || lower == "uuid_generate_v4()") return "newid";
    if (lower == "true" || lower == "false") return lower;
    return s;
}

}  // namespace dalvera
