#pragma once
// The database engine's object model for rows and statements: connections,
// commands with parameters and client-side record sets.
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "host/Dao.h"
#include "host/RecordSource.h"
#include "runtime/Variant.h"

namespace dalvera::host::ado {

// Data-type codes.
namespace type {
constexpr int Empty = 0, SmallInt = 2, Integer = 3, Single = 4, Double = 5, Currency = 6, Date = 7,
              Boolean = 11, Decimal = 14, TinyInt = 16, UnsignedTinyInt = 17, BigInt = 20, GUID = 72,
              Numeric = 131, DBTimeStamp = 135, VarWChar = 202, LongVarWChar = 203, VarBinary = 204,
              LongVarBinary = 205;
}
namespace state {
constexpr long Closed = 0, Open = 1;
}
constexpr int UseClient = 3;
namespace command {
constexpr int Text = 1, Table = 2, StoredProc = 4, Unknown = 8;
}
namespace direction {
constexpr int Unknown = 0, Input = 1, Output = 2, InputOutput = 3, ReturnValue = 4;
}

// The error number the engine gives for a failure reported by the driver.
constexpr long ProviderError = -2147467259;

class Field {
public:
    virtual ~Field() = default;
    virtual const std::string& Name() const = 0;
    virtual int Type() const = 0;
    virtual long DefinedSize() const = 0;
    // The value in the current row; reading it at BOF or EOF raises 3021.
    virtual Variant Value() const = 0;
};

class Fields {
public:
    virtual ~Fields() = default;
    virtual long Count() const = 0;
    virtual std::shared_ptr<Field> Item(long index) const = 0;
    virtual std::shared_ptr<Field> Item(const std::string& name) const = 0;
    std::shared_ptr<Field> operator()(long index) const { return Item(index); }
    std::shared_ptr<Field> operator()(const std::string& name) const { return Item(name); }
};

// The fields of a record set kept in a list, as both platforms hold them.
class FieldList : public Fields {
public:
    long Count() const override { return static_cast<long>(items_.size()); }
    std::shared_ptr<Field> Item(long index) const override {
        if (index < 0 || index >= Count()) notFound();
        return items_[static_cast<size_t>(index)];
    }
    std::shared_ptr<Field> Item(const std::string& name) const override {
        for (const auto& f : items_)
            if (equalsNoCase(f->Name(), name)) return f;
        notFound();
    }
    std::vector<std::shared_ptr<Field>> items_;

private:
    [[noreturn]] static void notFound() {
        raise(3265, "Item cannot be found in the collection corresponding to the requested name or ordinal.",
              "ADODB.Fields");
    }
};

class Connection;

class Recordset : public RecordSource {
public:
    virtual long State() const = 0;
    virtual void Close() = 0;
    // Detach (nullptr) or attach; a client-side record set keeps its rows.
    virtual void ActiveConnection(std::shared_ptr<Connection> connection) = 0;
    virtual std::shared_ptr<Connection> ActiveConnection() const = 0;
    virtual const ado::Fields& Fields() const = 0;
    virtual long RecordCount() const = 0;
    // BOF and EOF, named so because EOF is a C library macro.
    virtual bool Bof() const = 0;
    virtual bool Eof() const = 0;
    virtual void MoveFirst() = 0;
    virtual void MoveNext() = 0;
    virtual void MovePrevious() = 0;
    virtual void MoveLast() = 0;
    // 1-based; -3 at EOF and -2 at BOF, as the engine reports.
    virtual long AbsolutePosition() const = 0;
    // Every row from the first, as read, held compactly and shared so that it
    // outlives the record set; the position is left after the last row.
    virtual std::shared_ptr<const ValueTable> Snapshot() {
        auto table = std::make_shared<ValueTable>(static_cast<size_t>(FieldCount()));
        MoveFirst();
        std::vector<std::vector<Variant>> columns;
        while (true) {
            columns.assign(static_cast<size_t>(FieldCount()), {});
            if (FetchColumns(4096, columns) <= 0) break;
            for (size_t c = 0; c < columns.size() && c < table->columnCount(); ++c)
                for (const Variant& v : columns[c]) table->column(c).push(v);
        }
        table->shrink();
        return table;
    }
};

class Connection {
public:
    virtual ~Connection() = default;
    virtual int CursorLocation() const = 0;
    virtual void CursorLocation(int location) = 0;
    virtual std::string ConnectionString() const = 0;
    virtual void ConnectionString(const std::string& text) = 0;
    // Empty arguments take the connection string's values.
    virtual void Open(const std::string& connectionString = {}, const std::string& userId = {},
                      const std::string& password = {}, long options = -1) = 0;
    virtual long State() const = 0;
    virtual void Close() = 0;
    // The engine's own number behind the last provider error (0 when unknown):
    // a refused password and a locked file look alike otherwise.
    virtual long NativeError() const { return 0; }
    // The five-character state behind the last provider error ("" when unknown):
    // the same fault has one state on every server, whatever its native number.
    virtual std::string SqlState() const { return {}; }
    // The server product once open ("PostgreSQL", "Microsoft SQL Server"); "" for a file.
    virtual std::string DbmsName() const { return {}; }
    // One transaction around several statements; the level reached is returned.
    virtual long BeginTrans() = 0;
    virtual void CommitTrans() = 0;
    virtual void RollbackTrans() = 0;
    // Runs a statement; recordsAffected is -1 when the statement reports none.
    // A statement without rows gives a closed record set.
    virtual std::shared_ptr<Recordset> Execute(const std::string& commandText, long& recordsAffected,
                                               long options = -1) = 0;
    std::shared_ptr<Recordset> Execute(const std::string& commandText) {
        long n = 0;
        return Execute(commandText, n);
    }
};

class Parameter {
public:
    Parameter(std::string name, int type, int direction, long size, Variant value)
        : name_(std::move(name)), type_(type), direction_(direction), size_(size), value_(std::move(value)) {}
    const std::string& Name() const { return name_; }
    int Type() const { return type_; }
    int Direction() const { return direction_; }
    long Size() const { return size_; }
    const Variant& Value() const { return value_; }
    void Value(Variant v) { value_ = std::move(v); }

private:
    std::string name_;
    int type_, direction_;
    long size_;
    Variant value_;
};

class Parameters {
public:
    long Count() const { return list_.Count(); }
    void Append(std::shared_ptr<Parameter> p) { list_.Append(std::move(p)); }
    std::shared_ptr<Parameter> Item(long index) const {
        if (index < 0 || index >= Count()) notFound();
        return list_.Item(index);
    }
    std::shared_ptr<Parameter> Item(const std::string& name) const {
        if (!list_.Exists(name)) notFound();
        return list_.Item(name);
    }
    auto begin() const { return list_.begin(); }
    auto end() const { return list_.end(); }

private:
    [[noreturn]] static void notFound() {
        raise(3265, "Item cannot be found in the collection corresponding to the requested name or ordinal.",
              "ADODB.Parameters");
    }
    ObjectList<Parameter> list_;
};

class Command {
public:
    virtual ~Command() = default;
    virtual void ActiveConnection(std::shared_ptr<Connection> connection) = 0;
    virtual std::shared_ptr<Connection> ActiveConnection() const = 0;
    virtual int CommandType() const = 0;
    virtual void CommandType(int type) = 0;
    virtual std::string CommandText() const = 0;
    virtual void CommandText(const std::string& text) = 0;
    virtual std::shared_ptr<Parameter> CreateParameter(const std::string& name, int type, int direction,
                                                       long size, const Variant& value) = 0;
    virtual ado::Parameters& Parameters() = 0;
    virtual std::shared_ptr<Recordset> Execute(long& recordsAffected, long options = -1) = 0;
};

// How the engine creates ADO objects.
class AdoProvider {
public:
    virtual ~AdoProvider() = default;
    virtual std::shared_ptr<Connection> NewConnection() = 0;
    virtual std::shared_ptr<Command> NewCommand() = 0;
};

}  // namespace dalvera::host::ado
