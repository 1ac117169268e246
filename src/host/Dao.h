#pragma once
// The database engine's object model for opening, security and metadata, with
// the members the data sources call. Metadata objects are snapshots taken when
// a collection is first read; the live objects (engine, workspace, database)
// are interfaces the platform implements.
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "runtime/Error.h"
#include "runtime/Text.h"
#include "runtime/Variant.h"

namespace dalvera::host {

// A read-only list of shared objects, 0-based by position and case-insensitive
// by Name(), as the engine's collections are. A miss raises 3265.
template <typename T>
class ObjectList {
public:
    long Count() const { return static_cast<long>(items_.size()); }
    std::shared_ptr<T> Item(long index) const {
        if (index < 0 || index >= Count()) notFound();
        return items_[static_cast<size_t>(index)];
    }
    std::shared_ptr<T> Item(const std::string& name) const {
        for (const auto& it : items_)
            if (equalsNoCase(it->Name(), name)) return it;
        notFound();
    }
    std::shared_ptr<T> operator()(long index) const { return Item(index); }
    std::shared_ptr<T> operator()(const std::string& name) const { return Item(name); }
    bool Exists(const std::string& name) const {
        for (const auto& it : items_)
            if (equalsNoCase(it->Name(), name)) return true;
        return false;
    }
    void Append(std::shared_ptr<T> item) { items_.push_back(std::move(item)); }
    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }

private:
    [[noreturn]] static void notFound() { raise(3265, "Item not found in this collection.", "DAO.Collection"); }
    std::vector<std::shared_ptr<T>> items_;
};

namespace dao {

// Field types.
namespace type {
constexpr int Boolean = 1, Byte = 2, Integer = 3, Long = 4, Currency = 5, Single = 6, Double = 7,
              Date = 8, Binary = 9, Text = 10, LongBinary = 11, Memo = 12, GUID = 15, BigInt = 16,
              Decimal = 20;
}
// Field attribute bits.
constexpr long FixedField = 0x1, VariableField = 0x2, AutoIncrField = 0x10, UpdatableField = 0x20;
// Table attribute bits: system objects (the engine's own tables) and hidden ones.
constexpr long SystemObject = static_cast<long>(0x80000002L);
constexpr long HiddenObject = 0x1;
// Query types.
namespace query {
constexpr int Select = 0, Crosstab = 16, Delete = 32, Update = 48, Append = 64, MakeTable = 80, DDL = 96,
              PassThrough = 112, SetOperation = 128, BulkPassThrough = 144, Procedure = 224, Action = 240;
}
// Parameter directions.
constexpr int ParamInput = 1, ParamOutput = 2, ParamInputOutput = 3, ParamReturnValue = 4;

class Property {
public:
    Property(std::string name, Variant value) : name_(std::move(name)), value_(std::move(value)) {}
    const std::string& Name() const { return name_; }
    const Variant& Value() const { return value_; }

private:
    std::string name_;
    Variant value_;
};

using Properties = ObjectList<Property>;

// A table or index column, or one field pair of a relation (Name on the one
// side, ForeignName on the many side).
class Field {
public:
    struct Data {
        std::string name;
        int type = type::Text;
        long size = 0;
        Variant defaultValue = std::string();
        bool allowZeroLength = false;
        bool required = false;
        long attributes = 0;
        std::string foreignName;
        int ordinalPosition = 0;
    };
    explicit Field(Data d, dao::Properties props = {}) : d_(std::move(d)), props_(std::move(props)) {}
    const std::string& Name() const { return d_.name; }
    int Type() const { return d_.type; }
    long Size() const { return d_.size; }
    // The default expression as text, "" when there is none.
    const Variant& DefaultValue() const { return d_.defaultValue; }
    bool AllowZeroLength() const { return d_.allowZeroLength; }
    bool Required() const { return d_.required; }
    long Attributes() const { return d_.attributes; }
    const std::string& ForeignName() const { return d_.foreignName; }
    int OrdinalPosition() const { return d_.ordinalPosition; }
    const dao::Properties& Properties() const { return props_; }

private:
    Data d_;
    dao::Properties props_;
};

using Fields = ObjectList<Field>;

class Index {
public:
    Index(std::string name, bool primary, bool unique, dao::Fields fields, bool required = false,
          bool ignoreNulls = false)
        : name_(std::move(name)), primary_(primary), unique_(unique), required_(required || primary),
          ignoreNulls_(ignoreNulls), fields_(std::move(fields)) {}
    const std::string& Name() const { return name_; }
    bool Primary() const { return primary_; }
    bool Unique() const { return unique_; }
    // Nulls are refused in the index's fields (a primary key always refuses them).
    bool Required() const { return required_; }
    // Records with Nulls in the index's fields are left out of it.
    bool IgnoreNulls() const { return ignoreNulls_; }
    const dao::Fields& Fields() const { return fields_; }

private:
    std::string name_;
    bool primary_, unique_, required_, ignoreNulls_;
    dao::Fields fields_;
};

using Indexes = ObjectList<Index>;

class TableDef {
public:
    TableDef(std::string name, long attributes, dao::Fields fields, dao::Indexes indexes, dao::Properties props = {})
        : name_(std::move(name)), attributes_(attributes), fields_(std::move(fields)),
          indexes_(std::move(indexes)), props_(std::move(props)) {}
    const std::string& Name() const { return name_; }
    long Attributes() const { return attributes_; }
    const dao::Fields& Fields() const { return fields_; }
    std::shared_ptr<Field> Fields(const std::string& name) const { return fields_.Item(name); }
    const dao::Indexes& Indexes() const { return indexes_; }
    const dao::Properties& Properties() const { return props_; }

private:
    std::string name_;
    long attributes_;
    dao::Fields fields_;
    dao::Indexes indexes_;
    dao::Properties props_;
};

using TableDefs = ObjectList<TableDef>;

class Parameter {
public:
    Parameter(std::string name, int type, int direction = ParamInput)
        : name_(std::move(name)), type_(type), direction_(direction) {}
    const std::string& Name() const { return name_; }
    int Type() const { return type_; }
    int Direction() const { return direction_; }

private:
    std::string name_;
    int type_, direction_;
};

using Parameters = ObjectList<Parameter>;

class QueryDef {
public:
    QueryDef(std::string name, int type, std::string sql, dao::Parameters params)
        : name_(std::move(name)), type_(type), sql_(std::move(sql)), params_(std::move(params)) {}
    const std::string& Name() const { return name_; }
    int Type() const { return type_; }
    const std::string& SQL() const { return sql_; }
    const dao::Parameters& Parameters() const { return params_; }

private:
    std::string name_;
    int type_;
    std::string sql_;
    dao::Parameters params_;
};

using QueryDefs = ObjectList<QueryDef>;

// Table is the referenced (one) side, ForeignTable the referencing (many) side.
class Relation {
public:
    Relation(std::string name, std::string table, std::string foreignTable, dao::Fields fields)
        : name_(std::move(name)), table_(std::move(table)), foreignTable_(std::move(foreignTable)),
          fields_(std::move(fields)) {}
    const std::string& Name() const { return name_; }
    const std::string& Table() const { return table_; }
    const std::string& ForeignTable() const { return foreignTable_; }
    const dao::Fields& Fields() const { return fields_; }
    std::shared_ptr<Field> Fields(long index) const { return fields_.Item(index); }

private:
    std::string name_, table_, foreignTable_;
    dao::Fields fields_;
};

using Relations = ObjectList<Relation>;

// Something of a foreign file that could not be carried over; the rest of it opens.
struct FileNotice {
    enum Kind { ComplexField = 1, LinkMissing, DamagedTable, DamagedQuery, DroppedRelation, CalculatedField };
    int kind = 0;
    std::string object, detail;  // the table or query; the field, file or reason
};

class Database {
public:
    virtual ~Database() = default;
    virtual std::string Name() const = 0;  // the file path
    virtual const dao::TableDefs& TableDefs() = 0;
    std::shared_ptr<TableDef> TableDefs(const std::string& name) { return TableDefs().Item(name); }
    virtual const dao::QueryDefs& QueryDefs() = 0;
    std::shared_ptr<QueryDef> QueryDefs(const std::string& name) { return QueryDefs().Item(name); }
    virtual const dao::Relations& Relations() = 0;
    // Runs an action or data-definition statement; RecordsAffected tells how many rows.
    virtual void Execute(const std::string& sql, long options = 0) = 0;
    virtual long RecordsAffected() const = 0;
    virtual void Close() = 0;
    // False for a file of another format that is read, never written (an MS Access file).
    virtual bool Updatable() const { return true; }
    virtual std::vector<FileNotice> Notices() const { return {}; }
};

class Workspace {
public:
    virtual ~Workspace() = default;
    virtual std::string UserName() const = 0;
    // connect: ";pwd=<database password>" or empty.
    virtual std::shared_ptr<Database> OpenDatabase(const std::string& path, bool options = false,
                                                   bool readOnly = false, const std::string& connect = {}) = 0;
};

class DBEngine {
public:
    virtual ~DBEngine() = default;
    // Authenticates against SystemDB (when set) on first use; 0 is the only workspace.
    virtual std::shared_ptr<Workspace> Workspaces(long index) = 0;
    virtual std::string SystemDB() const = 0;
    virtual void SystemDB(const std::string& path) = 0;
    virtual void DefaultUser(const std::string& user) = 0;
    virtual void DefaultPassword(const std::string& password) = 0;
    // Writes the database at source to a new, editable database file at destination
    // (3204 when it exists); returns how many tables it holds.
    virtual long CompactDatabase(const std::string& source, const std::string& destination) {
        (void)source;
        (void)destination;
        raise(3251, "Operation is not supported for this type of object.", "DAO.DBEngine");
    }
};

// How the engine reaches DAO: the thread's engine (created on first use) and
// private engines for a workgroup logon.
class DaoProvider {
public:
    virtual ~DaoProvider() = default;
    virtual std::shared_ptr<DBEngine> ThreadEngine() = 0;
    virtual std::shared_ptr<DBEngine> NewPrivateEngine() = 0;
};

}  // namespace dao
}  // namespace dalvera::host
