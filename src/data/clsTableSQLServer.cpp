#include "data/clsTableSQLServer.h"

#include "app/clsApplication.h"
#include "data/clsDSSQLServer.h"
#include "entry/Globals.h"
#include "runtime/Text.h"
#include "sheet/clsField.h"
#include "sheet/clsForm.h"

namespace dalvera {

namespace {
std::string literal(const std::string& s) { return "'" + replaceAll(s, "'", "''") + "'"; }

// The catalogue's handle of a table: a regclass text or an object name.
std::string objectRef(clsDSSQLServer& source, const std::string& schema, const std::string& table) {
    const std::string quoted = source.QuoteName(schema) + "." + source.QuoteName(table);
    if (source.ServerKind() == clsDSSQLServer::Kind::SqlServer) return "OBJECT_ID(N" + literal(quoted) + ")";
    return "to_regclass(" + literal(quoted) + ")";
}

template <typename F>
void eachRow(clsDSSQLServer& source, const std::string& sql, F f) {
    auto rs = source.GetRecordSet(sql, false);
    try {
        for (; !rs->Eof(); rs->MoveNext()) f(rs->Fields());
    } catch (...) {
        source.CloseRecordSet(rs);
        throw;
    }
    source.CloseRecordSet(rs);
}
}  // namespace

clsTableSQLServer::clsTableSQLServer(clsDSSQLServer& source) : source_(source) {
    TableName = [] { return goApplication ? goApplication->Form().TableName() : std::string(); };
}

void clsTableSQLServer::Initialize() {
    source_.ConnectADO();
    DeterminePrimaryKeys();
    DetermineRelations();
    DetermineColumns();
}

void clsTableSQLServer::DeterminePrimaryKeys() {
    table_.SetPrimaryKeys({});
    const auto [schema, table] = source_.Locate(TableName());
    const std::string ref = objectRef(source_, schema, table);
    const std::string sql =
        source_.ServerKind() == clsDSSQLServer::Kind::SqlServer
            ? "SELECT c.name FROM sys.indexes i JOIN sys.index_columns ic ON ic.object_id = i.object_id AND "
              "ic.index_id = i.index_id JOIN sys.columns c ON c.object_id = ic.object_id AND c.column_id = ic.column_id "
              "WHERE i.object_id = " + ref + " AND i.is_primary_key = 1 ORDER BY ic.key_ordinal"
            : "SELECT a.attname FROM pg_index i CROSS JOIN LATERAL unnest(i.indkey::int2[]) WITH ORDINALITY AS k(n, o) "
              "JOIN pg_attribute a ON a.attrelid = i.indrelid AND a.attnum = k.n "
              "WHERE i.indrelid = " + ref + " AND i.indisprimary ORDER BY k.o";
    eachRow(source_, sql, [&](const host::ado::Fields& f) {
        const std::string name = f.Item(0L)->Value().text();
        if (!table_.PrimaryKeys().Exists(name)) table_.PrimaryKeys().Add(name, name);
    });
}

void clsTableSQLServer::DetermineRelations() {
    table_.ClearRelations();
    table_.SetRelations({});
    const std::string shown = TableName();
    const auto [schema, table] = source_.Locate(shown);
    const std::string ref = objectRef(source_, schema, table);
    const std::string sql =
        source_.ServerKind() == clsDSSQLServer::Kind::SqlServer
            ? "SELECT fk.name, fkc.constraint_column_id - 1, pc.name, SCHEMA_NAME(rt.schema_id), rt.name, rc.name "
              "FROM sys.foreign_keys fk JOIN sys.foreign_key_columns fkc ON fkc.constraint_object_id = fk.object_id "
              "JOIN sys.columns pc ON pc.object_id = fkc.parent_object_id AND pc.column_id = fkc.parent_column_id "
              "JOIN sys.tables rt ON rt.object_id = fkc.referenced_object_id "
              "JOIN sys.columns rc ON rc.object_id = fkc.referenced_object_id AND rc.column_id = fkc.referenced_column_id "
              "WHERE fk.parent_object_id = " + ref + " ORDER BY fk.name, fkc.constraint_column_id"
            : "SELECT c.conname, k.i - 1, a.attname, rn.nspname, rt.relname, ra.attname FROM pg_constraint c "
              "CROSS JOIN LATERAL unnest(c.conkey, c.confkey) WITH ORDINALITY AS k(fk, pk, i) "
              "JOIN pg_attribute a ON a.attrelid = c.conrelid AND a.attnum = k.fk "
              "JOIN pg_class rt ON rt.oid = c.confrelid JOIN pg_namespace rn ON rn.oid = rt.relnamespace "
              "JOIN pg_attribute ra ON ra.attrelid = c.confrelid AND ra.attnum = k.pk "
              "WHERE c.contype = 'f' AND c.conrelid = " + ref + " ORDER BY c.conname, k.i";
    eachRow(source_, sql, [&](const host::ado::Fields& f) {
        auto r = std::make_shared<clsRelation>();
        r->Init(f.Item(0L)->Value().text() + "_" + std::to_string(f.Item(1L)->Value().toLong()),
                source_.ListedName(f.Item(3L)->Value().text(), f.Item(4L)->Value().text()), f.Item(5L)->Value().text(),
                shown, f.Item(2L)->Value().text());
        if (!table_.Relations().Exists(r->RelationKey())) table_.Relations().Add(r, r->RelationKey());
    });
}

void clsTableSQLServer::DetermineColumns() {
    columns_.clear();
    const auto [schema, table] = source_.Locate(TableName());
    const std::string ref = objectRef(source_, schema, table);
    const std::string sql =
        source_.ServerKind() == clsDSSQLServer::Kind::SqlServer
            ? "SELECT c.name, ISNULL(OBJECT_DEFINITION(c.default_object_id), ''), c.is_identity, "
              "CAST(CASE WHEN c.is_computed = 1 OR TYPE_NAME(c.system_type_id) = 'timestamp' THEN 1 ELSE 0 END AS bit), "
              "ISNULL(CAST(ep.value AS nvarchar(4000)), '') FROM sys.columns c LEFT JOIN sys.extended_properties ep "
              "ON ep.class = 1 AND ep.major_id = c.object_id AND ep.minor_id = c.column_id AND ep.name = 'MS_Description' "
              "WHERE c.object_id = " + ref
            : "SELECT a.attname, coalesce(pg_get_expr(d.adbin, d.adrelid), ''), "
              "(a.attidentity <> '' OR coalesce(pg_get_expr(d.adbin, d.adrelid), '') LIKE 'nextval(%'), "
              "a.attgenerated <> '', coalesce(col_description(a.attrelid, a.attnum), '') "
              "FROM pg_attribute a LEFT JOIN pg_attrdef d ON d.adrelid = a.attrelid AND d.adnum = a.attnum "
              "WHERE a.attrelid = " + ref + " AND a.attnum > 0 AND NOT a.attisdropped";
    eachRow(source_, sql, [&](const host::ado::Fields& f) {
        ColumnFacts facts;
        facts.computed = f.Item(3L)->Value().toBool();
        facts.autoNumber = f.Item(2L)->Value().toBool();
        if (!facts.computed) facts.defaultValue = clsDSSQLServer::NormalizeDefault(f.Item(1L)->Value().text());
        facts.description = f.Item(4L)->Value().text();
        columns_[f.Item(0L)->Value().text()] = facts;
    });
}

std::shared_ptr<clsField> clsTableSQLServer::InitializeField(const std::string& MatrixFieldName, int16_t Index,
                                                             const host::ado::Recordset& recordset) {
    auto field = std::make_shared<clsField>();
    auto adoField = recordset.Fields().Item(MatrixFieldName);
    const int32_t size = adoField->DefinedSize();
    const int32_t typeADO = adoField->Type();
    ColumnFacts facts;
    if (auto it = columns_.find(MatrixFieldName); it != columns_.end()) facts = it->second;
    Variant defaultValue = facts.defaultValue.empty() ? Variant() : Variant(facts.defaultValue);
    // Auto-numbers and computed columns are the server's to fill.
    const bool readOnly = facts.autoNumber || facts.computed;
    field->Init(MatrixFieldName, Index, std::string(), size, defaultValue, true, facts.autoNumber, readOnly,
                std::string(), std::string(), facts.description, -1, false, typeADO, 0, table_.PrimaryKeys());
    return field;
}

}  // namespace dalvera
