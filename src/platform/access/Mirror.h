#pragma once
// An MS Access file as a database of the engine: its tables, rows, field
// properties, indexes, relations and saved queries written to an engine
// (SQLite) database, so that DAO and ADO read it as they read their own files.
#include <chrono>
#include <string>
#include <vector>

namespace dalvera::access {

// What could not be carried over; the rest of the file still is.
struct Notice {
    enum Kind { Attachment, MultiValued, LinkMissing, DamagedTable, DamagedQuery, DroppedRelation, Calculated };
    Kind kind;
    std::string object, detail;  // table or query; the field, or the linked file
};

struct MirrorReport {
    long tables = 0, rows = 0, queries = 0;
    std::vector<Notice> notices;
};

// Writes the engine database at out, which must not exist (3204). It is
// written under a temporary name and renamed when complete, so a failure
// never leaves a half-written database behind.
// With durable, the file is on disk before it gets its name.
// The file is read in a child process: one that stops saying it is still
// going for the stall limit, or crashes, raises DamagedFile and leaves nothing.
MirrorReport writeEngineDatabase(const std::string& accessPath, const std::string& out, bool durable = true);

// Jet's "unrecognized database format or damaged" number.
constexpr long DamagedFile = 3049;
// How long the reader may go without progress before the file counts as damaged.
void setStallLimit(std::chrono::milliseconds limit);

// The read-only mirror of an Access file in the temporary folder, built on
// first use and again when the file changes; removed when the program ends.
std::string mirrorFor(const std::string& accessPath);
// Removes the mirrors, whole or half-written, that processes no longer running
// left in the temporary folder; done once on the first mirrorFor.
void removeStaleMirrors();
// The notices of the last mirror of that file (empty when none was built).
std::vector<Notice> mirrorNotices(const std::string& accessPath);

}  // namespace dalvera::access
