#pragma once
// Passwords and accounts. Only salted, slow hash verifiers are stored: the
// database password controls who may open the file, it does not encrypt it.
#include <string>
#include <vector>

namespace dalvera::jet {

class Session;

std::string hashPassword(const std::string& password);
bool verifyPassword(const std::string& verifier, const std::string& password);

// The database password: set (non-empty) or clear (empty). The session must be
// open with the current password, so only someone who knows it can change it.
void setDatabasePassword(Session& session, const std::string& newPassword);
bool hasDatabasePassword(Session& session);
// Marks the database as secured for these workgroup accounts (empty: unsecured).
// Needs a workgroup logon: the database is bound to that workgroup file, so an
// account of the same name in another workgroup file does not open it.
void setSecuredAccounts(Session& session, const std::vector<std::string>& accounts);
std::vector<std::string> securedAccounts(Session& session);

// Workgroup files: creates the file or adds (or re-keys) an account.
void addWorkgroupAccount(const std::string& systemDb, const std::string& user, const std::string& password);
// Raises 3028 for a missing or unusable workgroup file, 3029 for a bad account
// or password; returns the workgroup file's identity.
std::string authenticate(const std::string& systemDb, const std::string& user, const std::string& password);

}  // namespace dalvera::jet
