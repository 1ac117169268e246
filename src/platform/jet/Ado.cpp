// ADO objects: connections, commands and client-side record sets.
#include <sqlite3.h>

#include <algorithm>
#include <optional>

#include "host/AdoCommand.h"
#include "host/Progress.h"
#include "platform/jet/Catalog.h"
#include "platform/jet/Jet.h"
#include "platform/jet/Security.h"
#include "platform/jet/Session.h"
#include "runtime/Text.h"

namespace dalvera::jet {

namespace ado = host::ado;
namespace dt = host::dao::type;

namespace {

// The data source strips exactly this driver prefix from the messages it shows.
const std::string DriverPrefix = "[Microsoft][ODBC Microsoft Access Driver] ";

thread_local long gLastEngineError = 0;

// What ADO reports for a statement run without a value for one of its parameters.
constexpr long ParameterMissing = -2147217904;

[[noreturn]] void providerError(const Error& e, const std::string& source) {
    // A load the person cancelled is no fault of the provider's.
    if (e.number() == host::LoadCancelled) throw e;
    gLastEngineError = e.number();
    throw Error(e.number() == 3061 ? ParameterMissing : ado::ProviderError, DriverPrefix + e.description(), source);
}

[[noreturn]] void connectionUnusable(const std::string& source) {
    raise(3709, "The connection cannot be used to perform this operation. It is either closed or invalid in this context.",
          source);
}

[[noreturn]] void closedObject() { raise(3704, "Operation is not allowed when the object is closed.", "ADODB.Recordset"); }

int daoFromAdo(int adoType) {
    switch (adoType) {
    case 11: return dt::Boolean;
    case 16:
    case 17: return dt::Byte;
    case 2:
    case 18: return dt::Integer;
    case 3:
    case 19: return dt::Long;
    case 20:
    case 21: return dt::BigInt;
    case 6: return dt::Currency;
    case 4: return dt::Single;
    case 5: return dt::Double;
    case 7:
    case 133:
    case 134:
    case 135: return dt::Date;
    case 72: return dt::GUID;
    case 14:
    case 131: return dt::Decimal;
    case 128:
    case 204: return dt::Binary;
    case 205: return dt::LongBinary;
    case 201:
    case 203: return dt::Memo;
    default: return dt::Text;
    }
}

[[noreturn]] void notHeld(const RowSet& rows) {
    raise(ado::ProviderError,
          DriverPrefix + "The result has " + std::to_string(rows.rows) + " records; only the first " +
              std::to_string(rows.held) + " are held. Narrow the query down to read the others.",
          "ADODB.Recordset");
}

// Rows and position, shared with the fields, so that a field stays usable
// when the caller has let go of its record set.
struct Cursor {
    RowSet rows;
    long position = 0;
};

class JetField : public ado::Field {
public:
    JetField(std::shared_ptr<Cursor> cursor, size_t column) : cursor_(std::move(cursor)), column_(column) {}
    const std::string& Name() const override { return cursor_->rows.columns[column_].name; }
    int Type() const override { return cursor_->rows.columns[column_].type.ado; }
    long DefinedSize() const override { return cursor_->rows.columns[column_].type.adoSize; }
    Variant Value() const override {
        long p = cursor_->position;
        if (p < 0 || p >= cursor_->rows.rows)
            raise(3021,
                  "Either BOF or EOF is True, or the current record has been deleted. Requested operation requires a "
                  "current record.",
                  "ADODB.Field");
        if (p >= cursor_->rows.held) notHeld(cursor_->rows);
        return cursor_->rows.data->at(column_, static_cast<size_t>(p));
    }

private:
    std::shared_ptr<Cursor> cursor_;
    size_t column_;
};


class JetRecordset : public ado::Recordset {
public:
    // A statement without rows gives a closed record set.
    JetRecordset() = default;
    JetRecordset(RowSet rows, std::shared_ptr<ado::Connection> connection)
        : cur_(std::make_shared<Cursor>(Cursor{std::move(rows), 0})), connection_(std::move(connection)), open_(true) {
        for (size_t i = 0; i < cur_->rows.columns.size(); ++i) fields_.items_.push_back(std::make_shared<JetField>(cur_, i));
    }
    long State() const override { return open_ ? ado::state::Open : ado::state::Closed; }
    void Close() override {
        if (!open_) closedObject();
        open_ = false;
        connection_.reset();
    }
    void ActiveConnection(std::shared_ptr<ado::Connection> c) override { connection_ = std::move(c); }
    std::shared_ptr<ado::Connection> ActiveConnection() const override { return connection_; }
    const ado::Fields& Fields() const override {
        check();
        return fields_;
    }
    long RecordCount() const override {
        check();
        return cur_->rows.rows;
    }
    bool Bof() const override {
        check();
        return cur_->rows.rows == 0 || cur_->position < 0;
    }
    bool Eof() const override {
        check();
        return cur_->position >= cur_->rows.rows;
    }
    void MoveFirst() override {
        check();
        cur_->position = 0;
    }
    void MoveLast() override {
        check();
        cur_->position = cur_->rows.rows > 0 ? cur_->rows.rows - 1 : 0;
    }
    void MoveNext() override {
        check();
        if (cur_->position >= cur_->rows.rows) noCurrent();
        ++cur_->position;
    }
    void MovePrevious() override {
        check();
        if (cur_->position < 0) noCurrent();
        --cur_->position;
    }
    long AbsolutePosition() const override {
        check();
        if (cur_->position >= cur_->rows.rows) return -3;
        if (cur_->position < 0) return -2;
        return cur_->position + 1;
    }
    long FieldCount() const override { return static_cast<long>(cur_->rows.columns.size()); }
    long FetchColumns(long maxRows, std::vector<std::vector<Variant>>& columns) override {
        check();
        columns.resize(cur_->rows.columns.size());
        long from = std::max(0L, cur_->position);
        long n = std::max(0L, std::min(maxRows, cur_->rows.held - from));
        if (n == 0 && from < cur_->rows.rows && maxRows > 0) notHeld(cur_->rows);
        cur_->rows.data->appendTo(columns, static_cast<size_t>(from), static_cast<size_t>(n));
        cur_->position = from + n;
        return n;
    }
    long FetchHeld(long maxRows, std::shared_ptr<const ValueTable>& table, long& first) override {
        check();
        first = std::max(0L, cur_->position);
        long n = std::max(0L, std::min(maxRows, cur_->rows.held - first));
        if (n == 0 && first < cur_->rows.rows && maxRows > 0) notHeld(cur_->rows);
        table = cur_->rows.data;
        cur_->position = first + n;
        return n;
    }
    // The rows are read once and kept as they are: the snapshot is the record set's own.
    std::shared_ptr<const ValueTable> Snapshot() override {
        check();
        if (cur_->rows.held < cur_->rows.rows) notHeld(cur_->rows);
        cur_->position = cur_->rows.rows;
        return cur_->rows.data;
    }

private:
    void check() const {
        if (!open_) closedObject();
    }
    [[noreturn]] static void noCurrent() {
        raise(3021,
              "Either BOF or EOF is True, or the current record has been deleted. Requested operation requires a "
              "current record.",
              "ADODB.Recordset");
    }
    std::shared_ptr<Cursor> cur_ = std::make_shared<Cursor>();
    ado::FieldList fields_;
    std::shared_ptr<ado::Connection> connection_;
    bool open_ = false;
};

std::string stripQuotes(std::string name) {
    name = trimBlanks(name);
    if (name.size() >= 2 && ((name.front() == '`' && name.back() == '`') || (name.front() == '[' && name.back() == ']')))
        name = name.substr(1, name.size() - 2);
    return name;
}

class JetConnection : public ado::Connection, public std::enable_shared_from_this<JetConnection> {
public:
    int CursorLocation() const override { return cursorLocation_; }
    void CursorLocation(int location) override { cursorLocation_ = location; }
    std::string ConnectionString() const override { return connectionString_; }
    void ConnectionString(const std::string& text) override {
        if (session_) raise(3705, "Operation is not allowed when the object is open.", "ADODB.Connection");
        connectionString_ = text;
    }
    void Open(const std::string& connectionString, const std::string& userId, const std::string& password,
              long) override {
        if (session_) raise(3705, "Operation is not allowed when the object is open.", "ADODB.Connection");
        if (!connectionString.empty()) connectionString_ = connectionString;
        std::string dbq, uid, pwd, systemDb;
        bool readOnly = false;
        for (const auto& [k, v] : parseConnectionString(connectionString_)) {
            if (k == "dbq" || k == "data source") dbq = v;
            else if (k == "uid" || k == "user id") uid = v;
            else if (k == "pwd" || k == "password") pwd = v;
            else if (k == "systemdb") systemDb = v;
            else if (k == "readonly") readOnly = v == "1" || equalsNoCase(v, "true");
        }
        if (!userId.empty()) uid = userId;
        if (!password.empty()) pwd = password;
        try {
            if (trimBlanks(dbq).empty())
                raise(3044, "No database file was given: the connection text has no Dbq= entry.", "ADODB.Connection");
            Logon logon;
            if (!trimBlanks(systemDb).empty()) {
                logon.workgroupId = authenticate(systemDb, uid, pwd);
                logon.user = trimBlanks(uid);
                logon.workgroup = true;
                // With a workgroup logon the password is the account's, not the database's.
                session_ = Session::open(dbq, readOnly, {}, logon);
            } else {
                session_ = Session::open(dbq, readOnly, pwd, logon);
            }
        } catch (const Error& e) {
            providerError(e, "ADODB.Connection");
        }
    }
    long State() const override { return session_ ? ado::state::Open : ado::state::Closed; }
    long NativeError() const override { return gLastEngineError; }
    void Close() override {
        if (!session_) raise(3704, "Operation is not allowed when the object is closed.", "ADODB.Connection");
        // Closing undoes an open transaction; a reopened connection starts without one.
        session_.reset();
        inTransaction_ = rolledBack_ = false;
        lost_.reset();
    }
    std::shared_ptr<ado::Recordset> Execute(const std::string& commandText, long& recordsAffected, long) override {
        return run(commandText, ado::command::Text, nullptr, recordsAffected, "ADODB.Connection");
    }
    long BeginTrans() override {
        if (!session_) connectionUnusable("ADODB.Connection");
        if (inTransaction_) raise(-2147168237, "Only one transaction can be active on this connection.", "ADODB.Connection");
        try {
            session_->exec("BEGIN IMMEDIATE");
        } catch (const Error& e) {
            providerError(e, "ADODB.Connection");
        }
        inTransaction_ = true;
        rolledBack_ = false;
        lost_.reset();
        return 1;
    }
    // A COMMIT that fails (a reader's lock, a full disk) leaves the transaction
    // open when SQLite still has it, so that it can be retried or rolled back;
    // when SQLite has rolled it back itself, the connection knows it too.
    void CommitTrans() override {
        if (!session_) connectionUnusable("ADODB.Connection");
        if (!inTransaction_) raise(-2147168242, "No transaction is active.", "ADODB.Connection");
        if (lost_) {
            // A failed statement took the transaction with it: nothing of it is stored.
            Error cause = *lost_;
            endAfterLoss();
            providerError(Error(cause.number(), cause.description() + " The transaction was rolled back; nothing of it was stored.",
                                cause.source()),
                          "ADODB.Connection");
        }
        try {
            session_->exec("COMMIT");
        } catch (const Error& e) {
            if (sqlite3_get_autocommit(session_->db())) endAfterLoss();
            providerError(e, "ADODB.Connection");
        }
        inTransaction_ = false;
    }
    void RollbackTrans() override {
        if (!session_) connectionUnusable("ADODB.Connection");
        if (!inTransaction_) {
            // The transaction already ended with a failure; rolling it back is done.
            if (rolledBack_) {
                rolledBack_ = false;
                return;
            }
            raise(-2147168242, "No transaction is active.", "ADODB.Connection");
        }
        inTransaction_ = false;
        lost_.reset();
        if (sqlite3_get_autocommit(session_->db())) return;
        try {
            session_->exec("ROLLBACK");
        } catch (const Error& e) {
            providerError(e, "ADODB.Connection");
        }
    }

    // Runs text, or a stored query by name, with parameter values by name.
    std::shared_ptr<ado::Recordset> run(const std::string& text, int commandType, const ado::Parameters* params,
                                        long& recordsAffected, const std::string& source) {
        if (!session_) connectionUnusable(source);
        recordsAffected = -1;
        ParameterLookup lookup = [&](const std::string& name, int declared) -> Variant {
            if (!params) return Variant::missing();
            std::shared_ptr<ado::Parameter> p;
            std::string bare = stripQuotes(name);
            for (const auto& q : *params)
                if (equalsNoCase(stripQuotes(q->Name()), bare)) p = q;
            // A "?" placeholder (named by its number) takes the parameters in order.
            if (!p && !bare.empty() && std::all_of(bare.begin(), bare.end(), ::isdigit)) {
                long i = std::stol(bare) - 1;
                if (i >= 0 && i < params->Count()) p = params->Item(i);
            }
            if (!p) return Variant::missing();
            if (declared) return p->Value();
            return convertToDeclared(p->Value(), daoFromAdo(p->Type()));
        };
        try {
            std::string sql = text;
            if (commandType == ado::command::StoredProc || commandType == ado::command::Table ||
                commandType == ado::command::Unknown) {
                auto q = findStoredQuery(*session_, stripQuotes(text));
                if (q) sql = q->sql;
                else if (commandType == ado::command::StoredProc)
                    raise(3078,
                          "The database engine cannot find the input table or query '" + stripQuotes(text) +
                              "'. Make sure it exists and that its name is spelled correctly.",
                          "DAO.Database");
                else if (commandType == ado::command::Table) {
                    // A name holding ']' is written in back quotes.
                    std::string name = stripQuotes(text);
                    sql = "SELECT * FROM " + (name.find(']') == std::string::npos ? "[" + name + "]" : "`" + name + "`");
                }
            }
            if (lost_)
                raise(lost_->number(),
                      lost_->description() + " The transaction was rolled back; roll it back before running more statements.",
                      lost_->source());
            ExecResult r;
            try {
                r = session_->execute(sql, lookup);
            } catch (const Error& e) {
                // SQLite may end the whole transaction on a failure (a full disk, ON CONFLICT ROLLBACK);
                // what follows must not be committed statement by statement.
                if (inTransaction_ && sqlite3_get_autocommit(session_->db())) lost_ = e;
                throw;
            }
            if (!r.hasRows) {
                recordsAffected = r.affected;
                return std::make_shared<JetRecordset>();
            }
            return std::make_shared<JetRecordset>(std::move(r.rows), shared_from_this());
        } catch (const Error& e) {
            providerError(e, source);
        }
    }

private:
    void endAfterLoss() {
        inTransaction_ = false;
        rolledBack_ = true;
        lost_.reset();
    }
    int cursorLocation_ = 2;
    std::string connectionString_;
    std::shared_ptr<Session> session_;
    bool inTransaction_ = false;
    bool rolledBack_ = false;      // ended by a failure; one RollbackTrans is then a no-op
    std::optional<Error> lost_;    // the failure that made SQLite roll the transaction back
};

class JetCommand : public ado::CommandBase {
public:
    std::shared_ptr<ado::Recordset> Execute(long& recordsAffected, long) override {
        auto c = std::dynamic_pointer_cast<JetConnection>(connection_);
        if (!c) connectionUnusable("ADODB.Command");
        return c->run(text_, type_, &params_, recordsAffected, "ADODB.Command");
    }

};

class JetAdoProvider : public ado::AdoProvider {
public:
    std::shared_ptr<ado::Connection> NewConnection() override { return std::make_shared<JetConnection>(); }
    std::shared_ptr<ado::Command> NewCommand() override { return std::make_shared<JetCommand>(); }
};

}  // namespace

std::vector<std::pair<std::string, std::string>> parseConnectionString(const std::string& text) {
    std::vector<std::pair<std::string, std::string>> out;
    size_t i = 0;
    while (i < text.size()) {
        size_t eq = text.find('=', i), semi = text.find(';', i);
        if (eq == std::string::npos || (semi != std::string::npos && semi < eq)) {
            if (semi == std::string::npos) break;
            i = semi + 1;  // a part without "=" is passed over
            continue;
        }
        std::string key = lowerAscii(trimBlanks(text.substr(i, eq - i)));
        size_t v = eq + 1;
        while (v < text.size() && text[v] == ' ') ++v;
        std::string value;
        if (v < text.size() && text[v] == '{') {
            size_t j = v + 1;
            while (j < text.size()) {
                if (text[j] == '}') {
                    if (j + 1 < text.size() && text[j + 1] == '}') {
                        value += '}';
                        j += 2;
                        continue;
                    }
                    break;
                }
                value += text[j++];
            }
            size_t end = text.find(';', j);
            i = end == std::string::npos ? text.size() : end + 1;
        } else {
            size_t end = text.find(';', v);
            value = trimBlanks(text.substr(v, end == std::string::npos ? std::string::npos : end - v));
            i = end == std::string::npos ? text.size() : end + 1;
        }
        if (!key.empty()) {
            // The first occurrence of a key counts, as the driver manager takes it.
            bool seen = false;
            for (auto& kv : out) seen = seen || kv.first == key;
            if (!seen) out.emplace_back(key, value);
        }
    }
    return out;
}

long lastEngineError() { return gLastEngineError; }

std::shared_ptr<host::ado::AdoProvider> adoProvider() {
    static auto p = std::make_shared<JetAdoProvider>();
    return p;
}

}  // namespace dalvera::jet
