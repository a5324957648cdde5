#pragma once
// Rounding, number formats and the process-wide decimal separator. Nothing here reads the C
// locale: formatting goes through std::to_chars and then puts in our own separator.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace frontlys {

// Nearest integer, halves to even (2.5 -> 2, 3.5 -> 4, -2.5 -> -2).
double RoundHalfEven(double value);
// Round half to even, as an integer; values beyond the range of int64 saturate, NaN gives 0.
std::int64_t RoundToInt(double value);
double Trunc(double value);  // towards zero
double Frac(double value);   // value - Trunc(value), same sign as value

// The separator that formatting writes and that ParseNumber converts to. The program's start sets
// it from the user's locale; the result-file writers set it as their format requires.
char DecimalSeparator();
void SetDecimalSeparator(char separator);

// Fixed patterns "0", "0.0", "0.00", "0.000" ...: the number of zeros after the point gives the
// decimals; rounding is to the nearest, on the exact binary value.
std::string FormatFloat(std::string_view pattern, double value);
// Fixed with the given number of decimals.
std::string FormatFixed(double value, int decimals);
// Shortest general form with up to 15 significant digits: 555 -> "555", 632.8 -> "632.8".
std::string FormatGeneral(double value);

// A number written with "." or "," as separator; surrounding blanks allowed, nothing else.
std::optional<double> ParseNumber(std::string_view text);
double NumberOrZero(std::string_view text);
// Strict integer: optional sign and digits only (a leading "$" hexadecimal form is also accepted).
std::optional<std::int64_t> ParseInteger(std::string_view text);

// Restores the separator it found when it goes out of scope.
class ScopedDecimalSeparator {
public:
    explicit ScopedDecimalSeparator(char separator) : m_saved(DecimalSeparator())
    {
        SetDecimalSeparator(separator);
    }
    ~ScopedDecimalSeparator() { SetDecimalSeparator(m_saved); }
    ScopedDecimalSeparator(const ScopedDecimalSeparator&) = delete;
    ScopedDecimalSeparator& operator=(const ScopedDecimalSeparator&) = delete;

private:
    char m_saved;
};

}  // namespace frontlys
