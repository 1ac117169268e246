#include "data/clsTableAccess.h"

#include "app/clsApplication.h"
#include "data/IDS.h"
#include "entry/Globals.h"
#include "sheet/clsField.h"
#include "sheet/clsForm.h"

namespace dalvera {

namespace {
constexpr int AttachmentType = 101;

std::shared_ptr<host::dao::Database> openDatabase(IDS& source) {
    auto db = source.DbDAO();
    if (!db) raise(91, "Object variable or With block variable not set", "clsTableAccess");
    return db;
}
}  // namespace

clsTableAccess::clsTableAccess(IDS& source) : source_(source) {
    tableName_ = [] { return goApplication ? goApplication->Form().TableName() : std::string(); };
}

std::string clsTableAccess::TableName() const { return tableName_(); }

bool clsTableAccess::HasPrimaryKey() const { return table_.HasPrimaryKey() && !source_.IsReadOnly(); }

void clsTableAccess::Initialize() {
    // The database is opened afresh with the stored password or logon.
    source_.ConnectDAO();
    DeterminePrimaryKeys();
    DetermineRelations();
}

void clsTableAccess::DeterminePrimaryKeys() {
    table_.SetPrimaryKeys({});
    auto def = openDatabase(source_)->TableDefs(TableName());
    for (const auto& index : def->Indexes()) {
        if (!index->Primary()) continue;
        for (const auto& field : index->Fields()) table_.PrimaryKeys().Add(field->Name(), field->Name());
    }
}

void clsTableAccess::DetermineRelations() {
    table_.ClearRelations();
    const std::string shown = TableName();
    for (const auto& relation : openDatabase(source_)->Relations()) {
        if (relation->ForeignTable() != shown) continue;
        const auto& pairs = relation->Fields();
        for (long i = 0; i < pairs.Count(); ++i) {
            auto pair = pairs.Item(i);
            auto r = std::make_shared<clsRelation>();
            r->Init(relation->Name() + "_" + std::to_string(i), relation->Table(), pair->Name(),
                    relation->ForeignTable(), pair->ForeignName());
            table_.Relations().Add(r, r->RelationKey());
        }
    }
}

bool clsTableAccess::PropertyExists(const host::dao::Field& oField, const std::string& sPropertyName) {
    const auto& props = oField.Properties();
    for (long i = 0; i < props.Count(); ++i)
        if (props.Item(i)->Name() == sPropertyName) return true;
    return false;
}

Variant clsTableAccess::PropertyValue(const host::dao::Field& oField, const std::string& sPropertyName) {
    const auto& props = oField.Properties();
    for (long i = 0; i < props.Count(); ++i)
        if (props.Item(i)->Name() == sPropertyName) return props.Item(i)->Value();
    return Variant();
}

std::shared_ptr<clsField> clsTableAccess::InitializeField(const std::string& MatrixFieldName, int16_t Index,
                                                          const host::ado::Recordset& recordset) {
    auto field = std::make_shared<clsField>();
    auto adoField = recordset.Fields().Item(MatrixFieldName);
    int32_t size = adoField->DefinedSize();
    int32_t typeADO = adoField->Type();

    auto dao = openDatabase(source_)->TableDefs(TableName())->Fields(MatrixFieldName);
    Variant defaultValue = dao->DefaultValue();
    bool allowZeroLength = dao->AllowZeroLength();
    int32_t typeDAO = dao->Type();

    std::string caption = PropertyValue(*dao, "Caption").text();
    std::string validationText = PropertyValue(*dao, "ValidationText").text();
    std::string notation = PropertyValue(*dao, "Format").text();
    std::string description = PropertyValue(*dao, "Description").text();
    int32_t columnWidth = PropertyExists(*dao, "ColumnWidth") ? PropertyValue(*dao, "ColumnWidth").toLong() : -1;
    bool columnHidden = PropertyExists(*dao, "ColumnHidden") && PropertyValue(*dao, "ColumnHidden").toBool();

    bool readOnly = false;
    switch (goApplication->VariantCode()) {
    case 12: {
        // A field without the property is simply not append-only.
        Variant appendOnly = PropertyValue(*dao, "AppendOnly");
        bool isAppendOnly = !appendOnly.isEmpty() && !appendOnly.isNull() && appendOnly.toBool();
        readOnly = isAppendOnly || typeDAO == AttachmentType;
        break;
    }
    case 11: break;
    default: raise(err::Critical, "No such version!");
    }
    bool isAutoIncr = false;
    if (dao->Attributes() & host::dao::AutoIncrField) {
        isAutoIncr = true;
        readOnly = true;
    }
    field->Init(MatrixFieldName, Index, caption, size, defaultValue, allowZeroLength, isAutoIncr, readOnly,
                validationText, notation, description, columnWidth, columnHidden, typeADO, typeDAO,
                table_.PrimaryKeys());
    return field;
}

}  // namespace dalvera
