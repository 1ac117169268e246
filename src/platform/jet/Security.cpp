#include "platform/jet/Security.h"

#include <sodium.h>
#include <sqlite3.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>

#include "platform/jet/Session.h"
#include "runtime/Error.h"
#include "runtime/Text.h"

namespace dalvera::jet {

namespace {

void initSodium() {
    static const int ok = sodium_init();
    if (ok < 0) raise(3000, "The password library could not be initialised.", "DAO.DBEngine");
}

// Verifying costs a deliberately slow hash; a password already verified against
// a verifier in this process is remembered as its fast digest, never as text.
std::mutex cacheMutex;
std::map<std::string, std::string> verifiedCache;

std::string digest(const std::string& verifier, const std::string& password) {
    unsigned char out[32];
    crypto_generichash(out, sizeof out, reinterpret_cast<const unsigned char*>(password.data()), password.size(),
                       reinterpret_cast<const unsigned char*>(verifier.data()),
                       std::min<size_t>(verifier.size(), crypto_generichash_KEYBYTES_MAX));
    return std::string(reinterpret_cast<char*>(out), sizeof out);
}

[[noreturn]] void badWorkgroup(const std::string& path) {
    raise(3028,
          "Cannot start your application. The workgroup information file '" + path +
              "' is missing or is not a workgroup file.",
          "DAO.DBEngine");
}

}  // namespace

std::string hashPassword(const std::string& password) {
    initSodium();
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(out, password.data(), password.size(), crypto_pwhash_OPSLIMIT_INTERACTIVE,
                          crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0)
        raise(3035, "System resource exceeded while hashing the password.", "DAO.DBEngine");
    return out;
}

bool verifyPassword(const std::string& verifier, const std::string& password) {
    initSodium();
    std::string d = digest(verifier, password);
    {
        std::lock_guard<std::mutex> g(cacheMutex);
        auto it = verifiedCache.find(verifier);
        if (it != verifiedCache.end() && sodium_memcmp(it->second.data(), d.data(), d.size()) == 0) return true;
    }
    if (crypto_pwhash_str_verify(verifier.c_str(), password.data(), password.size()) != 0) return false;
    std::lock_guard<std::mutex> g(cacheMutex);
    verifiedCache[verifier] = d;
    return true;
}

void setDatabasePassword(Session& s, const std::string& newPassword) {
    s.ensureMetadata();
    if (newPassword.empty()) {
        s.exec(std::string("DELETE FROM ") + AccessTable + " WHERE item='password'");
    } else {
        s.exec(std::string("INSERT OR REPLACE INTO ") + AccessTable + "(item, value) VALUES ('password', ?)",
               {Variant(hashPassword(newPassword))});
    }
}

bool hasDatabasePassword(Session& s) {
    if (!s.tableExists(AccessTable)) return false;
    return !s.scalar(std::string("SELECT value FROM ") + AccessTable + " WHERE item='password'").text().empty();
}

void setSecuredAccounts(Session& s, const std::vector<std::string>& accounts) {
    if (!accounts.empty() && !s.logon().workgroup)
        raise(3033, "Securing the database '" + s.path() + "' needs a workgroup logon.", "DAO.Database");
    s.ensureMetadata();
    s.exec("BEGIN IMMEDIATE");
    try {
        s.exec(std::string("DELETE FROM ") + AccountsTable);
        s.exec(std::string("INSERT OR REPLACE INTO ") + AccessTable + "(item, value) VALUES ('workgroup', ?)",
               {Variant(accounts.empty() ? std::string() : s.logon().workgroupId)});
        for (const auto& a : accounts)
            s.exec(std::string("INSERT OR IGNORE INTO ") + AccountsTable + "(name) VALUES (?)", {Variant(a)});
        s.exec("COMMIT");
    } catch (...) {
        sqlite3_exec(s.db(), "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

std::vector<std::string> securedAccounts(Session& s) {
    std::vector<std::string> out;
    if (!s.tableExists(AccountsTable)) return out;
    sqlite3_stmt* st = nullptr;
    std::string sql = std::string("SELECT name FROM ") + AccountsTable + " ORDER BY name";
    if (sqlite3_prepare_v2(s.db(), sql.c_str(), -1, &st, nullptr) != SQLITE_OK) s.fail(sqlite3_errcode(s.db()));
    while (sqlite3_step(st) == SQLITE_ROW) out.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
    sqlite3_finalize(st);
    return out;
}

void addWorkgroupAccount(const std::string& systemDb, const std::string& user, const std::string& password) {
    if (trimBlanks(user).empty()) raise(3029, "Not a valid account name or password.", "DAO.DBEngine");
    std::shared_ptr<Session> s;
    if (probeFile(systemDb) == FileKind::Missing) {
        s = Session::create(systemDb);
    } else {
        s = Session::open(systemDb, false, {}, {});
        // Only a file that is a workgroup file, or an empty database, takes accounts.
        if (!s->tableExists(UsersTable) &&
            s->scalar("SELECT count(*) FROM sqlite_master").toLongLong() > 0)
            badWorkgroup(systemDb);
    }
    s->exec(std::string("CREATE TABLE IF NOT EXISTS ") + UsersTable +
            " (name TEXT PRIMARY KEY COLLATE NOCASE, verifier TEXT NOT NULL)");
    if (!s->tableExists(WorkgroupTable)) {
        // A random identity, so that a database secured for this file knows it again.
        unsigned char id[16];
        randombytes_buf(id, sizeof id);
        char hex[33];
        sodium_bin2hex(hex, sizeof hex, id, sizeof id);
        s->exec(std::string("CREATE TABLE ") + WorkgroupTable + " (id TEXT NOT NULL)");
        s->exec(std::string("INSERT INTO ") + WorkgroupTable + " (id) VALUES (?)", {Variant(std::string(hex))});
    }
    s->exec(std::string("INSERT OR REPLACE INTO ") + UsersTable + "(name, verifier) VALUES (?, ?)",
            {Variant(trimBlanks(user)), Variant(hashPassword(password))});
}

std::string authenticate(const std::string& systemDb, const std::string& user, const std::string& password) {
    initSodium();
    FileKind k = probeFile(systemDb);
    if (k != FileKind::SQLite) badWorkgroup(systemDb);
    std::string verifier, id;
    {
        std::shared_ptr<Session> s;
        try {
            s = Session::open(systemDb, true, {}, {});
        } catch (const Error&) {
            badWorkgroup(systemDb);
        }
        if (!s->tableExists(UsersTable) || !s->tableExists(WorkgroupTable)) badWorkgroup(systemDb);
        id = s->scalar(std::string("SELECT id FROM ") + WorkgroupTable).text();
        verifier = s->scalar(std::string("SELECT verifier FROM ") + UsersTable + " WHERE name = ?",
                             {Variant(trimBlanks(user))})
                       .text();
    }
    if (verifier.empty() || !verifyPassword(verifier, password))
        raise(3029, "Not a valid account name or password.", "DAO.DBEngine");
    return id;
}

}  // namespace dalvera::jet
