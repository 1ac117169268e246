#include "data/clsDS.h"

#include "app/clsAux.h"
#include "host/Platform.h"
#include "host/Progress.h"
#include "runtime/DateSerial.h"
#include "runtime/Text.h"
#include "text/modGlobalization.h"

namespace dalvera {

namespace ado = host::ado;

void raiseDatabaseError(const Error& e) {
    // A cancelled load is the person's choice, told as such, not a database fault.
    if (e.number() == host::LoadCancelled) throw e;
    CurrentErrorScope current(e);
    throw Error(err::Database, GetMessage(1), e.source());
}

int16_t clsDS::FileFailureMessage(long engineNumber) {
    switch (engineNumber) {
    case 3024:
    case 3044: return 226;  // missing file or folder
    case 3045:
    case 3050:
    case 3218:
    case 3260:
    case 3261:
    case 3262: return 227;  // locked by someone else
    case 3027:
    case 3051: return 228;  // read-only or no permission
    case 3343: return 229;  // not a database (any more)
    default: return 0;
    }
}

namespace {
// A statement the file itself refused (read-only, locked) is told in the person's words.
[[noreturn]] void raiseStatementError(const Error& e, const std::shared_ptr<ado::Connection>& connection, IDS& source) {
    if (e.number() == ado::ProviderError && connection)
        if (const int16_t message = clsDS::FileFailureMessage(connection->NativeError()))
            raise(err::Exclamation, GetMessage(message, Variant(source.Connector())), e.source());
    raiseDatabaseError(e);
}
}  // namespace

clsDS::~clsDS() {
    tableNames_.Clear();
    queryNames_.Clear();
    ClearQueries();
}

int clsDS::GetDataTypeGroup(int32_t lTypeADO) {
    switch (lTypeADO) {
    case 11: return 0;
    case 2: case 3: case 4: case 5: case 6: case 14: case 16: case 17: case 18: case 19: case 20: case 21: case 131:
        return 1;
    case 7: case 64: case 133: case 134: case 135: return 2;
    default: return 3;
    }
}

bool clsDS::IsConnectionOpen() {
    if (!Connection) return false;
    if (Connection->State() == ado::state::Open) return true;
    CloseAdoConnection();
    return false;
}

void clsDS::CloseAdoConnection() {
    if (!Connection) return;
    if (Connection->State() != ado::state::Closed) Connection->Close();
    Connection.reset();
}

void clsDS::CloseDaoDatabase(std::shared_ptr<host::dao::Database>& database) {
    if (!database) return;
    database->Close();
    database.reset();
}

std::shared_ptr<ado::Recordset> clsDS::OpenRecordset(IDS& source, const std::string& sSQL, bool CloseConnection) {
    if (!IsConnectionOpen()) source.ConnectADO();  // its messages are the person's already
    try {
        auto recordset = Connection->Execute(sSQL);
        if (CloseConnection) {
            recordset->ActiveConnection(nullptr);
            CloseAdoConnection();
        }
        return recordset;
    } catch (const Error& e) {
        if (e.number() == err::Database) throw;
        raiseStatementError(e, Connection, source);
    }
}

int32_t clsDS::ExecuteStatement(IDS& source, const std::string& sSQL) {
    if (!IsConnectionOpen()) source.ConnectADO();  // its messages are the person's already
    try {
        long affected = 0;
        auto result = Connection->Execute(sSQL, affected);
        if (result && result->State() != ado::state::Closed) result->Close();
        return static_cast<int32_t>(affected);
    } catch (const Error& e) {
        raiseStatementError(e, Connection, source);
    }
}

void clsDS::CloseRecordsetObject(std::shared_ptr<ado::Recordset>& recordset) {
    if (!recordset) return;
    if (recordset->State() != ado::state::Closed) recordset->Close();
    recordset.reset();
}

std::shared_ptr<ado::Command> clsDS::NewCommand() {
    auto command = host::adoProvider().NewCommand();
    command->ActiveConnection(Connection);
    return command;
}

void clsDS::AddPromptedParameter(ado::Command& command, const clsParameter& parameter, int dbKind) {
    try {
        int32_t direction = parameter.Direction();
        if (direction != ado::direction::Input && direction != ado::direction::InputOutput) return;
        int group = GetDataTypeGroup(parameter.ParameterType());
        std::string prompt = std::string(direction == ado::direction::Input ? "Input" : "Input/Output") +
                             " parameter: " + parameter.Name() + "\r";
        std::string skipHint = dbKind == 1 ? "\r\r" + GetMessage(54) : std::string();
        int inputType = 2;
        switch (group) {
        case 0: prompt += GetMessage(55); inputType = 4; break;
        case 1: prompt += GetMessage(109) + skipHint; inputType = 1; break;
        case 2: prompt += GetMessage(112) + skipHint; break;
        default: prompt += GetMessage(114) + skipHint; break;
        }
        std::string answer;
        Variant value;
        for (std::string ask = prompt;;) {
            Variant reply = host::ui().ApplicationInputBox(ask, GetProductName(), Variant::missing(), inputType);
            // Only a real Cancel cancels: the box gives False for it, while a typed
            // "false" is that text. For a Boolean parameter False is a value.
            if (group != 0 && reply.isBoolean() && !reply.toBool()) {
                if (dbKind == 0) raise(err::Cancelled, "", "clsDS");
                return;
            }
            answer = reply.isBoolean() ? (reply.toBool() ? "True" : "False") : reply.text();
            value = Variant(answer);
            if (group != 2) break;
            // A date as the person's dates are written (day first but where the month
            // comes first), ISO always; what reads as no date is asked for again.
            double serial = 0;
            if (parseDateEntry(trimBlanks(answer), GetCountryCode() != 1, serial)) {
                value = Variant::date(serial);
                break;
            }
            ask = prompt + "\r\r" + GetMessage(112);
        }
        auto created = command.CreateParameter(parameter.Name(), parameter.ParameterType(), direction,
                                               static_cast<long>(answer.size()), Variant::longValue(0));
        command.Parameters().Append(created);
        command.Parameters().Item(parameter.Name())->Value(value);
    } catch (const Error& e) {
        if (e.number() == err::Cancelled) throw;
        raiseDatabaseError(e);
    }
}

}  // namespace dalvera
