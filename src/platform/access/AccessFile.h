#pragma once
// A real MS Access file (Jet 3, Jet 4 and ACE formats), read through libmdb:
// its tables with their columns, properties and indexes, its rows with the
// values as stored, and the system tables that hold relations and queries.
// Only the storage layer of libmdb is used; rows are decoded here.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace dalvera::access {

// The engine's own number: an ACE file that is encrypted (it has a password) or damaged.
constexpr long EncryptedFile = 3900;

enum class Format { Jet3, Jet4, Ace12, Ace14, Ace15, Ace16, Ace17 };
const char* formatName(Format f);

// Jet's own column type codes as the file stores them.
namespace jettype {
constexpr int Boolean = 1, Byte = 2, Integer = 3, Long = 4, Currency = 5, Single = 6, Double = 7, DateTime = 8,
              Binary = 9, Text = 10, OLE = 11, Memo = 12, GUID = 15, Numeric = 16, Complex = 18, BigInt = 19,
              ExtDateTime = 20;
}

struct Property {
    std::string name, value;
};

struct Column {
    std::string name;
    int type = 0;
    int size = 0;  // characters for text, bytes otherwise
    int precision = 0, scale = 0;
    bool autoNumber = false, guidAuto = false;
    std::vector<Property> properties;
    const std::string* property(const std::string& name) const;
};

struct Index {
    std::string name;
    bool primary = false, unique = false, ignoreNulls = false, required = false;
    std::vector<std::string> columns;
    std::vector<bool> descending;
};

struct Table {
    std::string name;
    std::vector<Column> columns;
    std::vector<Index> indexes;
    std::vector<Property> properties;
    long rowCount = 0;
    const std::string* property(const std::string& name) const;
};

// A table linked from another file: where its rows live.
struct Link {
    std::string name, database, foreignName;
};

// One value as stored, before it gets the engine's storage form.
struct Cell {
    enum Kind : uint8_t { Null, Int, Real, Date, Text, Blob };
    Kind kind = Null;
    int64_t i = 0;
    double d = 0;
    std::string s;  // text (UTF-8) or bytes
};

class File {
public:
    // Raises 3024 (missing), 3343 (not a Jet/ACE file or damaged) and
    // EncryptedFile for an ACE file whose catalogue cannot be read.
    explicit File(const std::string& path);
    ~File();
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    Format format() const { return format_; }
    const std::string& path() const { return path_; }
    // User tables in catalogue order (no system, hidden or temporary ones).
    std::vector<std::string> tableNames() const;
    std::vector<Link> links() const;
    bool hasTable(const std::string& name) const;
    Table table(const std::string& name);
    // Every row of a table, system ones too, in storage order. The row vector
    // is reused between calls. Without longValues, OLE objects are left empty.
    void scan(const std::string& name, const std::function<void(const std::vector<Cell>&)>& row,
              bool longValues = true);
    // Rows of a system table by column name, without their OLE objects.
    std::vector<std::vector<std::pair<std::string, Cell>>> rows(const std::string& name);

private:
    struct Handle;
    std::string path_;
    Format format_ = Format::Jet4;
    std::unique_ptr<Handle> h_;
};

}  // namespace dalvera::access
