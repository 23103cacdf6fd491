// Strict whole-number conversion of untrusted text.
#include "platform/StrToInt.h"

#include <gtest/gtest.h>

using platform::EConvertError;
using platform::StrToInt;

TEST(StrToInt, AcceptsPlainDecimalNumbers) {
    EXPECT_EQ(StrToInt("0"), 0);
    EXPECT_EQ(StrToInt("7772"), 7772);
    EXPECT_EQ(StrToInt("-15"), -15);
    EXPECT_EQ(StrToInt("2147483647"), 2147483647);
    EXPECT_EQ(StrToInt("-2147483648"), -2147483647 - 1);
}

TEST(StrToInt, RejectsEverythingElseWithTheConversionText) {
    for (const char* text :
         {"", " 1", "1 ", "7x", "x7", "1.5", "0x10", "2147483648", "-2147483649", "--1", "+"})
        EXPECT_THROW(StrToInt(QString::fromLatin1(text)), EConvertError) << text;
    try {
        StrToInt("7x");
        ADD_FAILURE() << "no exception";
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'7x' is not a valid integer value");
    }
}
