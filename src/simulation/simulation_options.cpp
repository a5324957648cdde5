#include "simulation/simulation_options.h"

#include <charconv>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

namespace frontlys {
namespace {

Status Refuse(std::string_view option, std::string_view text, std::string why)
{
    return Status::Fail(StatusCode::BadFormat,
                        "Paramètre de simulation incorrect : " + std::string(option),
                        "'" + std::string(text) + "': " + why);
}

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

std::optional<double> Number(std::string_view s)
{
    s = Trim(s);
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    double value = 0;
    auto res = std::from_chars(s.data(), s.data() + s.size(), value);
    if (s.empty() || res.ec != std::errc() || res.ptr != s.data() + s.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::vector<std::string_view> Split(std::string_view s, char separator)
{
    std::vector<std::string_view> parts;
    for (;;) {
        const auto at = s.find(separator);
        parts.push_back(s.substr(0, at));
        if (at == std::string_view::npos) return parts;
        s.remove_prefix(at + 1);
    }
}

Result<std::pair<double, double>> ParsePair(std::string_view option, std::string_view text, char separator)
{
    const auto parts = Split(text, separator);
    if (parts.size() != 2)
        return Refuse(option, text, std::string("expected two numbers joined by ") + separator);
    const auto a = Number(parts[0]);
    const auto b = Number(parts[1]);
    if (!a || !b) return Refuse(option, text, "not a number");
    return std::pair<double, double>{*a, *b};
}

}  // namespace

Result<ZernikeTerms> ParseZernikeList(std::string_view text)
{
    ZernikeTerms terms{};
    if (Trim(text).empty()) return terms;
    for (auto item : Split(text, ',')) {
        const auto parts = Split(item, '=');
        if (parts.size() != 2) return Refuse("--zernike", item, "expected K=NM");
        const auto k = Number(parts[0]);
        const auto nm = Number(parts[1]);
        if (!k || *k != std::floor(*k) || *k < 1 || *k > kSimTerms)
            return Refuse("--zernike", item, "the term number must be 1 to 28");
        if (!nm) return Refuse("--zernike", item, "the RMS value is not a number");
        terms[static_cast<std::size_t>(*k) - 1] = *nm;
    }
    return terms;
}

Result<std::pair<double, double>> ParseBand(std::string_view text)
{
    auto band = ParsePair("--band", text, ':');
    if (!band.ok()) return band;
    const auto [lo, hi] = band.value();
    if (!(lo > 0 && hi > lo)) return Refuse("--band", text, "expected 0 < NM1 < NM2");
    return band;
}

Result<std::pair<double, double>> ParseOffset(std::string_view text)
{
    return ParsePair("--offset", text, ',');
}

}  // namespace frontlys
