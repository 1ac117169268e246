#include "sheet/clsForm.h"

#include "app/clsApplication.h"
#include "app/clsAux.h"
#include "data/IDS.h"
#include "data/ITable.h"
#include "entry/Globals.h"
#include "host/Progress.h"
#include "menus/ICB.h"
#include "runtime/Error.h"
#include "runtime/Text.h"
#include "sheet/clsMatrix.h"
#include "text/modGlobalization.h"

namespace dalvera {

namespace xl = host::xl;

namespace {
// The letters of a column number: 28 gives "AB".
std::string ColumnLetter(long column) {
    std::string letters;
    for (; column > 0; column = (column - 1) / 26) letters.insert(letters.begin(), static_cast<char>('A' + (column - 1) % 26));
    return letters;
}

// At most `limit` characters, never cutting a character of several bytes in two.
std::string leftChars(const std::string& text, size_t limit) {
    size_t count = 0, i = 0;
    while (i < text.size() && count < limit) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        size_t len = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 1;
        i += len;
        ++count;
    }
    return text.substr(0, std::min(i, text.size()));
}

// The characters a sheet name cannot hold become "_", so that any table can be shown.
std::string sheetNameOf(const std::string& text) {
    std::string name = leftChars(text, 31);
    for (char& c : name)
        if (c == ':' || c == '\\' || c == '/' || c == '?' || c == '*' || c == '[' || c == ']') c = '_';
    return name;
}

host::ProtectOptions sheetProtection() {
    host::ProtectOptions options;
    options.allowFormattingColumns = true;
    options.allowFiltering = true;
    options.allowSorting = true;
    return options;
}
}  // namespace

clsForm::clsForm() : rowChanged_(1) {}

clsForm::~clsForm() { Clear(); }

void clsForm::Clear() {
    rowChanged_.assign(1, std::string());
    newRowDefaults_.clear();
    forgetAddedRows();
    loaded_.clear();
    insertedRows_.clear();
    matrix_.reset();
    filters_.Clear();
}

Variant clsForm::LoadedKey(long row, const std::string& name) const {
    return loaded_.value(static_cast<size_t>(matrix_->Fields().Item(name)->Index()), static_cast<size_t>(row - 1));
}

long clsForm::RowCount() const { return matrix_ ? matrix_->RowCount() : 0; }

bool clsForm::HasChanges() const {
    for (const auto& flag : rowChanged_)
        if (flag.find('1') != std::string::npos) return true;
    return false;
}

bool clsForm::TableHasPrimaryKeyInfo() const {
    return matrix_ != nullptr && goApplication && goApplication->DataSource() != nullptr;
}

bool clsForm::TableHasPrimaryKey() const {
    return TableHasPrimaryKeyInfo() && goApplication->DataSource()->Table().HasPrimaryKey();
}

std::vector<ColumnProperty> clsForm::ColumnLayout() const {
    std::vector<ColumnProperty> layout;
    if (!matrix_) return layout;
    for (long i = 0; i < matrix_->FieldCount(); ++i) {
        const clsField& f = matrix_->Field(i);
        layout.push_back({f.ColumnHidden(), f.ColumnWidth()});
    }
    return layout;
}

void clsForm::ShowTable(const std::string& tableName, int index) {
    auto& app = HostApp();
    clsApplication& controller = *goApplication;
    clsAux& aux = controller.Aux();
    std::shared_ptr<IDS> ds = controller.DataSource();
    bool isNew = true;
    bool cleared = false, unfinished = false;
    try {
        if (!ds) raise(91, "Object variable or With block variable not set", "clsForm");
        const bool filterSetting = aux.IsSettingOn(setting::DisplayFilter);
        std::string selection;
        if (!tableName.empty() && matrix_) {
            tableName_ = tableName;
            isNew = false;
            if (auto current = app.Selection()) selection = current->Address();
            if (filterSetting) SaveFilter();
        } else {
            std::string picked, shownAs;
            if (index < 1 && tableName.empty()) {
                host::ControlPtr control = app.CommandBars().ActionControl();
                if (!control) raise(91, "Object variable or With block variable not set", "clsForm");
                picked = control->Parameter();
                shownAs = control->Caption();
            } else if (!tableName.empty()) {
                picked = shownAs = tableName;  // nothing shown yet: build the columns afresh
            } else {
                picked = ds->TableNames().Item(index);
                shownAs = picked;
            }
            if (HasChanges() &&
                ShowMessage(GetMessage(20, Variant(shownAs)), host::mb::YesNo | host::mb::Question) == host::answer::No)
                return;
            tableName_ = picked;
        }
        // Refused before the sheet is touched: a name no statement can hold.
        QuoteTableName(tableName_);
        UnprotectSheet();
        ClearSheet();
        cleared = true;
        aux.ApplyFreezeTopRow(sheet_);
        if (isNew) {
            matrix_.reset();
            rowChanged_.assign(1, std::string());
            newRowDefaults_.clear();
            forgetAddedRows();
            loaded_.clear();
            matrix_ = std::make_unique<clsMatrix>(listSheet_);
            ds->Table().Initialize();
        }
        {
            // Only the reading can be cancelled; the questions around it have their own buttons.
            host::LoadScope loading;
            unfinished = true;
            LoadData(isNew, "SELECT * FROM " + QuoteTableName(tableName_));
            unfinished = false;
        }
        FormatSheet(false, isNew, selection);
        if (!isNew && filterSetting) RestoreFilter();
        sheet_->SetName(sheetNameOf(tableName_ + " " + GetMessage(8)));
        controller.UpdateCommandStates();
        aux.EnableControl(controller.MenuBar(), tag::RowUpdate, false);
        aux.EnableControl(controller.CommandBar(), tag::RowUpdate, false);
        app.OnKey("{F7}", Variant(""));
    } catch (const Error& e) {
        // A grid that was half built for a new table is no table to act on;
        // a failure before the sheet was cleared leaves the shown table as it was.
        // A cancelled reload leaves a cleared sheet whose read rows are gone:
        // F7 or F8 must find no table there rather than the old one's rows.
        // A load that did not finish leaves neither its rows, shown as they
        // arrived, nor the table before it to act on.
        if (cleared && (isNew || unfinished || e.number() == host::LoadCancelled)) Clear();
        if (unfinished) {
            try {
                ClearSheet();
            } catch (const Error&) {
                // The message below matters more.
            }
        }
        handleShowError(e);
    }
    if (ds) {
        try {
            ds->DisconnectADO();
            ds->DisconnectDAO();
        } catch (const Error&) {
            // The sheet is protected again whatever the connection does.
        }
    }
    if (sheet_) ProtectSheet();
}

void clsForm::handleShowError(const Error& e) {
    CurrentErrorScope current(e);
    auto& app = HostApp();
    try {
        app.SetScreenUpdating(true);
        if (sheet_) {
            sheet_->Activate();
            sheet_->SetName(GetProductName());
        }
    } catch (const Error&) {
        // The message below matters more than the sheet's name.
    }
    clsAux& aux = goApplication->Aux();
    switch (e.number()) {
    case err::InvalidCall: ShowMessage(GetMessage(216), host::mb::Exclamation); break;
    case err::Cancelled: break;
    case host::LoadCancelled: ShowMessage(GetMessage(290, Variant(tableName_)), host::mb::Information); break;
    case err::Information: ShowMessage(e.description(), host::mb::Information); break;
    case err::Exclamation: ShowMessage(e.description(), host::mb::Exclamation); break;
    case err::Critical: ShowMessage(e.description(), host::mb::Critical); break;
    case err::ClearSheet:
        try {
            ClearSheet();
        } catch (const Error&) {
        }
        ShowMessage(e.description(), host::mb::Exclamation);
        break;
    case err::Database: ShowMessage(aux.CleanOdbcMessage(e.description()), host::mb::Information); break;
    case 3024: ShowMessage(GetMessage(215, Variant(tableName_), Variant(e.description())), host::mb::Information); break;
    case 3265: ShowMessage(GetMessage(214, Variant(tableName_)), host::mb::Information); break;
    default: ShowMessage(GetMessage(2), host::mb::Critical); break;
    }
    try {
        aux.EnableSheetCommands(goApplication->MenuBar(), false);
        aux.EnableSheetCommands(goApplication->CommandBar(), false);
    } catch (const Error&) {
    }
}

void clsForm::LoadData(bool isNew, const std::string& sql) {
    std::shared_ptr<host::ado::Recordset> rs = matrix_->Load(sheet_, sql, isNew);
    auto ds = goApplication->DataSource();
    try {
        checkNamesQuotable();
        if (goApplication->Aux().IsSettingOn(setting::DisplayFilter)) matrix_->DataRange()->AutoFilter();
        loaded_.clear();
        insertedRows_.clear();
        newRowDefaults_.clear();
        forgetAddedRows();
        const long rows = matrix_->RowCount();
        rowChanged_.assign(static_cast<size_t>(std::max(rows, 1L)), std::string());
        // Every value as read, not as the sheet shows it: the keys name exactly the
        // row that was read, and the rest tells whether someone changed it since.
        // The record set's own rows are kept, not a copy of them.
        if (rows > 0 && ds->Table().PrimaryKeys().Count() > 0) {
            loaded_.setRead(rs->Snapshot());
            if (static_cast<long>(loaded_.columnCount()) != matrix_->FieldCount())
                raise(err::Critical, "The rows read do not match the columns of the sheet!", "clsForm");
        }
    } catch (...) {
        ds->CloseRecordSet(rs);
        throw;
    }
    ds->CloseRecordSet(rs);
}

void clsForm::checkNamesQuotable() {
    QuoteTableName(tableName_);
    for (long i = 0; i < matrix_->FieldCount(); ++i) QuoteFieldName(matrix_->Field(i).Name());
}

void clsForm::FormatSheet(bool settingsOnly, bool isNew, const std::string& selectionAddress) {
    clsAux& aux = goApplication->Aux();
    host::RangePtr data = matrix_->DataRange();
    if (goApplication->DataSource()->Table().HasPrimaryKey()) {
        ApplyEditability(data, false);
        aux.FormatDataRange(data);
        if (!settingsOnly) {
            sheet_->SetEnableSelection(xl::UnlockedCells);
            FinalizeAllColumns();
            if (isNew || selectionAddress.empty()) {
                SelectFirstEditableCell(data);
            } else {
                sheet_->Activate();
                host::RangePtr selection = sheet_->Range(selectionAddress);
                selection->Select();
                ScrollIntoView(selection->Cells(1, 1));
            }
        }
        ApplyFieldComments();
    } else {
        aux.FormatDataRange(data);
        if (!settingsOnly) {
            sheet_->SetEnableSelection(xl::NoRestrictions);
            if (goApplication->DataSource()->IsReadOnly())
                aux.ShowOptionalMessage(setting::ShowReadOnlyAccess, GetMessage(251, Variant(tableName_)));
            else
                aux.ShowOptionalMessage(setting::ShowNoPrimaryKey, GetMessage(72, Variant(tableName_)));
        }
        ApplyFieldComments();
    }
}

void clsForm::ClearSheet() {
    auto& app = HostApp();
    clsAux& aux = goApplication->Aux();
    sheet_->Activate();
    auto window = app.ActiveWindow();
    window->SetDisplayHeadings(aux.IsSettingOn(setting::DisplayHeadings));
    window->SetDisplayZeros(aux.IsSettingOn(setting::DisplayZeros));
    window->SetFreezePanes(false);
    auto used = sheet_->UsedRange();
    long rows = used->Row() + used->RowsCount() - 1;
    long columns = used->Column() + used->ColumnsCount() - 1;
    sheet_->Rows("1:" + std::to_string(rows))->Delete();
    sheet_->Columns("A:" + ColumnLetter(columns))->Delete();
    sheet_->Cells()->Interior()->SetColor(aux.SettingColor(setting::ColorFormBack));
    sheet_->Cells()->Font()->SetColor(aux.SettingColor(setting::ColorMatrixFront));
    sheet_->SetName(GetProductName());
    window->SetScrollColumn(1);
    window->SetScrollRow(1);
    app.SetMoveAfterReturn(true);
    // Enter goes down the column, as a spreadsheet user expects.
    app.SetMoveAfterReturnDirection(xl::Down);
    try {
        app.CommandBars().Item("Task Pane")->SetVisible(false);
    } catch (const Error&) {
        // A host without a task pane has nothing to hide.
    }
}

void clsForm::UnprotectSheet() {
    auto& app = HostApp();
    sheet_->Parent()->Unprotect(clsAux::ProtectionPassword());
    sheet_->Unprotect(clsAux::ProtectionPassword());
    app.SetScreenUpdating(false);
    app.SetEnableEvents(false);
    app.SetCalculation(xl::CalculationManual);
    app.SetStatusBar(Variant(GetMessage(5)));
}

void clsForm::ProtectSheet() {
    auto& app = HostApp();
    sheet_->Protect(clsAux::ProtectionPassword(), sheetProtection());
    sheet_->Parent()->Protect(clsAux::ProtectionPassword());
    app.SetCalculation(xl::CalculationAutomatic);
    app.SetEnableEvents(true);
    app.SetScreenUpdating(true);
    app.SetStatusBar(Variant(GetMessage(6)));
}

void clsForm::ApplyEditability(const host::RangePtr& range, bool newRowOnly) {
    SetRangeEditable(range, true);
    for (long i = 0; i < matrix_->FieldCount(); ++i) {
        const clsField& field = matrix_->Field(i);
        if (!field.ReadOnly()) continue;
        if (newRowOnly) {
            SetRangeEditable(field.Cell()->Offset(matrix_->RowCount(), 0), false);
        } else if (auto cells = HostApp().Intersect(field.Cell()->EntireColumn(), matrix_->DataRange())) {
            SetRangeEditable(cells, false);
        }
    }
}

void clsForm::SetRangeEditable(const host::RangePtr& range, bool editable) {
    clsAux& aux = goApplication->Aux();
    range->SetLocked(!editable);
    range->Interior()->SetColor(aux.SettingColor(editable ? setting::ColorMatrixBack : setting::ColorMatrixBackReadOnly));
    range->Font()->SetColor(aux.SettingColor(editable ? setting::ColorMatrixFront : setting::ColorMatrixFrontReadOnly));
}

void clsForm::FinalizeAllColumns() {
    if (matrix_->RowCount() <= 0) return;
    for (long i = 0; i < matrix_->FieldCount(); ++i) matrix_->FinalizeColumnData(false, matrix_->Field(i));
}

void clsForm::ApplyFieldComments() {
    const bool show = goApplication->Aux().IsSettingOn(setting::DisplayFieldDescription);
    for (long i = 0; i < matrix_->FieldCount(); ++i) {
        const clsField& field = matrix_->Field(i);
        host::RangePtr header = field.Cell();
        if (auto comment = header->Comment()) comment->Delete();
        if (show && !field.Description().empty()) AddFieldComment(header, field.Description());
    }
}

void clsForm::AddFieldComment(const host::RangePtr& cell, const std::string& text) {
    host::CommentPtr comment = cell->AddComment(text);
    auto shape = comment->Shape();
    shape->ScaleWidth(1.6);
    shape->ScaleHeight(0.7);
    shape->SetTextColorIndex(11);
    shape->SetTextSize(10);
    shape->SetFillSchemeColor(9);
    shape->SetLineColor(0xFFFFFF);
    shape->SetShadow(false);
}

void clsForm::SelectFirstEditableCell(const host::RangePtr& range) {
    // Whole locked rows are passed over at once; the order stays cell by cell.
    for (long r = 1; r <= range->RowsCount(); ++r) {
        host::RangePtr row = range->Rows(r);
        Variant locked = row->Locked();
        if (!locked.isNull() && locked.toBool()) continue;
        for (long c = 1; c <= row->ColumnsCount(); ++c) {
            host::RangePtr cell = row->Cells(1, c);
            if (cell->Locked().toBool()) continue;
            cell->Worksheet()->Activate();
            cell->Select();
            ScrollIntoView(cell);
            return;
        }
    }
}

void clsForm::ScrollIntoView(const host::RangePtr& cell) {
    auto window = HostApp().ActiveWindow();
    if (cell->Row() > 20) {
        window->SetScrollRow(cell->Row());
        window->SmallScroll(0, 10);
    }
    if (cell->Column() > 10) {
        window->SetScrollColumn(cell->Column());
        window->SmallScroll(0, 0, 0, 5);
    }
}

void clsForm::SaveFilter() {
    filters_.Clear();
    if (!sheet_->AutoFilterMode() || !sheet_->FilterMode()) return;
    auto autoFilter = sheet_->AutoFilter();
    if (!autoFilter) return;
    auto hostFilters = autoFilter->Filters();
    for (long i = 1; i <= hostFilters->Count(); ++i) {
        auto hostFilter = hostFilters->Item(i);
        auto filter = std::make_shared<clsFilter>();
        if (!hostFilter->On()) {
            filter->Init(static_cast<int16_t>(i), false, "", 0, "");
        } else {
            std::string second;
            try {
                second = hostFilter->Criteria2().text();
            } catch (const Error&) {
                // The host raises when the filter has one criterion only.
            }
            filter->Init(static_cast<int16_t>(i), true, hostFilter->Criteria1().text(), hostFilter->Operator(), second);
        }
        filters_.Add(filter, std::to_string(i));
    }
}

void clsForm::RestoreFilter() {
    for (long i = 1; i <= filters_.Count(); ++i) {
        const clsFilter& f = *filters_.Item(i);
        if (!f.IsActive()) continue;
        if (!f.Criteria2().empty())
            matrix_->DataRange()->AutoFilter(f.ColumnIndex(), Variant(f.Criteria1()), f.FilterOperator(),
                                             Variant(f.Criteria2()));
        else
            matrix_->DataRange()->AutoFilter(f.ColumnIndex(), Variant(f.Criteria1()));
    }
}

void clsForm::PrepareForSave() {
    try {
        HostApp().SetScreenUpdating(false);
        // Edits are known by their colour, which the save takes away; kept in
        // case the save fails and the person goes on editing.
        lookBeforeSave_.clear();
        if (matrix_) {
            for (size_t i = 0; i < rowChanged_.size(); ++i) {
                if (rowChanged_[i].find('1') == std::string::npos) continue;
                for (long k = 0; k < matrix_->FieldCount(); ++k) {
                    host::RangePtr cell = matrix_->Field(k).Cell()->Offset(static_cast<long>(i) + 1, 0);
                    lookBeforeSave_.push_back({cell, cell->Interior()->Color(), cell->Font()->Color()});
                }
            }
        }
        sheet_->Parent()->Unprotect(clsAux::ProtectionPassword());
        sheet_->Unprotect(clsAux::ProtectionPassword());
        sheet_->Cells()->Interior()->SetColorIndex(xl::ColorIndexNone);
        sheet_->Cells()->Font()->SetColorIndex(0);
        if (matrix_ && matrix_->DataRange()) goApplication->Aux().FormatTitleRow(matrix_->DataRange());
    } catch (const Error& e) {
        raise(e.number(), e.description(), "clsForm.PrepareForSave");
    }
}

void clsForm::RestoreAfterFailedSave() {
    if (!sheet_) return;
    clsAux& aux = goApplication->Aux();
    sheet_->Cells()->Interior()->SetColor(aux.SettingColor(setting::ColorFormBack));
    sheet_->Cells()->Font()->SetColor(aux.SettingColor(setting::ColorMatrixFront));
    if (matrix_ && matrix_->DataRange()) {
        host::RangePtr data = matrix_->DataRange();
        // Colours only: which cells are locked was never touched.
        for (long i = 0; i < matrix_->FieldCount(); ++i) {
            const clsField& field = matrix_->Field(i);
            host::RangePtr cells = HostApp().Intersect(field.Cell()->EntireColumn(), data);
            if (!cells) continue;
            const bool editable = !field.ReadOnly();
            cells->Interior()->SetColor(aux.SettingColor(editable ? setting::ColorMatrixBack : setting::ColorMatrixBackReadOnly));
            cells->Font()->SetColor(aux.SettingColor(editable ? setting::ColorMatrixFront : setting::ColorMatrixFrontReadOnly));
        }
        aux.FormatTitleRow(data);
    }
    for (const auto& look : lookBeforeSave_) {
        if (!look.back.isNull()) look.cell->Interior()->SetColor(look.back.toLong());
        if (!look.front.isNull()) look.cell->Font()->SetColor(look.front.toLong());
    }
    lookBeforeSave_.clear();
    ProtectSheet();
}

void clsForm::CloseWorkbook() { sheet_->Parent()->Close(Variant(false)); }


void clsForm::RecordChange(const host::RangePtr& target) {
    if (!sheet_ || !matrix_) return;
    // Whole-column operations are not edits of records.
    if (target->RowsCount() >= 65536) return;
    auto& app = HostApp();
    clsAux& aux = goApplication->Aux();
    app.SetEnableEvents(false);
    try {
        const long first = target->Row();
        const long rows = target->RowsCount();
        for (long r = first; r < first + rows; ++r) {
            if (r < 2) continue;  // the header row holds no record
            size_t i = static_cast<size_t>(r - 2);
            if (i >= rowChanged_.size()) rowChanged_.resize(i + 1);
            rowChanged_[i] = "1";
        }
        sheet_->Unprotect(clsAux::ProtectionPassword());
        target->Interior()->SetColor(aux.SettingColor(setting::ColorMatrixBackEdited));
        target->Font()->SetColor(aux.SettingColor(setting::ColorMatrixFrontEdited));
        // A new row that holds nothing but its defaults is not a record to write.
        if (rows == 1 && first >= 2 && !IsStoredRow(first - 1)) {
            const long dataRow = first - 1;
            auto remembered = newRowDefaults_.find(dataRow);
            bool filled = false;
            std::vector<host::RangePtr> editable;
            for (long k = 0; k < matrix_->FieldCount(); ++k) {
                clsField& field = matrix_->Field(k);
                host::RangePtr cell = field.Cell()->Offset(dataRow, 0);
                if (cell->Locked().isBoolean() && cell->Locked().toBool()) continue;
                editable.push_back(cell);
                std::string text = trimBlanks(cell->Value().text());
                // The database's default text, or what F6 put there: a computed
                // default (Now, newid) or a Boolean shows otherwise than its text.
                bool asAdded = remembered != newRowDefaults_.end() &&
                               static_cast<size_t>(k) < remembered->second.size() && text == remembered->second[static_cast<size_t>(k)];
                if (!text.empty() && text != field.DefaultValue().text() && !asAdded) filled = true;
            }
            if (!filled) {
                if (static_cast<size_t>(dataRow - 1) < rowChanged_.size()) rowChanged_[static_cast<size_t>(dataRow - 1)] = "0";
                for (const auto& cell : editable) {
                    cell->Interior()->SetColor(aux.SettingColor(setting::ColorMatrixBack));
                    cell->Font()->SetColor(aux.SettingColor(setting::ColorMatrixFront));
                }
            }
        }
        bool changes = HasChanges();
        aux.EnableControl(goApplication->MenuBar(), tag::RowUpdate, changes);
        aux.EnableControl(goApplication->CommandBar(), tag::RowUpdate, changes);
        app.OnKey("{F7}", Variant(changes ? "ThisWorkbook.WriteData" : ""));
        sheet_->Protect(clsAux::ProtectionPassword(), sheetProtection());
    } catch (const Error&) {
        // Whatever failed, locked keys and headers must not become typable.
        try {
            sheet_->Protect(clsAux::ProtectionPassword(), sheetProtection());
        } catch (const Error&) {
        }
        app.SetEnableEvents(true);
        throw;
    }
    app.SetEnableEvents(true);
}

void clsForm::RecordUndo(const host::RangePtr& target) {
    if (!sheet_ || !matrix_) return;
    clsAux& aux = goApplication->Aux();
    const long edited = aux.SettingColor(setting::ColorMatrixBackEdited);
    auto areas = target->Areas();
    for (long a = 1; a <= areas->Count(); ++a) {
        host::RangePtr area = areas->Item(a);
        const long first = area->Row();
        for (long r = std::max(first, 2L); r < first + area->RowsCount(); ++r) {
            const size_t i = static_cast<size_t>(r - 2);
            if (i >= rowChanged_.size()) continue;
            bool flagged = false;
            for (long k = 0; k < matrix_->FieldCount() && !flagged; ++k) {
                Variant colour = matrix_->Field(k).Cell()->Offset(r - 1, 0)->Interior()->Color();
                flagged = !colour.isNull() && colour.toLong() == edited;
            }
            rowChanged_[i] = flagged ? "1" : "0";
        }
    }
    bool changes = HasChanges();
    aux.EnableControl(goApplication->MenuBar(), tag::RowUpdate, changes);
    aux.EnableControl(goApplication->CommandBar(), tag::RowUpdate, changes);
    HostApp().OnKey("{F7}", Variant(changes ? "ThisWorkbook.WriteData" : ""));
}

void clsForm::RememberNewRowDefaults(long dataRow) {
    std::vector<std::string> texts;
    for (long k = 0; k < matrix_->FieldCount(); ++k)
        texts.push_back(trimBlanks(matrix_->Field(k).Cell()->Offset(dataRow, 0)->Value().text()));
    newRowDefaults_[dataRow] = std::move(texts);
}

void clsForm::RecordSort(long firstDataRow, const std::vector<long>& order) {
    if (firstDataRow < 1 || order.empty()) return;
    const size_t first = static_cast<size_t>(firstDataRow - 1);
    std::vector<size_t> from(order.size());
    for (size_t i = 0; i < order.size(); ++i) {
        if (order[i] < 0 || static_cast<size_t>(order[i]) >= order.size())
            raise(err::Critical, "A sort named a row outside the rows it sorted!", "clsForm");
        from[i] = static_cast<size_t>(order[i]);
    }
    if (rowChanged_.size() < first + order.size()) rowChanged_.resize(first + order.size());
    std::vector<std::string> flags(order.size());
    for (size_t i = 0; i < order.size(); ++i) flags[i] = rowChanged_[first + from[i]];
    for (size_t i = 0; i < order.size(); ++i) rowChanged_[first + i] = std::move(flags[i]);

    std::map<long, std::vector<std::string>> defaults;
    std::set<long> inserted;
    const long last = firstDataRow + static_cast<long>(order.size()) - 1;
    for (auto& [row, texts] : newRowDefaults_)
        if (row < firstDataRow || row > last) defaults[row] = std::move(texts);
    for (long row : insertedRows_)
        if (row < firstDataRow || row > last) inserted.insert(row);
    for (size_t i = 0; i < order.size(); ++i) {
        const long was = firstDataRow + static_cast<long>(from[i]), now = firstDataRow + static_cast<long>(i);
        auto it = newRowDefaults_.find(was);
        if (it != newRowDefaults_.end()) defaults[now] = std::move(it->second);
        if (insertedRows_.count(was)) inserted.insert(now);
    }
    newRowDefaults_ = std::move(defaults);
    insertedRows_ = std::move(inserted);
    forgetAddedRows();  // the host's history ends at a sort; the rows are elsewhere now
    loaded_.reorder(first, from);
}

}  // namespace dalvera
