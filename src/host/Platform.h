#pragma once
// The services the wiring code installs before the engine starts: how to reach
// the running spreadsheet application, the settings store, the shell, the file
// system and the person. The engine reaches the outside only through these.
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "host/Ado.h"
#include "host/Dao.h"
#include "host/Excel.h"
#include "host/Registry.h"
#include "host/Shell.h"
#include "host/UserInterface.h"

namespace dalvera::host {

struct Platform {
    // The running spreadsheet application; nullptr when there is none.
    std::function<ApplicationPtr()> runningApplication;
    // Creates and releases an object of an automation class; raises error 429
    // when the class is not installed.
    std::function<void(const std::string& progId)> createObject;
    Registry* registry = nullptr;
    Shell* shell = nullptr;
    FileSystem* fileSystem = nullptr;
    UserInterface* ui = nullptr;
    // The database engine: DAO engines and ADO objects.
    std::shared_ptr<dao::DaoProvider> dao;
    std::shared_ptr<ado::AdoProvider> ado;
    // ADO objects for server databases (ODBC drivers); nullptr when not installed.
    std::shared_ptr<ado::AdoProvider> serverAdo;
};

// The installed services; raises 668 for a service that was never installed.
Platform& platform();
void installPlatform(Platform p);

Registry& registry();
Shell& shell();
FileSystem& fileSystem();
UserInterface& ui();

// Facts about this system for the information dialog, as (key, value) pairs:
// the shell's own (os, kernel, cpu, cpus, memory) and those that the front end
// and the platform's libraries register (qt, sqlite). Keys, not captions: the
// engine names them in the person's language.
using SystemFacts = std::vector<std::pair<std::string, std::string>>;
// Registers or replaces one fact; an empty value removes it.
void registerSystemFact(const std::string& key, const std::string& value);
// The shell's facts followed by the registered ones; raises what the shell raises.
SystemFacts systemFacts();

// The database engine's objects; error 429 (no such component) when the
// platform has no database engine, as a missing installation would answer.
inline dao::DaoProvider& daoProvider() {
    if (!platform().dao) raise(429, "ActiveX component can't create object", "DAO.DBEngine");
    return *platform().dao;
}
inline ado::AdoProvider& adoProvider() {
    if (!platform().ado) raise(429, "ActiveX component can't create object", "ADODB.Connection");
    return *platform().ado;
}

inline ado::AdoProvider& serverAdoProvider() {
    if (!platform().serverAdo) raise(429, "ActiveX component can't create object", "ADODB.Connection");
    return *platform().serverAdo;
}

}  // namespace dalvera::host
