#pragma once
// ADO objects over ODBC (unixODBC), for databases on a server: the same
// connections, record sets and commands the engine's files give, reached
// through the server's own driver.
#include <atomic>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "host/Ado.h"

namespace dalvera::odbc {

std::shared_ptr<host::ado::AdoProvider> adoProvider();

// On, results are read cell by cell as the driver converts them, instead of
// in bound blocks; both ways must give the same values (tests compare them).
std::atomic<bool>& rowByRow();

// The servers whose dialect and catalogue this layer knows.
enum class Server { Other, PostgreSQL, SqlServer };
Server serverOf(const std::string& dbmsName);

// One argument of a stored routine as the server's catalogue lists it.
struct RoutineArgument {
    std::string name;      // without a leading "@"
    std::string type;      // the server's type name (PostgreSQL casts with it)
    int direction = host::ado::direction::Input;
};

struct Routine {
    std::string schema, name;
    bool isProcedure = true;  // PostgreSQL: CALL; a function is selected from
    std::vector<RoutineArgument> arguments;
};

// A parameter the command was given: its name and whether a value goes in.
struct GivenParameter {
    std::string name;
    int direction = host::ado::direction::Input;
};

// The statement that runs a routine with the given parameters, in "?" order
// (the returned indexes say which given parameter each "?" binds). Arguments
// not given are left to their defaults.
struct CallText {
    std::string sql;
    std::vector<size_t> markers;  // index into the given parameters, per "?"
};
CallText postgresCall(const Routine& routine, const std::vector<GivenParameter>& given);
CallText sqlServerCall(const Routine& routine, const std::vector<GivenParameter>& given);

// A routine name as typed: "`name`", "[dbo].[name]", "public.name".
void splitRoutineName(const std::string& text, std::string& schema, std::string& name);

// Text between UTF-8 and the driver manager's 16-bit characters.
std::u16string toUtf16(std::string_view text);
std::string fromUtf16(const char16_t* text, size_t length);

}  // namespace dalvera::odbc
