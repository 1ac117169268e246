#include <gtest/gtest.h>

#include "platform/jet/sql/JetSql.h"
#include "runtime/DateSerial.h"

using namespace dalvera;

TEST(JetStorage, DateRoundTrip) {
    double s = dateSerial(2024, 1, 31, 13, 5, 0);
    EXPECT_EQ(jet::dateToStorage(s), "2024-01-31 13:05:00");
    double back = 0;
    ASSERT_TRUE(jet::storageToDate("2024-01-31 13:05:00", back));
    EXPECT_NEAR(back, s, 1e-9);
    ASSERT_TRUE(jet::storageToDate("2024-01-31", back));
    EXPECT_EQ(jet::dateToStorage(back), "2024-01-31 00:00:00");
    EXPECT_FALSE(jet::storageToDate("1/31/2024", back));
    EXPECT_FALSE(jet::storageToDate("hello", back));
}
