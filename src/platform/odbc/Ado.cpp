// ADO connections, client-side record sets and commands over ODBC.
#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <system_error>
#include <thread>

#include "host/AdoCommand.h"
#include "host/Progress.h"
#include "platform/odbc/Odbc.h"
#include "runtime/DateSerial.h"
#include "runtime/Text.h"
#include "runtime/ValueTable.h"

namespace dalvera::odbc {

namespace ado = host::ado;

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "the driver manager's wide characters are 16 bits");

namespace {

std::u16string wide(const std::string& s) { return toUtf16(s); }
SQLWCHAR* w(std::u16string& s) { return reinterpret_cast<SQLWCHAR*>(s.data()); }

SQLHENV environment() {
    static SQLHENV env = [] {
        SQLHENV e = SQL_NULL_HENV;
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &e)))
            raise(429, "The ODBC driver manager cannot be started.", "ADODB.Connection");
        SQLSetEnvAttr(e, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        return e;
    }();
    return env;
}

struct Diagnostic {
    std::string state;
    long native = 0;
    std::string text;
};

// Every record of the handle's diagnostics, the first one's state and number.
Diagnostic diagnose(SQLSMALLINT type, SQLHANDLE handle) {
    Diagnostic d;
    for (SQLSMALLINT i = 1; i <= 20; ++i) {
        SQLWCHAR state[6] = {};
        SQLINTEGER native = 0;
        std::vector<SQLWCHAR> message(2048);
        SQLSMALLINT length = 0;
        SQLRETURN rc = SQLGetDiagRecW(type, handle, i, state, &native, message.data(),
                                      static_cast<SQLSMALLINT>(message.size()), &length);
        if (!SQL_SUCCEEDED(rc)) break;
        const size_t n = std::min<size_t>(static_cast<size_t>(std::max<SQLSMALLINT>(length, 0)), message.size() - 1);
        std::string text = trimBlanks(fromUtf16(reinterpret_cast<const char16_t*>(message.data()), n));
        if (i == 1) {
            d.state = fromUtf16(reinterpret_cast<const char16_t*>(state), 5);
            d.native = native;
        }
        if (!text.empty() && d.text.find(text) == std::string::npos) d.text += (d.text.empty() ? "" : "\r") + text;
    }
    if (d.text.empty()) d.text = "The ODBC driver reported a failure without a message.";
    return d;
}

[[noreturn]] void connectionUnusable(const std::string& source) {
    raise(3709, "The connection cannot be used to perform this operation. It is either closed or invalid in this context.",
          source);
}

[[noreturn]] void closedObject() { raise(3704, "Operation is not allowed when the object is closed.", "ADODB.Recordset"); }

[[noreturn]] void noCurrent(const char* source) {
    raise(3021,
          "Either BOF or EOF is True, or the current record has been deleted. Requested operation requires a current "
          "record.",
          source);
}

// How a result column is read and what ADO calls it.
enum class Read { Integer, Double, Numeric, Bit, BoolText, Timestamp, Date, Time, Text, Binary };

struct Column {
    std::string name;
    int adoType = ado::type::VarWChar;
    long size = 0;
    Read read = Read::Text;
    int intWidth = 0;  // 1, 2, 4, 8: the Variant an integer becomes
};

Column describe(SQLHSTMT stmt, SQLUSMALLINT i) {
    SQLWCHAR name[512] = {};
    SQLSMALLINT nameLength = 0, sqlType = 0, digits = 0, nullable = 0;
    SQLULEN size = 0;
    SQLDescribeColW(stmt, i, name, 512, &nameLength, &sqlType, &size, &digits, &nullable);
    Column c;
    c.name = fromUtf16(reinterpret_cast<const char16_t*>(name), static_cast<size_t>(std::clamp<int>(nameLength, 0, 511)));
    SQLWCHAR typeName[128] = {};
    SQLSMALLINT typeLength = 0;
    SQLColAttributeW(stmt, i, SQL_DESC_TYPE_NAME, typeName, sizeof typeName, &typeLength, nullptr);
    const auto* typeText = reinterpret_cast<const char16_t*>(typeName);
    const std::string type = lowerAscii(fromUtf16(typeText, std::char_traits<char16_t>::length(typeText)));
    SQLLEN unsignedFlag = SQL_FALSE;
    SQLColAttributeW(stmt, i, SQL_DESC_UNSIGNED, nullptr, 0, nullptr, &unsignedFlag);
    c.size = static_cast<long>(std::min<SQLULEN>(size, 1073741823));
    switch (sqlType) {
    case SQL_BIT: c.adoType = ado::type::Boolean, c.read = Read::Bit, c.size = 2; break;
    case SQL_TINYINT:
        c.adoType = unsignedFlag ? ado::type::UnsignedTinyInt : ado::type::TinyInt, c.read = Read::Integer, c.intWidth = 1,
        c.size = 1;
        break;
    case SQL_SMALLINT: c.adoType = ado::type::SmallInt, c.read = Read::Integer, c.intWidth = 2, c.size = 2; break;
    case SQL_INTEGER: c.adoType = ado::type::Integer, c.read = Read::Integer, c.intWidth = 4, c.size = 4; break;
    case SQL_BIGINT: c.adoType = ado::type::BigInt, c.read = Read::Integer, c.intWidth = 8, c.size = 8; break;
    case SQL_REAL: c.adoType = ado::type::Single, c.read = Read::Double, c.size = 4; break;
    case SQL_FLOAT:
    case SQL_DOUBLE: c.adoType = ado::type::Double, c.read = Read::Double, c.size = 8; break;
    case SQL_DECIMAL:
    case SQL_NUMERIC:
        // Money is four decimals on the server as in the engine's files.
        c.adoType = type == "money" || type == "smallmoney" ? ado::type::Currency : ado::type::Numeric;
        c.read = Read::Numeric;
        c.size = 19;
        break;
    case SQL_TYPE_DATE:
    case SQL_DATE: c.adoType = 133, c.read = Read::Date, c.size = 6; break;
    case SQL_TYPE_TIME:
    case SQL_TIME: c.adoType = 134, c.read = Read::Time, c.size = 6; break;
    case SQL_TYPE_TIMESTAMP:
    case SQL_TIMESTAMP: c.adoType = ado::type::DBTimeStamp, c.read = Read::Timestamp, c.size = 16; break;
    case SQL_GUID: c.adoType = ado::type::GUID, c.read = Read::Text, c.size = 16; break;
    case SQL_BINARY:
    case SQL_VARBINARY: c.adoType = ado::type::VarBinary, c.read = Read::Binary; break;
    case SQL_LONGVARBINARY: c.adoType = ado::type::LongVarBinary, c.read = Read::Binary, c.size = 2147483647; break;
    case SQL_LONGVARCHAR:
    case SQL_WLONGVARCHAR: c.adoType = ado::type::LongVarWChar, c.read = Read::Text, c.size = 1073741823; break;
    default: c.adoType = ado::type::VarWChar, c.read = Read::Text; break;
    }
    // A driver that hands Yes/No columns over as text still means Yes/No.
    if ((type == "bool" || type == "boolean") && c.read == Read::Text) c.adoType = ado::type::Boolean, c.read = Read::BoolText, c.size = 2;
    if (type == "uuid" || type == "uniqueidentifier") c.adoType = ado::type::GUID, c.size = 16;
    return c;
}

// The day and its time in one rounding: microseconds are kept (a serial of this
// era still tells them apart), so that a row is found again by the time it was read with.
double serialFrom(int y, int mo, int d, int h, int mi, int s, long long us) {
    const double day = dateSerial(y, mo, d);
    const double f = static_cast<double>((h * 3600LL + mi * 60LL + s) * 1000000LL + us) / 86400e6;
    return day < 0 ? day - f : day + f;
}

double serialOf(const SQL_TIMESTAMP_STRUCT& t) {
    return serialFrom(t.year, t.month, t.day, t.hour, t.minute, t.second, std::llround(t.fraction / 1e3));
}

std::string readAll(SQLHSTMT stmt, SQLUSMALLINT i, SQLSMALLINT cType, bool& isNull, const std::string& source);

}  // namespace

std::atomic<bool>& rowByRow() {
    static std::atomic<bool> on{false};
    return on;
}

namespace {

// The PostgreSQL driver falls back to its own setup's logging once its last
// connection with logging off is closed, and so writes a trace file while
// closing it. A connection attempt that fails at once (no such socket folder)
// counts as one with logging off for the rest of the process.
void keepDriverLogsOff(const std::string& driver) {
    static std::mutex lock;
    static std::set<std::string> done;
    std::lock_guard<std::mutex> hold(lock);
    if (!done.insert(lowerAscii(driver)).second) return;
    SQLHDBC dbc = SQL_NULL_HDBC;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, environment(), &dbc))) return;
    const std::string text = driver + ";Servername=/nonexistent/dalvera-no-server;Port=1;Database=none;Uid=none;"
                                      "CommLog=0;Debug=0";
    std::u16string in = wide(text);
    if (SQL_SUCCEEDED(SQLDriverConnectW(dbc, nullptr, w(in), SQL_NTS, nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT)))
        SQLDisconnect(dbc);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
}


// Yes/No as the driver hands it over as text: "1", "t", "y", or "-1" when
// the connection asks for true as minus one.
bool textMeansYes(const char* text) {
    const char f = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
    return f == '1' || f == 't' || f == 'y' || (f == '-' && text[1] == '1');
}

// One cell of the current row.
// A whole number in the width and kind its column reports.
Variant integerValue(const Column& c, SQLBIGINT v) {
    switch (c.intWidth) {
    case 1: return c.adoType == ado::type::UnsignedTinyInt ? Variant::byteValue(static_cast<uint8_t>(v)) : Variant::integer(static_cast<int16_t>(v));
    case 2: return Variant::integer(static_cast<int16_t>(v));
    case 4: return Variant::longValue(static_cast<int32_t>(v));
    default: return Variant::longLong(v);
    }
}

Variant readCell(SQLHSTMT stmt, SQLUSMALLINT i, const Column& c, const std::string& source) {
    SQLLEN indicator = 0;
    auto fail = [&]() {
        Diagnostic d = diagnose(SQL_HANDLE_STMT, stmt);
        throw Error(ado::ProviderError, d.text, source);
    };
    switch (c.read) {
    case Read::Integer: {
        SQLBIGINT v = 0;
        if (!SQL_SUCCEEDED(SQLGetData(stmt, i, SQL_C_SBIGINT, &v, 0, &indicator))) fail();
        if (indicator == SQL_NULL_DATA) return Variant::null();
        return integerValue(c, v);
    }
    case Read::Double: {
        double v = 0;
        if (!SQL_SUCCEEDED(SQLGetData(stmt, i, SQL_C_DOUBLE, &v, 0, &indicator))) fail();
        if (indicator == SQL_NULL_DATA) return Variant::null();
        return c.adoType == ado::type::Single ? Variant::single(static_cast<float>(v)) : Variant(v);
    }
    case Read::Numeric: {
        // In full: the digits of a large number cut short would make it a smaller one.
        bool isNull = false;
        const std::string text = readAll(stmt, i, SQL_C_CHAR, isNull, source);
        if (isNull) return Variant::null();
        const double v = std::strtod(text.c_str(), nullptr);
        return c.adoType == ado::type::Currency ? Variant::currency(v) : Variant(v);
    }
    case Read::Bit: {
        unsigned char v = 0;
        if (!SQL_SUCCEEDED(SQLGetData(stmt, i, SQL_C_BIT, &v, 0, &indicator))) fail();
        if (indicator == SQL_NULL_DATA) return Variant::null();
        return Variant(v != 0);
    }
    case Read::BoolText: {
        char text[16] = {};
        if (!SQL_SUCCEEDED(SQLGetData(stmt, i, SQL_C_CHAR, text, sizeof text, &indicator))) fail();
        if (indicator == SQL_NULL_DATA) return Variant::null();
        return Variant(textMeansYes(text));
    }
    case Read::Timestamp:
    case Read::Date:
    case Read::Time: {
        if (c.read == Read::Time) {
            SQL_TIME_STRUCT t{};
            if (!SQL_SUCCEEDED(SQLGetData(stmt, i, SQL_C_TYPE_TIME, &t, sizeof t, &indicator))) fail();
            if (indicator == SQL_NULL_DATA) return Variant::null();
            return Variant::date((t.hour * 3600.0 + t.minute * 60.0 + t.second) / 86400.0);
        }
        SQL_TIMESTAMP_STRUCT t{};
        if (!SQL_SUCCEEDED(SQLGetData(stmt, i, SQL_C_TYPE_TIMESTAMP, &t, sizeof t, &indicator))) fail();
        if (indicator == SQL_NULL_DATA) return Variant::null();
        return Variant::date(serialOf(t));
    }
    case Read::Binary: {
        bool isNull = false;
        std::string bytes = readAll(stmt, i, SQL_C_BINARY, isNull, source);
        if (isNull) return Variant::null();
        return Variant(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
    }
    case Read::Text:
    default: {
        bool isNull = false;
        std::string raw = readAll(stmt, i, SQL_C_WCHAR, isNull, source);
        if (isNull) return Variant::null();
        return Variant(fromUtf16(reinterpret_cast<const char16_t*>(raw.data()), raw.size() / 2));
    }
    }
}

// A text or binary cell of any length, in pieces.
std::string readAll(SQLHSTMT stmt, SQLUSMALLINT i, SQLSMALLINT cType, bool& isNull, const std::string& source) {
    std::string out;
    char buffer[8192];
    const size_t terminator = cType == SQL_C_WCHAR ? 2 : cType == SQL_C_CHAR ? 1 : 0;
    isNull = false;
    while (true) {
        SQLLEN indicator = 0;
        SQLRETURN rc = SQLGetData(stmt, i, cType, buffer, sizeof buffer, &indicator);
        if (rc == SQL_NO_DATA) break;
        if (!SQL_SUCCEEDED(rc)) {
            Diagnostic d = diagnose(SQL_HANDLE_STMT, stmt);
            throw Error(ado::ProviderError, d.text, source);
        }
        if (indicator == SQL_NULL_DATA) {
            isNull = true;
            return {};
        }
        size_t got = 0;
        if (indicator == SQL_NO_TOTAL || static_cast<size_t>(indicator) > sizeof buffer - terminator)
            got = sizeof buffer - terminator;
        else
            got = static_cast<size_t>(indicator);
        if (cType == SQL_C_WCHAR) got &= ~static_cast<size_t>(1);
        out.append(buffer, got);
        if (rc == SQL_SUCCESS) break;  // the last piece
    }
    return out;
}

// A statement handle freed on every way out.
void freeStatement(SQLHSTMT h) {
    SQLFreeStmt(h, SQL_CLOSE);
    SQLFreeHandle(SQL_HANDLE_STMT, h);
}

struct Statement {
    SQLHSTMT h = SQL_NULL_HSTMT;
    ~Statement() {
        if (h != SQL_NULL_HSTMT) freeStatement(h);
    }
};

// One statement only, so that nothing after it waits for its rows to be read.
bool oneStatement(const std::string& text) {
    std::string t = trimBlanks(text);
    while (!t.empty() && t.back() == ';') t = trimBlanks(t.substr(0, t.size() - 1));
    return t.find(';') == std::string::npos;
}

// How one column of a block is bound: the C type and the bytes of one cell.
struct BoundColumn {
    SQLSMALLINT cType = SQL_C_CHAR;
    SQLLEN width = 0;
};

// One block of fetched rows in buffers of its own, with the cells too long
// for their buffer read on their own while the driver still stood on it.
struct Block {
    std::vector<std::vector<char>> data;
    std::vector<std::vector<SQLLEN>> indicators;
    std::vector<std::pair<size_t, Variant>> singles;  // (row * columns + column, value), in order
    SQLULEN rows = 0;
};

// Blocks of a result fetched in order. A large result is fetched by a thread
// of its own into a few blocks in turn while the caller turns the block
// before into values: the driver's conversion and ours then take a core each.
// Only that thread touches the statement until the fetcher is gone.
class BlockFetcher {
public:
    BlockFetcher(SQLHSTMT stmt, const std::vector<Column>& columns, std::vector<BoundColumn> bound, SQLULEN rows,
                 const std::string& source, bool threaded)
        : stmt_(stmt), columns_(columns), bound_(std::move(bound)), rows_(rows), source_(source) {
        blocks_.resize(threaded ? 3 : 1);
        for (Block& b : blocks_) {
            b.data.resize(bound_.size());
            b.indicators.resize(bound_.size());
            for (size_t c = 0; c < bound_.size(); ++c) {
                b.data[c].assign(static_cast<size_t>(bound_[c].width) * rows_, 0);
                b.indicators[c].assign(rows_, 0);
            }
            free_.push_back(&b);
        }
        if (threaded) worker_ = std::thread([this] { work(); });
    }
    ~BlockFetcher() {
        if (!worker_.joinable()) return;
        {
            std::lock_guard<std::mutex> hold(lock_);
            stop_ = true;
        }
        changed_.notify_all();
        worker_.join();
    }
    BlockFetcher(const BlockFetcher&) = delete;
    BlockFetcher& operator=(const BlockFetcher&) = delete;

    // The next block, or null after the last; a failed fetch is thrown here,
    // after the blocks fetched before it.
    Block* next() {
        if (!worker_.joinable()) return fill(blocks_.front()) ? &blocks_.front() : nullptr;
        std::unique_lock<std::mutex> hold(lock_);
        changed_.wait(hold, [this] { return !filled_.empty() || done_; });
        if (!filled_.empty()) {
            Block* b = filled_.front();
            filled_.pop_front();
            return b;
        }
        if (error_) std::rethrow_exception(error_);
        return nullptr;
    }
    void release(Block* b) {
        if (!worker_.joinable()) return;
        {
            std::lock_guard<std::mutex> hold(lock_);
            free_.push_back(b);
        }
        changed_.notify_all();
    }

private:
    void work() {
        while (true) {
            Block* b = nullptr;
            {
                std::unique_lock<std::mutex> hold(lock_);
                changed_.wait(hold, [this] { return !free_.empty() || stop_; });
                if (stop_) return;
                b = free_.front();
                free_.pop_front();
            }
            bool more = false;
            std::exception_ptr error;
            try {
                more = fill(*b);
            } catch (...) {
                error = std::current_exception();
            }
            {
                std::lock_guard<std::mutex> hold(lock_);
                if (more) filled_.push_back(b);
                else done_ = true, error_ = error;
            }
            changed_.notify_all();
            if (!more) return;
        }
    }

    [[noreturn]] void fail() {
        Diagnostic d = diagnose(SQL_HANDLE_STMT, stmt_);
        throw Error(ado::ProviderError, d.text, source_);
    }

    // Fetches the next block into b; false at the end.
    bool fill(Block& b) {
        b.rows = 0;
        b.singles.clear();
        if (!SQL_SUCCEEDED(SQLSetStmtAttr(stmt_, SQL_ATTR_ROWS_FETCHED_PTR, &b.rows, 0))) fail();
        for (size_t c = 0; c < bound_.size(); ++c)
            if (!SQL_SUCCEEDED(SQLBindCol(stmt_, static_cast<SQLUSMALLINT>(c + 1), bound_[c].cType, b.data[c].data(),
                                          bound_[c].width, b.indicators[c].data())))
                fail();
        SQLRETURN rc = SQLFetch(stmt_);
        if (rc == SQL_NO_DATA) return false;
        if (!SQL_SUCCEEDED(rc)) fail();
        const size_t n = bound_.size();
        for (SQLULEN r = 0; r < b.rows; ++r)
            for (size_t c = 0; c < n; ++c) {
                const BoundColumn& bc = bound_[c];
                const Column& col = columns_[c];
                const SQLLEN indicator = b.indicators[c][r];
                if (indicator == SQL_NULL_DATA) continue;
                const SQLLEN room = bc.width - (bc.cType == SQL_C_WCHAR ? 2 : bc.cType == SQL_C_BINARY ? 0 : 1);
                const bool cut = indicator == SQL_NO_TOTAL || indicator > room;
                const bool alone = (col.read == Read::Text || col.read == Read::Binary || col.read == Read::Numeric) && cut;
                if (!alone) continue;
                // Longer than its buffer: read on its own, in full.
                if (!SQL_SUCCEEDED(SQLSetPos(stmt_, static_cast<SQLSETPOSIROW>(r + 1), SQL_POSITION, SQL_LOCK_NO_CHANGE)))
                    fail();
                b.singles.emplace_back(r * n + c, readCell(stmt_, static_cast<SQLUSMALLINT>(c + 1), col, source_));
            }
        return true;
    }

    SQLHSTMT stmt_;
    const std::vector<Column>& columns_;
    std::vector<BoundColumn> bound_;
    SQLULEN rows_;
    std::string source_;
    std::deque<Block> blocks_;
    std::thread worker_;
    std::mutex lock_;
    std::condition_variable changed_;
    std::deque<Block*> free_, filled_;
    bool done_ = false, stop_ = false;
    std::exception_ptr error_;
};

Variant blockValue(const Column& c, const char* cell, SQLLEN indicator) {
    switch (c.read) {
    case Read::Integer: {
        SQLBIGINT v = 0;
        std::memcpy(&v, cell, sizeof v);
        return integerValue(c, v);
    }
    case Read::Double: {
        double v = 0;
        std::memcpy(&v, cell, sizeof v);
        return c.adoType == ado::type::Single ? Variant::single(static_cast<float>(v)) : Variant(v);
    }
    case Read::Numeric: {
        const double v = std::strtod(cell, nullptr);
        return c.adoType == ado::type::Currency ? Variant::currency(v) : Variant(v);
    }
    case Read::Bit: return Variant(cell[0] != 0);
    case Read::BoolText: {
        return Variant(textMeansYes(cell));
    }
    case Read::Time: {
        SQL_TIME_STRUCT t{};
        std::memcpy(&t, cell, sizeof t);
        return Variant::date((t.hour * 3600.0 + t.minute * 60.0 + t.second) / 86400.0);
    }
    case Read::Date:
    case Read::Timestamp: {
        SQL_TIMESTAMP_STRUCT t{};
        std::memcpy(&t, cell, sizeof t);
        return Variant::date(serialOf(t));
    }
    default:
        return Variant(fromUtf16(reinterpret_cast<const char16_t*>(cell), static_cast<size_t>(indicator) / 2));
    }
}

// Turns one fetched block into values at the end of data.
void convertBlock(const Block& block, const std::vector<Column>& columns, const std::vector<BoundColumn>& bound,
                  ValueTable& data, long& rows) {
    const size_t n = bound.size();
    auto single = block.singles.begin();
    for (SQLULEN r = 0; r < block.rows; ++r) {
        for (size_t c = 0; c < n; ++c) {
            const BoundColumn& b = bound[c];
            const Column& col = columns[c];
            ValueColumn& out = data.column(c);
            const SQLLEN indicator = block.indicators[c][r];
            const char* cell = block.data[c].data() + static_cast<size_t>(b.width) * r;
            if (single != block.singles.end() && single->first == r * n + c) {
                out.push(single->second);
                ++single;
            } else if (indicator == SQL_NULL_DATA) {
                out.pushNull();
            } else if (b.cType == SQL_C_CHAR && col.read == Read::Text) {
                out.pushText(std::string_view(cell, static_cast<size_t>(indicator)));
            } else if (b.cType == SQL_C_BINARY) {
                out.push(Variant(std::vector<std::uint8_t>(cell, cell + indicator)));
            } else {
                out.push(blockValue(col, cell, indicator));
            }
        }
        host::rowRead(++rows);
    }
}

// A large result still being fetched: its first rows are lent while the
// driver hands over the next, so that a sheet fills as they arrive.
struct Stream {
    SQLHSTMT stmt = SQL_NULL_HSTMT;  // its own until read through
    std::vector<BoundColumn> bound;
    std::unique_ptr<BlockFetcher> fetcher;
    long expected = 0;                       // the driver's count
    std::function<void(SQLHSTMT)> release;   // frees the statement once done with
    std::exception_ptr failure;              // what stopped the reading, raised on every later use
};

// The rows as read, held compactly and lent to the sheet and the write-back
// as they are instead of copied.
struct Cursor {
    std::vector<Column> columns;
    std::shared_ptr<ValueTable> data = std::make_shared<ValueTable>();
    long rows = 0;
    long position = 0;
    std::unique_ptr<Stream> stream;

    Cursor() = default;
    Cursor(const Cursor&) = delete;
    Cursor& operator=(const Cursor&) = delete;
    ~Cursor() { stop(); }

    // Every row, as far as known: the driver's count while rows still arrive.
    long count() {
        if (stream && stream->failure) std::rethrow_exception(stream->failure);
        return stream ? std::max(rows, stream->expected) : rows;
    }
    // One more block read; false once every row is in.
    bool more() {
        if (!stream) return false;
        if (stream->failure) std::rethrow_exception(stream->failure);
        try {
            Block* block = stream->fetcher->next();
            if (!block) {
                stop();
                return false;
            }
            convertBlock(*block, columns, stream->bound, *data, rows);
            stream->fetcher->release(block);
            return true;
        } catch (...) {
            auto failure = std::current_exception();
            stop();
            stream = std::make_unique<Stream>();
            stream->failure = failure;
            throw;
        }
    }
    void drain() {
        while (more()) {
        }
    }
    // Ends the reading where it stands and lets the statement go.
    void stop() {
        if (!stream || stream->stmt == SQL_NULL_HSTMT) return;
        std::unique_ptr<Stream> s = std::move(stream);
        s->fetcher.reset();  // its thread is joined before the statement goes
        SQLSetStmtAttr(s->stmt, SQL_ATTR_ROWS_FETCHED_PTR, nullptr, 0);
        SQLFreeStmt(s->stmt, SQL_UNBIND);
        s->release(s->stmt);
    }
};

class OdbcField : public ado::Field {
public:
    OdbcField(std::shared_ptr<Cursor> cursor, size_t column) : cursor_(std::move(cursor)), column_(column) {}
    const std::string& Name() const override { return cursor_->columns[column_].name; }
    int Type() const override { return cursor_->columns[column_].adoType; }
    long DefinedSize() const override { return cursor_->columns[column_].size; }
    Variant Value() const override {
        const long p = cursor_->position;
        if (p >= cursor_->rows) cursor_->drain();
        cursor_->count();  // a reading that failed is told here too
        if (p < 0 || p >= cursor_->rows) noCurrent("ADODB.Field");
        return cursor_->data->at(column_, static_cast<size_t>(p));
    }

private:
    std::shared_ptr<Cursor> cursor_;
    size_t column_;
};


class OdbcRecordset : public ado::Recordset {
public:
    OdbcRecordset() = default;
    OdbcRecordset(std::shared_ptr<Cursor> cursor, std::shared_ptr<ado::Connection> connection)
        : cur_(std::move(cursor)), connection_(std::move(connection)), open_(true) {
        for (size_t i = 0; i < cur_->columns.size(); ++i) fields_.items_.push_back(std::make_shared<OdbcField>(cur_, i));
    }
    long State() const override { return open_ ? ado::state::Open : ado::state::Closed; }
    void Close() override {
        if (!open_) closedObject();
        open_ = false;
        cur_->stop();  // rows not yet read are of use to nobody now
        connection_.reset();
    }
    void ActiveConnection(std::shared_ptr<ado::Connection> c) override { connection_ = std::move(c); }
    std::shared_ptr<ado::Connection> ActiveConnection() const override { return connection_; }
    const ado::Fields& Fields() const override { return check(), fields_; }
    long RecordCount() const override { return check(), cur_->count(); }
    bool Bof() const override { return all(), cur_->rows == 0 || cur_->position < 0; }
    bool Eof() const override { return all(), cur_->position >= cur_->rows; }
    void MoveFirst() override { all(), cur_->position = 0; }
    void MoveLast() override { all(), cur_->position = cur_->rows > 0 ? cur_->rows - 1 : 0; }
    void MoveNext() override {
        all();
        if (cur_->position >= cur_->rows) noCurrent("ADODB.Recordset");
        ++cur_->position;
    }
    void MovePrevious() override {
        all();
        if (cur_->position < 0) noCurrent("ADODB.Recordset");
        --cur_->position;
    }
    long AbsolutePosition() const override {
        all();
        if (cur_->position >= cur_->rows) return -3;
        if (cur_->position < 0) return -2;
        return cur_->position + 1;
    }
    long FieldCount() const override { return static_cast<long>(cur_->columns.size()); }
    long FetchColumns(long maxRows, std::vector<std::vector<Variant>>& columns) override {
        all();
        const long from = std::max(0L, cur_->position);
        const long n = std::max(0L, std::min(maxRows, cur_->rows - from));
        cur_->data->appendTo(columns, static_cast<size_t>(from), static_cast<size_t>(n));
        cur_->position = from + n;
        return n;
    }
    // Lends the rows read so far, reading the next block first when all are lent.
    long FetchHeld(long maxRows, std::shared_ptr<const ValueTable>& table, long& first) override {
        check();
        first = std::max(0L, cur_->position);
        if (first >= cur_->rows && maxRows > 0) cur_->more();
        const long n = std::max(0L, std::min(maxRows, cur_->rows - first));
        table = cur_->data;
        cur_->position = first + n;
        return n;
    }
    // The snapshot is the record set's own, with every row.
    std::shared_ptr<const ValueTable> Snapshot() override {
        all();
        cur_->position = cur_->rows;
        return cur_->data;
    }

private:
    void check() const {
        if (!open_) closedObject();
    }
    // Whatever looks beyond the rows lent waits for the rest.
    void all() const {
        check();
        cur_->drain();
    }
    std::shared_ptr<Cursor> cur_ = std::make_shared<Cursor>();
    ado::FieldList fields_;
    std::shared_ptr<ado::Connection> connection_;
    bool open_ = false;
};

// The buffer of one bound parameter; it lives until the statement's results are read.
struct Binding {
    std::shared_ptr<ado::Parameter> parameter;
    SQLSMALLINT cType = SQL_C_WCHAR, sqlType = SQL_WVARCHAR, io = SQL_PARAM_INPUT;
    std::vector<char> buffer;
    SQLULEN columnSize = 0;
    SQLSMALLINT digits = 0;
    SQLLEN indicator = 0;
};

bool isIntegerType(int t) { return t == 2 || t == 3 || t == 16 || t == 17 || t == 18 || t == 19 || t == 20 || t == 21; }
bool isFractionType(int t) { return t == 4 || t == 5 || t == 6 || t == 14 || t == 131; }
bool isDateType(int t) { return t == 7 || t == 133 || t == 134 || t == 135; }

[[noreturn]] void badValue(const ado::Parameter& p) {
    raise(13, "The value '" + p.Value().text() + "' does not suit the parameter " + p.Name() + ".", "ADODB.Parameter");
}

void prepareBinding(Binding& b) {
    const ado::Parameter& p = *b.parameter;
    const int t = p.Type();
    const Variant& v = p.Value();
    const bool in = p.Direction() == ado::direction::Input || p.Direction() == ado::direction::InputOutput;
    b.io = p.Direction() == ado::direction::Input ? SQL_PARAM_INPUT
           : p.Direction() == ado::direction::InputOutput ? SQL_PARAM_INPUT_OUTPUT
                                                           : SQL_PARAM_OUTPUT;
    const bool none = !in || v.isNull() || v.isEmpty() || v.isMissing();
    b.indicator = none ? SQL_NULL_DATA : 0;
    if (t == ado::type::Boolean) {
        b.cType = SQL_C_BIT, b.sqlType = SQL_BIT, b.buffer.assign(1, 0);
        if (!none) {
            bool value = false;
            if (v.isString()) {
                const std::string s = lowerAscii(trimBlanks(v.stringRef()));
                value = s == "1" || s == "-1" || s == "true" || s == "waar" || s == "yes" || s == "ja";
                if (!value && s != "0" && s != "false" && s != "onwaar" && s != "no" && s != "nee") badValue(p);
            } else {
                value = v.toBool();
            }
            b.buffer[0] = value ? 1 : 0;
        }
        return;
    }
    if (isIntegerType(t)) {
        b.cType = SQL_C_SBIGINT, b.sqlType = t == 20 || t == 21 ? SQL_BIGINT : t == 3 || t == 19 ? SQL_INTEGER : SQL_SMALLINT;
        b.buffer.assign(sizeof(SQLBIGINT), 0);
        if (!none) {
            double d = 0;
            if (v.isString()) {
                const std::string s = trimBlanks(v.stringRef());
                char* end = nullptr;
                d = std::strtod(s.c_str(), &end);
                if (s.empty() || *end != '\0') badValue(p);
            } else {
                d = v.toDouble();
            }
            if (d != std::trunc(d)) badValue(p);
            SQLBIGINT n = static_cast<SQLBIGINT>(d);
            std::memcpy(b.buffer.data(), &n, sizeof n);
        }
        return;
    }
    if (isFractionType(t)) {
        b.cType = SQL_C_DOUBLE, b.sqlType = SQL_DOUBLE, b.buffer.assign(sizeof(double), 0);
        if (!none) {
            double d = 0;
            if (v.isString()) {
                const std::string s = replaceAll(trimBlanks(v.stringRef()), ",", ".");
                char* end = nullptr;
                d = std::strtod(s.c_str(), &end);
                if (s.empty() || *end != '\0') badValue(p);
            } else {
                d = v.toDouble();
            }
            std::memcpy(b.buffer.data(), &d, sizeof d);
        }
        return;
    }
    if (isDateType(t)) {
        b.cType = SQL_C_TYPE_TIMESTAMP, b.sqlType = SQL_TYPE_TIMESTAMP, b.columnSize = 23, b.digits = 3;
        b.buffer.assign(sizeof(SQL_TIMESTAMP_STRUCT), 0);
        if (!none) {
            double serial = 0;
            if (v.isString()) {
                if (!parseDateText(trimBlanks(v.stringRef()), serial)) badValue(p);
            } else {
                serial = v.toDateSerial();
            }
            const DateParts d = dateParts(serial);
            SQL_TIMESTAMP_STRUCT ts{};
            ts.year = static_cast<SQLSMALLINT>(d.year), ts.month = static_cast<SQLUSMALLINT>(d.month),
            ts.day = static_cast<SQLUSMALLINT>(d.day), ts.hour = static_cast<SQLUSMALLINT>(d.hour),
            ts.minute = static_cast<SQLUSMALLINT>(d.minute), ts.second = static_cast<SQLUSMALLINT>(d.second);
            std::memcpy(b.buffer.data(), &ts, sizeof ts);
        }
        return;
    }
    if (t == ado::type::VarBinary || t == ado::type::LongVarBinary) {
        b.cType = SQL_C_BINARY, b.sqlType = SQL_VARBINARY;
        std::vector<std::uint8_t> bytes;
        if (!none) bytes = v.isString() ? std::vector<std::uint8_t>(v.stringRef().begin(), v.stringRef().end()) : v.bytes();
        b.buffer.assign(bytes.begin(), bytes.end());
        b.buffer.resize(std::max<size_t>(static_cast<size_t>(std::max(p.Size(), 1L)), b.buffer.size()));
        if (!none) b.indicator = static_cast<SQLLEN>(bytes.size());
        b.columnSize = std::max<SQLULEN>(b.buffer.size(), 1);
        return;
    }
    // Text, and what has no better binding.
    b.cType = SQL_C_WCHAR, b.sqlType = SQL_WVARCHAR;
    std::u16string text = none ? std::u16string() : toUtf16(v.text());
    // An output text gets room for what comes back.
    const size_t room = std::max<size_t>({text.size(), static_cast<size_t>(std::max(p.Size(), 0L)), static_cast<size_t>(in ? 1 : 4000)});
    b.buffer.assign((room + 1) * 2, 0);
    std::memcpy(b.buffer.data(), text.data(), text.size() * 2);
    if (!none) b.indicator = static_cast<SQLLEN>(text.size() * 2);
    b.columnSize = std::max<SQLULEN>(room, 1);
}

Variant bindingValue(const Binding& b) {
    if (b.indicator == SQL_NULL_DATA) return Variant::null();
    switch (b.cType) {
    case SQL_C_BIT: return Variant(b.buffer[0] != 0);
    case SQL_C_SBIGINT: {
        SQLBIGINT n = 0;
        std::memcpy(&n, b.buffer.data(), sizeof n);
        return n >= INT32_MIN && n <= INT32_MAX ? Variant::longValue(static_cast<int32_t>(n)) : Variant::longLong(n);
    }
    case SQL_C_DOUBLE: {
        double d = 0;
        std::memcpy(&d, b.buffer.data(), sizeof d);
        return Variant(d);
    }
    case SQL_C_TYPE_TIMESTAMP: {
        SQL_TIMESTAMP_STRUCT ts{};
        std::memcpy(&ts, b.buffer.data(), sizeof ts);
        return Variant::date(serialOf(ts));
    }
    case SQL_C_BINARY: {
        const size_t n = std::min(b.buffer.size(), static_cast<size_t>(std::max<SQLLEN>(b.indicator, 0)));
        return Variant(std::vector<std::uint8_t>(b.buffer.begin(), b.buffer.begin() + static_cast<long>(n)));
    }
    default: {
        const size_t bytes = std::min(b.buffer.size() - 2, static_cast<size_t>(std::max<SQLLEN>(b.indicator, 0)));
        return Variant(fromUtf16(reinterpret_cast<const char16_t*>(b.buffer.data()), bytes / 2));
    }
    }
}

class OdbcConnection : public ado::Connection, public std::enable_shared_from_this<OdbcConnection> {
public:
    ~OdbcConnection() override {
        try {
            if (dbc_ != SQL_NULL_HDBC) Close();
        } catch (const Error&) {
            // Releasing never fails the caller.
        }
        settle();
    }
    int CursorLocation() const override { return cursorLocation_; }
    void CursorLocation(int location) override { cursorLocation_ = location; }
    std::string ConnectionString() const override { return connectionString_; }
    void ConnectionString(const std::string& text) override {
        if (dbc_ != SQL_NULL_HDBC) raise(3705, "Operation is not allowed when the object is open.", "ADODB.Connection");
        connectionString_ = text;
    }
    void Open(const std::string& connectionString, const std::string& userId, const std::string& password,
              long) override {
        if (dbc_ != SQL_NULL_HDBC) raise(3705, "Operation is not allowed when the object is open.", "ADODB.Connection");
        if (!connectionString.empty()) connectionString_ = connectionString;
        std::string text = trimBlanks(connectionString_);
        // A bare name is a data source name.
        if (!text.empty() && text.find('=') == std::string::npos) text = "DSN=" + text;
        if (!userId.empty()) text += ";UID=" + userId;
        if (!password.empty()) text += ";PWD=" + password;
        // The PostgreSQL driver's trace files (on in the driver's own setup) would
        // keep what the session did in the temporary folder: they stay off
        // unless the connection string itself asks for them.
        const std::string lower = lowerAscii(text);
        if (const size_t at = lower.find("driver={postgresql"); at != std::string::npos) {
            const bool commLog = lower.find("commlog=") != std::string::npos;
            const bool debug = lower.find("debug=") != std::string::npos;
            if (!commLog) text += ";CommLog=0";
            if (!debug) text += ";Debug=0";
            if (!commLog && !debug) keepDriverLogsOff(text.substr(at, text.find('}', at) + 1 - at));
        }
        SQLHDBC dbc = SQL_NULL_HDBC;
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, environment(), &dbc)))
            fail(SQL_HANDLE_ENV, environment(), "ADODB.Connection");
        SQLSetConnectAttr(dbc, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(15), 0);
        std::u16string in = wide(text);
        SQLWCHAR out[1024];
        SQLSMALLINT outLength = 0;
        SQLRETURN rc = SQLDriverConnectW(dbc, nullptr, w(in), SQL_NTS, out, 1024, &outLength, SQL_DRIVER_NOPROMPT);
        if (!SQL_SUCCEEDED(rc)) {
            Diagnostic d = diagnose(SQL_HANDLE_DBC, dbc);
            SQLFreeHandle(SQL_HANDLE_DBC, dbc);
            remember(d);
            throw Error(ado::ProviderError, d.text, "ADODB.Connection");
        }
        dbc_ = dbc;
        SQLWCHAR name[256] = {};
        SQLSMALLINT nameLength = 0;
        SQLGetInfoW(dbc_, SQL_DBMS_NAME, name, sizeof name, &nameLength);
        dbms_ = fromUtf16(reinterpret_cast<const char16_t*>(name), std::char_traits<char16_t>::length(reinterpret_cast<const char16_t*>(name)));
        server_ = serverOf(dbms_);
    }
    long State() const override { return dbc_ != SQL_NULL_HDBC ? ado::state::Open : ado::state::Closed; }
    long NativeError() const override { return native_; }
    std::string SqlState() const override { return state_; }
    std::string DbmsName() const override { return dbms_; }
    void Close() override {
        if (dbc_ == SQL_NULL_HDBC) raise(3704, "Operation is not allowed when the object is closed.", "ADODB.Connection");
        settle();
        // Closing undoes an open transaction, as the engine's files do.
        if (inTransaction_) SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_ROLLBACK);
        SQLDisconnect(dbc_);
        SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
        dbc_ = SQL_NULL_HDBC;
        inTransaction_ = false;
        lost_.reset();
    }
    long BeginTrans() override {
        if (dbc_ == SQL_NULL_HDBC) connectionUnusable("ADODB.Connection");
        settle();
        if (inTransaction_) raise(-2147168237, "Only one transaction can be active on this connection.", "ADODB.Connection");
        if (!SQL_SUCCEEDED(SQLSetConnectAttr(dbc_, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0)))
            fail(SQL_HANDLE_DBC, dbc_, "ADODB.Connection");
        inTransaction_ = true;
        lost_.reset();
        return 1;
    }
    void CommitTrans() override {
        if (dbc_ == SQL_NULL_HDBC) connectionUnusable("ADODB.Connection");
        settle();
        if (!inTransaction_) raise(-2147168242, "No transaction is active.", "ADODB.Connection");
        if (lost_) {
            // The server ended the transaction at the failed statement; a COMMIT now
            // would be answered with a silent rollback, so it is told as what it is.
            Error cause = *lost_;
            endTransaction(SQL_ROLLBACK);
            throw Error(ado::ProviderError, cause.description() + "\rThe transaction was rolled back; nothing of it was stored.",
                        "ADODB.Connection");
        }
        if (!SQL_SUCCEEDED(SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_COMMIT))) fail(SQL_HANDLE_DBC, dbc_, "ADODB.Connection");
        endTransaction(-1);
    }
    void RollbackTrans() override {
        if (dbc_ == SQL_NULL_HDBC) connectionUnusable("ADODB.Connection");
        settle();
        if (!inTransaction_) raise(-2147168242, "No transaction is active.", "ADODB.Connection");
        endTransaction(SQL_ROLLBACK);
    }
    std::shared_ptr<ado::Recordset> Execute(const std::string& commandText, long& recordsAffected, long) override {
        std::vector<Binding> none;
        return run(commandText, none, recordsAffected, "ADODB.Connection");
    }

    // Runs text with "?" markers bound in order; output values are read back
    // into the bindings' parameters once every result has been read.
    std::shared_ptr<ado::Recordset> run(const std::string& text, std::vector<Binding>& bindings, long& recordsAffected,
                                        const std::string& source) {
        if (dbc_ == SQL_NULL_HDBC) connectionUnusable(source);
        settle();
        recordsAffected = -1;
        // Going back to a savepoint is what revives a transaction after a failure.
        const bool revives = startsWithNoCase(trimBlanks(text), "ROLLBACK TO");
        if (lost_ && !revives)
            throw Error(ado::ProviderError,
                        lost_->description() + "\rThe transaction was rolled back; roll it back before running more statements.",
                        source);
        try {
            auto result = runStatement(text, bindings, recordsAffected, source);
            if (revives) lost_.reset();
            return result;
        } catch (const Error& e) {
            // On this server a failed statement ends the whole transaction.
            if (inTransaction_ && server_ == Server::PostgreSQL) lost_ = e;
            throw;
        }
    }

    Server server() const { return server_; }

private:
    std::shared_ptr<ado::Recordset> runStatement(const std::string& text, std::vector<Binding>& bindings,
                                                 long& recordsAffected, const std::string& source) {
        Statement stmt;
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &stmt.h))) fail(SQL_HANDLE_DBC, dbc_, source);
        // A large result outside a transaction is lent while it still arrives
        // where the driver knows its count before the rows are fetched.
        const bool streams = bindings.empty() && !inTransaction_ && server_ == Server::PostgreSQL &&
                             oneStatement(text);
        std::u16string sql = wide(text);
        SQLRETURN rc;
        if (bindings.empty()) {
            rc = SQLExecDirectW(stmt.h, w(sql), SQL_NTS);
        } else {
            for (size_t i = 0; i < bindings.size(); ++i) {
                Binding& b = bindings[i];
                rc = SQLBindParameter(stmt.h, static_cast<SQLUSMALLINT>(i + 1), b.io, b.cType, b.sqlType, b.columnSize,
                                      b.digits, b.buffer.data(), static_cast<SQLLEN>(b.buffer.size()), &b.indicator);
                if (!SQL_SUCCEEDED(rc)) fail(SQL_HANDLE_STMT, stmt.h, source);
            }
            rc = SQLExecDirectW(stmt.h, w(sql), SQL_NTS);
        }
        if (rc == SQL_NO_DATA) {
            // A searched UPDATE or DELETE that met no row.
            recordsAffected = 0;
            return std::make_shared<OdbcRecordset>();
        }
        if (!SQL_SUCCEEDED(rc)) fail(SQL_HANDLE_STMT, stmt.h, source);
        std::shared_ptr<Cursor> cursor;
        long affected = -1;
        // The first result with columns is the record set; the rest are read
        // through so that output parameters arrive.
        do {
            SQLSMALLINT count = 0;
            SQLNumResultCols(stmt.h, &count);
            if (count > 0 && !cursor) {
                cursor = fetchAll(stmt.h, count, source, streams);
                if (cursor->stream) {
                    stmt.h = SQL_NULL_HSTMT;
                    streaming_ = cursor;
                    return std::make_shared<OdbcRecordset>(cursor, shared_from_this());
                }
            } else if (count == 0) {
                SQLLEN n = -1;
                if (SQL_SUCCEEDED(SQLRowCount(stmt.h, &n)) && n >= 0) affected = (affected < 0 ? 0 : affected) + n;
            }
            rc = SQLMoreResults(stmt.h);
            if (rc != SQL_NO_DATA && !SQL_SUCCEEDED(rc)) fail(SQL_HANDLE_STMT, stmt.h, source);
        } while (rc != SQL_NO_DATA);
        for (auto& b : bindings)
            if (b.io != SQL_PARAM_INPUT) b.parameter->Value(bindingValue(b));
        if (!cursor) {
            recordsAffected = affected;
            return std::make_shared<OdbcRecordset>();
        }
        if (cursor->rows >= kCloseBeside) {
            freeBeside(stmt.h);
            stmt.h = SQL_NULL_HSTMT;
        }
        return std::make_shared<OdbcRecordset>(cursor, shared_from_this());
    }

    std::shared_ptr<Cursor> fetchAll(SQLHSTMT stmt, SQLSMALLINT count, const std::string& source, bool streams) {
        auto cursor = std::make_shared<Cursor>();
        for (SQLSMALLINT i = 1; i <= count; ++i) cursor->columns.push_back(describe(stmt, static_cast<SQLUSMALLINT>(i)));
        cursor->data = std::make_shared<ValueTable>(cursor->columns.size());
        if (blockReads() && !rowByRow().load() && fetchBlocks(stmt, *cursor, source, streams)) return cursor;
        while (true) {
            SQLRETURN rc = SQLFetch(stmt);
            if (rc == SQL_NO_DATA) break;
            if (!SQL_SUCCEEDED(rc)) fail(SQL_HANDLE_STMT, stmt, source);
            for (size_t c = 0; c < cursor->columns.size(); ++c)
                cursor->data->column(c).push(readCell(stmt, static_cast<SQLUSMALLINT>(c + 1), cursor->columns[c], source));
            host::rowRead(++cursor->rows);
        }
        return cursor;
    }

    // Whether the driver lets a cell of a fetched block be read again in full.
    bool blockReads() {
        if (blockReads_ < 0) {
            SQLUINTEGER extensions = 0;
            SQLGetInfo(dbc_, SQL_GETDATA_EXTENSIONS, &extensions, sizeof extensions, nullptr);
            blockReads_ = (extensions & SQL_GD_BLOCK) && (extensions & SQL_GD_BOUND) ? 1 : 0;
        }
        return blockReads_ == 1;
    }

    // Rows in blocks into bound buffers: one driver call per block instead of
    // one per cell. A value longer than its buffer is read again in full.
    // False (nothing fetched yet) when a column does not suit a buffer.
    bool fetchBlocks(SQLHSTMT stmt, Cursor& cursor, const std::string& source, bool streams) {
        std::vector<BoundColumn> bound(cursor.columns.size());
        const bool utf8 = server_ == Server::PostgreSQL;
        SQLLEN rowBytes = 0;
        for (size_t c = 0; c < cursor.columns.size(); ++c) {
            const Column& col = cursor.columns[c];
            BoundColumn& b = bound[c];
            switch (col.read) {
            case Read::Integer: b.cType = SQL_C_SBIGINT, b.width = sizeof(SQLBIGINT); break;
            case Read::Double: b.cType = SQL_C_DOUBLE, b.width = sizeof(double); break;
            case Read::Numeric: b.cType = SQL_C_CHAR, b.width = 72; break;
            case Read::Bit: b.cType = SQL_C_BIT, b.width = 1; break;
            case Read::BoolText: b.cType = SQL_C_CHAR, b.width = 8; break;
            case Read::Time: b.cType = SQL_C_TYPE_TIME, b.width = sizeof(SQL_TIME_STRUCT); break;
            case Read::Date:
            case Read::Timestamp:
                // As the driver's own date: as text this driver would parse the server's text and write it out again.
                b.cType = SQL_C_TYPE_TIMESTAMP, b.width = sizeof(SQL_TIMESTAMP_STRUCT);
                break;
            case Read::Binary:
                // Bytes of no or a large declared size get a modest buffer; longer ones are read on their own.
                if (!utf8) return false;
                b.cType = SQL_C_BINARY, b.width = col.size > 0 && col.size <= 8000 ? col.size : 256;
                break;
            case Read::Text:
                // This driver hands texts over as UTF-8 already: no round trip through 16 bits,
                // and a text of no or a large declared size gets a modest buffer.
                if (utf8) b.cType = SQL_C_CHAR, b.width = col.size > 0 && col.size <= 1000 ? col.size * 4 + 1 : 257;
                else if (col.size <= 0 || col.size > 1000) return false;
                else b.cType = SQL_C_WCHAR, b.width = (col.size + 1) * 2;
                break;
            default: return false;
            }
            rowBytes += b.width + static_cast<SQLLEN>(sizeof(SQLLEN));
        }
        const SQLULEN rows = static_cast<SQLULEN>(std::clamp<SQLLEN>((1 << 20) / std::max<SQLLEN>(rowBytes, 1), 1, 1024));
        SQLSetStmtAttr(stmt, SQL_ATTR_ROW_BIND_TYPE, reinterpret_cast<SQLPOINTER>(SQL_BIND_BY_COLUMN), 0);
        if (!SQL_SUCCEEDED(SQLSetStmtAttr(stmt, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(rows), 0))) return false;
        // The driver may know the count already; the columns grow once then,
        // and a result of one block needs no thread.
        SQLLEN expected = -1;
        SQLRowCount(stmt, &expected);
        for (size_t c = 0; c < cursor.columns.size(); ++c)
            cursor.data->column(c).reserve(expected > 0 ? static_cast<size_t>(expected) : 4096);
        const bool threaded = expected < 0 || static_cast<SQLULEN>(expected) > rows;
        cursor.stream = std::make_unique<Stream>();
        cursor.stream->stmt = stmt;
        cursor.stream->expected = std::max<long>(0, static_cast<long>(expected));
        cursor.stream->fetcher = std::make_unique<BlockFetcher>(stmt, cursor.columns, bound, rows, source, threaded);
        cursor.stream->bound = std::move(bound);
        if (streams && expected >= kStreamFrom) {
            // Read on as the caller uses the first rows; the statement is the cursor's now.
            cursor.stream->release = [self = weak_from_this()](SQLHSTMT h) {
                if (auto connection = self.lock()) connection->freeBeside(h);
                else freeStatement(h);
            };
            return true;
        }
        cursor.stream->release = [](SQLHSTMT) {};  // the caller's statement still
        cursor.drain();
        return true;
    }

    // Waits for a statement still being freed beside the caller.
    void settle() {
        if (auto cursor = streaming_.lock()) {
            try {
                cursor->drain();
            } catch (...) {
                // Kept by the record set, and raised there on its next use.
            }
        }
        streaming_.reset();
        if (closing_.joinable()) closing_.join();
    }

    // The driver's own copy of a large result takes a while to free: that is
    // done beside what the caller does next, and waited for before the
    // connection is used again.
    void freeBeside(SQLHSTMT h) {
        if (closing_.joinable()) closing_.join();
        try {
            closing_ = std::thread([h] { freeStatement(h); });
        } catch (const std::system_error&) {
            freeStatement(h);  // no thread to be had: freed here then
        }
    }

    void endTransaction(SQLSMALLINT how) {
        if (how >= 0) SQLEndTran(SQL_HANDLE_DBC, dbc_, how);
        SQLSetConnectAttr(dbc_, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), 0);
        inTransaction_ = false;
        lost_.reset();
    }

    void remember(const Diagnostic& d) {
        state_ = d.state;
        native_ = d.native;
    }

    [[noreturn]] void fail(SQLSMALLINT type, SQLHANDLE handle, const std::string& source) {
        Diagnostic d = diagnose(type, handle);
        remember(d);
        throw Error(ado::ProviderError, d.text, source);
    }

    int cursorLocation_ = 2;
    std::string connectionString_;
    SQLHDBC dbc_ = SQL_NULL_HDBC;
    std::string dbms_;
    Server server_ = Server::Other;
    bool inTransaction_ = false;
    std::optional<Error> lost_;  // the failure that ended the transaction on the server
    std::string state_;
    long native_ = 0;
    int blockReads_ = -1;  // unknown until asked
    static constexpr long kCloseBeside = 10000;
    static constexpr long kStreamFrom = 10000;
    std::thread closing_;  // frees the statement of the last large result
    std::weak_ptr<Cursor> streaming_;  // a result whose rows still arrive
};

// The routine's arguments from the server's catalogue.
Routine lookUpRoutine(OdbcConnection& connection, const std::string& text, const std::string& source) {
    Routine r;
    splitRoutineName(text, r.schema, r.name);
    auto quote = [](const std::string& s) { return "'" + replaceAll(s, "'", "''") + "'"; };
    long n = 0;
    std::vector<Binding> none;
    if (connection.server() == Server::PostgreSQL) {
        const std::string sql =
            "SELECT n.nspname, p.prokind::text, a.name, a.type, a.mode FROM pg_proc p "
            "JOIN pg_namespace n ON n.oid = p.pronamespace "
            "LEFT JOIN LATERAL (SELECT coalesce(p.proargnames[o], '') AS name, format_type(t, NULL) AS type, "
            "coalesce(p.proargmodes[o], 'i')::text AS mode, o FROM unnest(coalesce(p.proallargtypes, p.proargtypes::oid[])) "
            "WITH ORDINALITY AS u(t, o)) a ON true "
            "WHERE p.proname = " + quote(r.name) +
            (r.schema.empty() ? std::string(" AND pg_function_is_visible(p.oid)") : " AND n.nspname = " + quote(r.schema)) +
            " AND p.oid = (SELECT min(q.oid) FROM pg_proc q WHERE q.proname = p.proname AND q.pronamespace = p.pronamespace)"
            " ORDER BY a.o";
        auto rs = connection.run(sql, none, n, source);
        if (rs->Eof()) raise(3265, "The stored procedure " + text + " does not exist on the server.", source);
        for (; !rs->Eof(); rs->MoveNext()) {
            const auto& f = rs->Fields();
            r.schema = f.Item(0L)->Value().text();
            r.isProcedure = f.Item(1L)->Value().text() == "p";
            if (f.Item(2L)->Value().isNull()) continue;
            const std::string mode = f.Item(4L)->Value().text();
            if (mode == "t") continue;  // a column of the returned table
            RoutineArgument a;
            a.name = f.Item(2L)->Value().text();
            a.type = f.Item(3L)->Value().text();
            a.direction = mode == "o" ? ado::direction::Output : mode == "b" ? ado::direction::InputOutput : ado::direction::Input;
            r.arguments.push_back(a);
        }
    } else {
        const std::string object = (r.schema.empty() ? "" : "[" + r.schema + "].") + "[" + r.name + "]";
        const std::string sql = "SELECT name, is_output, TYPE_NAME(user_type_id) FROM sys.parameters WHERE object_id = OBJECT_ID(" +
                                quote(object) + ") AND parameter_id > 0 ORDER BY parameter_id";
        auto rs = connection.run(sql, none, n, source);
        for (; !rs->Eof(); rs->MoveNext()) {
            const auto& f = rs->Fields();
            RoutineArgument a;
            a.name = f.Item(0L)->Value().text();
            if (!a.name.empty() && a.name.front() == '@') a.name.erase(0, 1);
            a.direction = f.Item(1L)->Value().toBool() ? ado::direction::InputOutput : ado::direction::Input;
            a.type = f.Item(2L)->Value().text();
            r.arguments.push_back(a);
        }
    }
    return r;
}

class OdbcCommand : public ado::CommandBase {
public:
    std::shared_ptr<ado::Recordset> Execute(long& recordsAffected, long) override {
        auto c = std::dynamic_pointer_cast<OdbcConnection>(connection_);
        if (!c || c->State() != ado::state::Open) connectionUnusable("ADODB.Command");
        std::vector<std::shared_ptr<ado::Parameter>> given(params_.begin(), params_.end());
        std::vector<Binding> bindings;
        std::string sql = text_;
        if (type_ == ado::command::StoredProc) {
            const Routine routine = lookUpRoutine(*c, text_, "ADODB.Command");
            std::vector<GivenParameter> names;
            for (const auto& p : given) names.push_back({p->Name(), p->Direction()});
            const CallText call = c->server() == Server::PostgreSQL ? postgresCall(routine, names) : sqlServerCall(routine, names);
            sql = call.sql;
            for (size_t index : call.markers) bindings.push_back(Binding{given[index]});
            for (auto& b : bindings) prepareBinding(b);
            auto result = c->run(sql, bindings, recordsAffected, "ADODB.Command");
            // A procedure hands its output arguments back as one row.
            if (c->server() == Server::PostgreSQL && routine.isProcedure && result->State() == ado::state::Open) {
                if (!result->Eof())
                    for (const auto& p : given)
                        if (p->Direction() == ado::direction::Output || p->Direction() == ado::direction::InputOutput)
                            for (long i = 0; i < result->Fields().Count(); ++i)
                                if (equalsNoCase(result->Fields().Item(i)->Name(), p->Name()))
                                    p->Value(result->Fields().Item(i)->Value());
                result->Close();
                return std::make_shared<OdbcRecordset>();
            }
            return result;
        }
        if (type_ == ado::command::Table) sql = "SELECT * FROM " + text_;
        for (const auto& p : given) bindings.push_back(Binding{p});
        for (auto& b : bindings) prepareBinding(b);
        return c->run(sql, bindings, recordsAffected, "ADODB.Command");
    }

};

class OdbcAdoProvider : public ado::AdoProvider {
public:
    std::shared_ptr<ado::Connection> NewConnection() override { return std::make_shared<OdbcConnection>(); }
    std::shared_ptr<ado::Command> NewCommand() override { return std::make_shared<OdbcCommand>(); }
};

}  // namespace

std::shared_ptr<host::ado::AdoProvider> adoProvider() {
    static auto p = std::make_shared<OdbcAdoProvider>();
    return p;
}

}  // namespace dalvera::odbc
