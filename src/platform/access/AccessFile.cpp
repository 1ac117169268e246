#include "platform/access/AccessFile.h"

// glib must come first: mdbtools.h includes it inside extern "C".
#include <glib.h>
#include <iconv.h>
#include <mdbtools.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <fstream>

#include "runtime/Error.h"
#include "runtime/Text.h"

namespace dalvera::access {

namespace {

const char* const Source = "DAO.Database";

struct GFree {
    void operator()(char* p) const { g_free(p); }
};
using GText = std::unique_ptr<char, GFree>;

// User tables carry neither the system bits nor the hidden bit in MSysObjects.
constexpr unsigned SystemFlags = 0x80000002u, HiddenFlag = 0x8u;

void copyProperties(MdbProperties* props, std::vector<Property>& out) {
    if (!props || !props->hash) return;
    GHashTableIter it;
    gpointer key, value;
    g_hash_table_iter_init(&it, props->hash);
    while (g_hash_table_iter_next(&it, &key, &value))
        out.push_back({static_cast<const char*>(key), value ? static_cast<const char*>(value) : ""});
}

int64_t int64At(const unsigned char* p) {
    uint64_t v = 0;
    for (int k = 7; k >= 0; --k) v = (v << 8) | p[k];
    return static_cast<int64_t>(v);
}

}  // namespace

const char* formatName(Format f) {
    switch (f) {
    case Format::Jet3: return "Jet 3";
    case Format::Jet4: return "Jet 4";
    case Format::Ace12: return "ACE 12";
    case Format::Ace14: return "ACE 14";
    case Format::Ace15: return "ACE 15";
    case Format::Ace16: return "ACE 16";
    case Format::Ace17: return "ACE 17";
    }
    return "";
}

const std::string* Column::property(const std::string& n) const {
    for (const auto& p : properties)
        if (equalsNoCase(p.name, n)) return &p.value;
    return nullptr;
}

const std::string* Table::property(const std::string& n) const {
    for (const auto& p : properties)
        if (equalsNoCase(p.name, n)) return &p.value;
    return nullptr;
}

struct File::Handle {
    MdbHandle* mdb = nullptr;
    ~Handle() {
        if (mdb) mdb_close(mdb);
    }
    MdbCatalogEntry* entry(const std::string& name, bool anyType = false) const {
        for (unsigned i = 0; i < mdb->num_catalog; ++i) {
            auto* e = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
            if ((anyType || e->object_type == MDB_TABLE) && name == e->object_name) return e;
        }
        return nullptr;
    }
};

File::File(const std::string& path) : path_(path), h_(std::make_unique<Handle>()) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) raise(3024, "Could not find file '" + path + "'.", Source);
    std::ifstream in(path, std::ios::binary);
    unsigned char head[0x20] = {};
    in.read(reinterpret_cast<char*>(head), sizeof head);
    if (in.gcount() < static_cast<std::streamsize>(sizeof head) ||
        (std::memcmp(head + 4, "Standard Jet DB", 15) != 0 && std::memcmp(head + 4, "Standard ACE DB", 15) != 0))
        raise(3343, "Unrecognized database format '" + path + "'.", Source);
    // A file shorter than its first pages is cut off: libmdb would read past its end.
    long pageSize = head[0x14] == 0 ? 2048 : 4096;
    if (st.st_size < pageSize * 3 || st.st_size % pageSize != 0)
        raise(3343, "Unrecognized database format '" + path + "'.", Source);
    h_->mdb = mdb_open(path.c_str(), MDB_NOFLAGS);
    if (!h_->mdb) raise(3343, "Unrecognized database format '" + path + "'.", Source);
    switch (h_->mdb->f->jet_version) {
    case MDB_VER_JET3: format_ = Format::Jet3; break;
    case MDB_VER_JET4: format_ = Format::Jet4; break;
    case MDB_VER_ACCDB_2007: format_ = Format::Ace12; break;
    case MDB_VER_ACCDB_2010: format_ = Format::Ace14; break;
    case MDB_VER_ACCDB_2013: format_ = Format::Ace15; break;
    case MDB_VER_ACCDB_2016: format_ = Format::Ace16; break;
    default: format_ = Format::Ace17; break;
    }
    // An ACE file with a password is encrypted past its header: no readable catalogue.
    // A Jet file's password encrypts nothing, so there it can only be damage.
    if (!mdb_read_catalog(h_->mdb, MDB_ANY) || !h_->entry("MSysObjects")) {
        if (format_ == Format::Jet3 || format_ == Format::Jet4)
            raise(3343, "The file '" + path + "' cannot be read: it is damaged.", Source);
        raise(EncryptedFile,
              "The file '" + path + "' cannot be read: it is encrypted with a password or it is damaged.", Source);
    }
}

File::~File() = default;

std::vector<std::string> File::tableNames() const {
    std::vector<std::string> out;
    for (unsigned i = 0; i < h_->mdb->num_catalog; ++i) {
        auto* e = static_cast<MdbCatalogEntry*>(g_ptr_array_index(h_->mdb->catalog, i));
        unsigned flags = static_cast<unsigned>(e->flags);
        if (e->object_type != MDB_TABLE || (flags & (SystemFlags | HiddenFlag)) || e->object_name[0] == '~') continue;
        out.emplace_back(e->object_name);
    }
    return out;
}

bool File::hasTable(const std::string& name) const { return h_->entry(name) != nullptr; }

std::vector<Link> File::links() const {
    std::vector<Link> out;
    std::vector<std::string> linked;
    for (unsigned i = 0; i < h_->mdb->num_catalog; ++i) {
        auto* e = static_cast<MdbCatalogEntry*>(g_ptr_array_index(h_->mdb->catalog, i));
        if (e->object_type == MDB_LINKED_TABLE) linked.emplace_back(e->object_name);
    }
    if (linked.empty()) return out;
    auto objects = const_cast<File*>(this)->rows("MSysObjects");
    for (auto& r : objects) {
        Link l;
        for (auto& [k, v] : r) {
            if (k == "Name") l.name = v.s;
            if (k == "Database") l.database = v.s;
            if (k == "ForeignName") l.foreignName = v.s;
        }
        for (const auto& n : linked)
            if (n == l.name) out.push_back(l);
    }
    return out;
}

Table File::table(const std::string& name) {
    MdbCatalogEntry* e = h_->entry(name);
    if (!e) raise(3078, "The Microsoft Access database engine cannot find the input table or query '" + name + "'.", Source);
    MdbTableDef* t = mdb_read_table(e);
    if (!t) raise(3343, "The table '" + name + "' of '" + path_ + "' cannot be read: the file is damaged.", Source);
    Table out;
    out.name = name;
    mdb_read_columns(t);
    mdb_read_indices(t);
    out.rowCount = static_cast<long>(t->num_rows);
    if (e->props)
        for (unsigned i = 0; i < e->props->len; ++i) {
            auto* p = static_cast<MdbProperties*>(g_ptr_array_index(e->props, i));
            if (!p->name) copyProperties(p, out.properties);
        }
    const bool wide = format_ != Format::Jet3;
    // A file cut short leaves libmdb's lists shorter than their counts, or missing.
    if (!t->columns || t->columns->len < t->num_cols) {
        mdb_free_tabledef(t);
        raise(3343, "The table '" + name + "' of '" + path_ + "' cannot be read: the file is damaged.", Source);
    }
    for (unsigned c = 0; c < t->num_cols; ++c) {
        auto* col = static_cast<MdbColumn*>(g_ptr_array_index(t->columns, c));
        Column oc;
        oc.name = col->name;
        oc.type = col->col_type;
        oc.size = col->col_size;
        if (oc.type == jettype::Text && wide) oc.size /= 2;
        oc.precision = col->col_prec;
        oc.scale = col->col_scale;
        oc.autoNumber = col->is_long_auto != 0;
        oc.guidAuto = col->is_uuid_auto != 0;
        copyProperties(col->props, oc.properties);
        out.columns.push_back(std::move(oc));
    }
    const unsigned indexes = t->indices ? std::min<unsigned>(t->num_idxs, t->indices->len) : 0;
    for (unsigned x = 0; x < indexes; ++x) {
        auto* idx = static_cast<MdbIndex*>(g_ptr_array_index(t->indices, x));
        // Type 2 is the hidden index a relationship keeps on the other table.
        if (idx->index_type == 2) continue;
        Index oi;
        oi.name = idx->name;
        oi.primary = idx->index_type == 1;
        oi.unique = (idx->flags & MDB_IDX_UNIQUE) != 0 || oi.primary;
        oi.ignoreNulls = (idx->flags & MDB_IDX_IGNORENULLS) != 0;
        oi.required = (idx->flags & MDB_IDX_REQUIRED) != 0;
        for (unsigned k = 0; k < idx->num_keys; ++k) {
            int n = idx->key_col_num[k] - 1;
            if (n < 0 || n >= static_cast<int>(t->num_cols)) continue;
            oi.columns.emplace_back(static_cast<MdbColumn*>(g_ptr_array_index(t->columns, n))->name);
            oi.descending.push_back(idx->key_col_order[k] == MDB_DESC);
        }
        if (!oi.columns.empty()) out.indexes.push_back(std::move(oi));
    }
    mdb_free_tabledef(t);
    return out;
}

void File::scan(const std::string& name, const std::function<void(const std::vector<Cell>&)>& rowFn, bool longValues) {
    MdbCatalogEntry* e = h_->entry(name);
    if (!e) raise(3078, "The Microsoft Access database engine cannot find the input table or query '" + name + "'.", Source);
    MdbHandle* mdb = h_->mdb;
    MdbTableDef* t = mdb_read_table(e);
    if (!t) raise(3343, "The table '" + name + "' of '" + path_ + "' cannot be read: the file is damaged.", Source);
    struct Free {
        MdbTableDef* t;
        ~Free() { mdb_free_tabledef(t); }
    } guard{t};
    mdb_read_columns(t);
    if (!t->columns || t->columns->len < t->num_cols)
        raise(3343, "The table '" + name + "' of '" + path_ + "' cannot be read: the file is damaged.", Source);
    mdb_rewind_table(t);
    const unsigned n = t->num_cols;
    std::vector<MdbColumn*> cols(n);
    for (unsigned c = 0; c < n; ++c) cols[c] = static_cast<MdbColumn*>(g_ptr_array_index(t->columns, c));
    std::vector<Cell> row(n);
    std::vector<MdbField> fields(256 + n);
    std::vector<char> oleBuffer;
    if (t->num_rows == 0) return;
    t->cur_pg_num = 1;
    t->cur_row = 0;
    if (!mdb_read_next_dpg(t)) return;
    // libmdb's own table scan, but keeping each field's Null flag: its bound
    // values cannot tell an empty text from a Null.
    for (;;) {
        unsigned rows = static_cast<unsigned>(mdb_get_int16(mdb->pg_buf, mdb->fmt->row_count_offset));
        if (t->cur_row >= rows) {
            t->cur_row = 0;
            if (!mdb_read_next_dpg(t)) break;
            continue;
        }
        unsigned r = t->cur_row++;
        int start = 0;
        size_t size = 0;
        if (mdb_find_row(mdb, static_cast<int>(r), &start, &size)) continue;
        if (start & 0x4000) continue;  // deleted
        start &= 0x1fff;
        int got = mdb_crack_row(t, start, size, fields.data());
        if (got < 0) continue;
        // A row written before a column was added has no value for it.
        for (auto& cell : row) {
            cell.kind = Cell::Null;
            cell.s.clear();
        }
        for (unsigned c = 0; c < n && c < static_cast<unsigned>(got); ++c) {
            const MdbField& f = fields[c];
            MdbColumn* col = cols[static_cast<unsigned>(f.colnum) < n ? f.colnum : c];
            Cell& cell = row[static_cast<unsigned>(f.colnum) < n ? f.colnum : c];
            cell.kind = Cell::Null;
            cell.s.clear();
            const unsigned char* p = mdb->pg_buf + f.start;
            int type = col->col_type;
            if (type == MDB_BOOL) {
                cell.kind = Cell::Int;
                cell.i = f.is_null ? 0 : -1;
                continue;
            }
            if (f.is_null) continue;
            // A damaged row can point its fields outside the page; libmdb only warns.
            if (f.start < 0 || f.siz < 0 ||
                static_cast<size_t>(f.start) + static_cast<size_t>(f.siz) > static_cast<size_t>(mdb->fmt->pg_size))
                raise(3343, "The table '" + name + "' of '" + path_ + "' cannot be read: the file is damaged.", Source);
            switch (type) {
            case MDB_BYTE: cell.kind = Cell::Int; cell.i = p[0]; break;
            case MDB_INT: cell.kind = Cell::Int; cell.i = static_cast<int16_t>(mdb_get_int16(mdb->pg_buf, f.start)); break;
            case MDB_LONGINT:
                cell.kind = Cell::Int;
                cell.i = static_cast<int32_t>(mdb_get_int32(mdb->pg_buf, f.start));
                break;
            case jettype::BigInt: cell.kind = Cell::Int; cell.i = int64At(p); break;
            case MDB_MONEY: cell.kind = Cell::Int; cell.i = int64At(p); break;  // units of 1/10000
            case MDB_FLOAT: cell.kind = Cell::Real; cell.d = mdb_get_single(mdb->pg_buf, f.start); break;
            case MDB_DOUBLE: cell.kind = Cell::Real; cell.d = mdb_get_double(mdb->pg_buf, f.start); break;
            case MDB_DATETIME: cell.kind = Cell::Date; cell.d = mdb_get_double(mdb->pg_buf, f.start); break;
            case MDB_REPID:
                cell.kind = Cell::Blob;
                cell.s.assign(reinterpret_cast<const char*>(p), static_cast<size_t>(std::min(f.siz, 16)));
                break;
            case MDB_NUMERIC: {
                GText text(mdb_numeric_to_string(mdb, f.start, col->col_scale, col->col_prec));
                cell.kind = Cell::Text;
                cell.s = text ? text.get() : "";
                break;
            }
            case jettype::ExtDateTime:
                // "ddddddddddddddddddd:ttttttttttttttttttt..." as ASCII digits; kept as text.
                cell.kind = Cell::Text;
                cell.s.assign(reinterpret_cast<const char*>(p), static_cast<size_t>(f.siz));
                break;
            case MDB_TEXT:
            case MDB_MEMO: {
                cell.kind = Cell::Text;
                if (f.siz == 0) break;
                GText text(mdb_col_to_string(mdb, mdb->pg_buf, f.start, type, f.siz));
                if (text) cell.s = text.get();
                break;
            }
            case MDB_OLE: {
                cell.kind = Cell::Blob;
                if (!longValues || f.siz < 12) break;
                // libmdb reads the value through the column's bound buffer, which starts with the value's header.
                if (oleBuffer.empty()) oleBuffer.resize(1 << 21);
                std::memcpy(oleBuffer.data(), p, 12);
                col->cur_value_start = f.start;
                col->cur_value_len = f.siz;
                col->bind_ptr = oleBuffer.data();
                size_t len = 0;
                void* data = mdb_ole_read_full(mdb, col, &len);
                col->bind_ptr = nullptr;
                if (data) {
                    cell.s.assign(static_cast<const char*>(data), len);
                    std::free(data);
                }
                break;
            }
            case MDB_BINARY:
                cell.kind = Cell::Blob;
                cell.s.assign(reinterpret_cast<const char*>(p), static_cast<size_t>(f.siz));
                break;
            case MDB_COMPLEX:
                // The value is the key of the rows in a hidden table; not a value of its own.
                break;
            default:
                cell.kind = Cell::Blob;
                cell.s.assign(reinterpret_cast<const char*>(p), static_cast<size_t>(f.siz));
            }
        }
        rowFn(row);
    }
}

std::vector<std::vector<std::pair<std::string, Cell>>> File::rows(const std::string& name) {
    std::vector<std::vector<std::pair<std::string, Cell>>> out;
    if (!h_->entry(name)) return out;
    Table def = table(name);
    scan(
        name,
        [&](const std::vector<Cell>& r) {
            std::vector<std::pair<std::string, Cell>> named;
            for (size_t i = 0; i < r.size() && i < def.columns.size(); ++i) named.emplace_back(def.columns[i].name, r[i]);
            out.push_back(std::move(named));
        },
        false);
    return out;
}

}  // namespace dalvera::access
