#include "core/numbers.h"

#include <atomic>
#include <charconv>
#include <cmath>
#include <limits>

namespace frontlys {
namespace {

std::atomic<char> g_separator{'.'};

std::string_view TrimBlanks(std::string_view s)
{
    while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ') s.remove_prefix(1);
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.remove_suffix(1);
    return s;
}

std::string WithSeparator(std::string text)
{
    const char sep = DecimalSeparator();
    for (char& ch : text)
        if (ch == '.') ch = sep;
    return text;
}

}  // namespace

double RoundHalfEven(double value) { return std::nearbyint(value); }  // default mode: to nearest even

std::int64_t RoundToInt(double value)
{
    if (std::isnan(value)) return 0;
    const double r = RoundHalfEven(value);
    if (r >= 9.2233720368547758e18) return std::numeric_limits<std::int64_t>::max();
    if (r <= -9.2233720368547758e18) return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(r);
}

double Trunc(double value) { return std::trunc(value); }
double Frac(double value) { return value - std::trunc(value); }

char DecimalSeparator() { return g_separator.load(); }
void SetDecimalSeparator(char separator) { g_separator.store(separator); }

std::string FormatFixed(double value, int decimals)
{
    if (!std::isfinite(value)) return std::isnan(value) ? "NAN" : (value > 0 ? "INF" : "-INF");
    char buf[400];
    auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
    std::string text(buf, res.ptr);
    // "-0.0" reads as a sign on nothing: show it as zero.
    if (text.front() == '-' && text.find_first_not_of("-0.") == std::string::npos) text.erase(0, 1);
    return WithSeparator(std::move(text));
}

std::string FormatFloat(std::string_view pattern, double value)
{
    const auto point = pattern.find('.');
    const int decimals = point == std::string_view::npos ? 0 : static_cast<int>(pattern.size() - point - 1);
    return FormatFixed(value, decimals);
}

std::string FormatGeneral(double value)
{
    if (!std::isfinite(value)) return std::isnan(value) ? "NAN" : (value > 0 ? "INF" : "-INF");
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 15);
    return WithSeparator(std::string(buf, res.ptr));
}

std::optional<double> ParseNumber(std::string_view text)
{
    std::string s(TrimBlanks(text));
    if (s.empty()) return std::nullopt;
    for (char& ch : s)
        if (ch == ',') ch = '.';
    const char* first = s.data();
    if (*first == '+') ++first;
    double value = 0;
    auto res = std::from_chars(first, s.data() + s.size(), value);
    if (res.ec != std::errc() || res.ptr != s.data() + s.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

double NumberOrZero(std::string_view text) { return ParseNumber(text).value_or(0.0); }

std::optional<std::int64_t> ParseInteger(std::string_view text)
{
    std::string_view s = TrimBlanks(text);
    bool negative = false;
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    int base = 10;
    if (!s.empty() && s.front() == '$') {
        base = 16;
        s.remove_prefix(1);
    }
    if (s.empty()) return std::nullopt;
    std::uint64_t magnitude = 0;
    auto res = std::from_chars(s.data(), s.data() + s.size(), magnitude, base);
    if (res.ec != std::errc() || res.ptr != s.data() + s.size()) return std::nullopt;
    if (magnitude > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) return std::nullopt;
    const auto v = static_cast<std::int64_t>(magnitude);
    return negative ? -v : v;
}

}  // namespace frontlys
