#include "core/numbers.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "support/temp_dir.h"

namespace frontlys {
namespace {

TEST(Rounding, HalvesGoToEven)
{
    EXPECT_EQ(RoundHalfEven(2.5), 2);
    EXPECT_EQ(RoundHalfEven(3.5), 4);
    EXPECT_EQ(RoundHalfEven(-2.5), -2);
    EXPECT_EQ(RoundHalfEven(-3.5), -4);
    EXPECT_EQ(RoundHalfEven(2.5000001), 3);
    EXPECT_EQ(RoundHalfEven(0.49999999999999994), 0);
    EXPECT_EQ(RoundToInt(32767.5), 32768);
    EXPECT_EQ(RoundToInt(1e300), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(RoundToInt(-1e300), std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(RoundToInt(std::nan("")), 0);
}

TEST(Rounding, TruncAndFracGoTowardsZero)
{
    EXPECT_EQ(Trunc(-2.7), -2);
    EXPECT_EQ(Trunc(2.7), 2);
    EXPECT_DOUBLE_EQ(Frac(-2.75), -0.75);
    EXPECT_DOUBLE_EQ(Frac(2.75), 0.75);
}

TEST(Formats, FixedPatterns)
{
    ScopedDecimalSeparator sep('.');
    EXPECT_EQ(FormatFloat("0.0", 12.34), "12.3");
    EXPECT_EQ(FormatFloat("0.00", 12.345678), "12.35");
    EXPECT_EQ(FormatFloat("0.000", -0.0005001), "-0.001");
    EXPECT_EQ(FormatFloat("0.000", 1), "1.000");
    EXPECT_EQ(FormatFloat("0", 7.6), "8");
    EXPECT_EQ(FormatFloat("0.0", -0.04), "0.0");  // no sign on a zero
    EXPECT_EQ(FormatFloat("0.00", 123456789.0), "123456789.00");
    EXPECT_EQ(FormatFloat("0.0", std::nan("")), "NAN");
}

TEST(Formats, GeneralIsShortest)
{
    ScopedDecimalSeparator sep('.');
    EXPECT_EQ(FormatGeneral(555), "555");
    EXPECT_EQ(FormatGeneral(632.8), "632.8");
    EXPECT_EQ(FormatGeneral(0.1 + 0.2), "0.3");  // 15 significant digits hide the binary noise
    EXPECT_EQ(FormatGeneral(-1.5), "-1.5");
    EXPECT_EQ(FormatGeneral(0), "0");
    EXPECT_EQ(ParseNumber(FormatGeneral(1.0 / 3)).value(), 0.333333333333333);
}

TEST(Formats, SeparatorIsOurs)
{
    {
        ScopedDecimalSeparator sep(',');
        EXPECT_EQ(DecimalSeparator(), ',');
        EXPECT_EQ(FormatFloat("0.00", 1.5), "1,50");
        EXPECT_EQ(FormatGeneral(632.8), "632,8");
        {
            ScopedDecimalSeparator inner('.');
            EXPECT_EQ(FormatGeneral(632.8), "632.8");
        }
        EXPECT_EQ(DecimalSeparator(), ',');  // the guard restored what it found
    }
}

TEST(Parsing, EitherSeparator)
{
    for (char sep : {'.', ','}) {
        ScopedDecimalSeparator s(sep);
        EXPECT_EQ(ParseNumber("632.8"), 632.8);
        EXPECT_EQ(ParseNumber("632,8"), 632.8);
        EXPECT_EQ(ParseNumber(" -1,5e3 "), -1500);
        EXPECT_EQ(ParseNumber("+2"), 2);
    }
    for (const char* bad : {"", " ", "abc", "1.2.3", "1,2,3", "12x", "inf", "nan", "1e999", "--1", "0x10"})
        EXPECT_FALSE(ParseNumber(bad).has_value()) << bad;
    EXPECT_EQ(NumberOrZero("abc"), 0);
    EXPECT_EQ(NumberOrZero("2,25"), 2.25);
    EXPECT_EQ(NumberOrZero(""), 0);
}

TEST(Parsing, StrictIntegers)
{
    EXPECT_EQ(ParseInteger("42"), 42);
    EXPECT_EQ(ParseInteger("-7"), -7);
    EXPECT_EQ(ParseInteger("+7"), 7);
    EXPECT_EQ(ParseInteger("$1F"), 31);
    EXPECT_EQ(ParseInteger("9223372036854775807"), std::numeric_limits<std::int64_t>::max());
    for (const char* bad : {"", "-", "1.0", "1e3", "12a", "9223372036854775808", "0x1F", "1 2"})
        EXPECT_FALSE(ParseInteger(bad).has_value()) << bad;
}

// A French C locale, compiled into a temporary folder when the system has none.
bool SetFrenchCLocale(const TempDir& dir)
{
    for (const char* name : {"fr_FR.UTF-8", "fr_FR.utf8", "de_DE.UTF-8"})
        if (std::setlocale(LC_ALL, name)) return true;
    const std::string cmd =
        "localedef -i fr_FR -f UTF-8 '" + (dir.path() / "fr_FR.UTF-8").string() + "' >/dev/null 2>&1";
    if (std::system(cmd.c_str()) != 0) return false;
    ::setenv("LOCPATH", dir.path().c_str(), 1);
    return std::setlocale(LC_ALL, "fr_FR.UTF-8") != nullptr;
}

TEST(Numbers, IndependentOfTheCLocale)
{
    TempDir dir;
    if (!SetFrenchCLocale(dir)) GTEST_SKIP() << "no locale with a comma separator can be made here";
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f", 1.5);
    const std::string cFormatted = buf;
    ScopedDecimalSeparator sep('.');
    const std::string fixed = FormatFloat("0.00", 1.5);
    const std::string general = FormatGeneral(632.8);
    const auto parsed = ParseNumber("632.8");
    std::setlocale(LC_ALL, "C");
    ::unsetenv("LOCPATH");
    ASSERT_EQ(cFormatted, "1,5");  // the locale did take effect
    EXPECT_EQ(fixed, "1.50");
    EXPECT_EQ(general, "632.8");
    EXPECT_EQ(parsed, 632.8);
}

}  // namespace
}  // namespace frontlys
