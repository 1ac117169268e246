// How a stored routine is called on each server; no server needed.
#include <gtest/gtest.h>

#include "platform/odbc/Odbc.h"

namespace dalvera {
namespace {

namespace ado = host::ado;
using odbc::GivenParameter;
using odbc::Routine;

Routine totalRoutine(bool procedure) {
    Routine r;
    r.schema = "sales";
    r.name = "order total";
    r.isProcedure = procedure;
    r.arguments = {{"year", "smallint", ado::direction::Input},
                   {"no", "integer", ado::direction::Input},
                   {"total", "numeric", ado::direction::Output}};
    return r;
}

TEST(CallText, PostgresNamesArgumentsCastsThemAndLeavesSkippedOnesToTheirDefault) {
    // Given out of order and without "no": the markers follow the call, not the given order.
    auto call = odbc::postgresCall(totalRoutine(true), {{"total", ado::direction::Output}, {"@year", ado::direction::Input}});
    EXPECT_EQ(call.sql, "CALL \"sales\".\"order total\"(\"year\" => ?::smallint, \"total\" => NULL::numeric)");
    EXPECT_EQ(call.markers, (std::vector<size_t>{1}));
    // A function's output arguments are its result columns, not arguments.
    call = odbc::postgresCall(totalRoutine(false), {{"no", ado::direction::Input}, {"year", ado::direction::Input}});
    EXPECT_EQ(call.sql, "SELECT * FROM \"sales\".\"order total\"(\"year\" => ?::smallint, \"no\" => ?::integer)");
    EXPECT_EQ(call.markers, (std::vector<size_t>{1, 0}));
}

TEST(CallText, SqlServerCallsPositionallyWithEmptyPlacesAndAReturnValue) {
    Routine r = totalRoutine(true);
    r.schema = "dbo";
    r.name = "Order]Total";
    auto call = odbc::sqlServerCall(r, {{"@RETURN_VALUE", ado::direction::ReturnValue},
                                        {"@no", ado::direction::Input},
                                        {"@total", ado::direction::InputOutput}});
    EXPECT_EQ(call.sql, "{? = call [dbo].[Order]]Total](,?,?)}");
    EXPECT_EQ(call.markers, (std::vector<size_t>{0, 1, 2}));
    // Trailing skipped arguments are left out altogether; none given needs no parentheses.
    call = odbc::sqlServerCall(r, {{"year", ado::direction::Input}});
    EXPECT_EQ(call.sql, "{call [dbo].[Order]]Total](?)}");
    call = odbc::sqlServerCall(r, {});
    EXPECT_EQ(call.sql, "{call [dbo].[Order]]Total]}");
}

TEST(CallText, RoutineNamesAreSplitIntoSchemaAndName) {
    std::string schema, name;
    odbc::splitRoutineName("`order_total`", schema, name);
    EXPECT_EQ(schema + "|" + name, "|order_total");
    odbc::splitRoutineName("[dbo].[Sales.Report]", schema, name);
    EXPECT_EQ(schema + "|" + name, "dbo|Sales.Report");
    odbc::splitRoutineName("\"my.schema\".\"p\"", schema, name);
    EXPECT_EQ(schema + "|" + name, "my.schema|p");
    odbc::splitRoutineName("`archive.purge`", schema, name);
    EXPECT_EQ(schema + "|" + name, "archive|purge");
}

TEST(CallText, Utf16RoundTripsEveryPlane) {
    const std::string text = "Zoë € 𝄞 end";
    const std::u16string wide = odbc::toUtf16(text);
    EXPECT_EQ(wide.size(), 12u);  // the clef is a surrogate pair
    EXPECT_EQ(odbc::fromUtf16(wide.data(), wide.size()), text);
}

}  // namespace
}  // namespace dalvera
