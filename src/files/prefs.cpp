#include "files/prefs.h"

#include <cmath>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

#include "core/atomic_write.h"
#include "core/numbers.h"

namespace frontlys {
namespace {

bool AnyByte(std::uint8_t) { return true; }
bool Palette(std::uint8_t v) { return v <= 5; }
bool PsfFactor(std::uint8_t v) { return v == 1 || v == 2 || v == 4 || v == 8; }
bool Flag(std::uint8_t v) { return v <= 1; }
bool Passes(std::uint8_t v) { return v >= 1 && v <= 20; }  // the dialog's range
bool ReducedSide(std::uint8_t v) { return v == 8 || v == 16 || v == 32 || v == 64; }
bool Percent(std::uint8_t v) { return v <= 100; }
bool ZernikeCount(std::uint8_t v) { return v <= 28; }
bool Wavelength(double v) { return std::isfinite(v) && v > 0; }  // also the stop value, nm
bool PassCap(std::uint8_t v) { return v >= 1 && v <= 100; }
bool Language(std::uint8_t v) { return v <= 2; }

// One key of the file, in the order of the file: exactly one of the two fields is set.
struct PrefsKey {
    std::string_view name;
    std::uint8_t Tpreferences::*byteField;
    bool (*byteValid)(std::uint8_t);
    double Tpreferences::*realField;
};

using P = Tpreferences;
const PrefsKey kKeys[] = {
    {"PltSignal", &P::PltSignal, Palette, nullptr},
    {"PltFront", &P::PltFront, Palette, nullptr},
    {"PltPSF", &P::PltPSF, Palette, nullptr},
    {"PltInterfero", &P::PltInterfero, Palette, nullptr},
    {"FactMultDiff", &P::FactMultDiff, PsfFactor, nullptr},
    {"MasqueActif", &P::MasqueActif, Flag, nullptr},
    {"MemOptim", &P::MemOptim, AnyByte, nullptr},
    {"NIter", &P::NIter, Passes, nullptr},
    {"ExtractDim", &P::ExtractDim, ReducedSide, nullptr},
    {"ExtractSeuil", &P::ExtractSeuil, Percent, nullptr},
    {"ExtractAuto", &P::ExtractAuto, Flag, nullptr},
    {"LambdaRef", nullptr, nullptr, &P::LambdaRef},
    {"LambdaInterfero", nullptr, nullptr, &P::LambdaInterfero},
    {"AjustAuto", &P::AjustAuto, Flag, nullptr},
    {"NPolyZern", &P::NPolyZern, ZernikeCount, nullptr},
    // After the first fifteen keys, so that an older file simply lacks them (defaults kept).
    {"CorrectionAnalytique", &P::CorrectionAnalytique, Flag, nullptr},
    {"ArretRMSFront", nullptr, nullptr, &P::ArretRMSFront},
    {"NPassesMax", &P::NPassesMax, PassCap, nullptr},
    {"Langue", &P::Langue, Language, nullptr},
    {"Threads", &P::Threads, AnyByte, nullptr},
    {"DefocusImpose", &P::DefocusImpose, Flag, nullptr},
};

const PrefsKey* FindKey(std::string_view name)
{
    for (const PrefsKey& k : kKeys)
        if (k.name == name) return &k;
    return nullptr;
}

// Lines as a text list splits them: at CR LF, LF or CR; a last line needs no end.
std::vector<std::string_view> SplitLines(std::string_view text)
{
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n') continue;
        lines.push_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

std::string_view NameOf(std::string_view line)
{
    const auto eq = line.find('=');
    return eq == std::string_view::npos ? std::string_view{} : line.substr(0, eq);
}

// Converts and stores one value; false when it does not convert.
bool StoreValue(const PrefsKey& k,
                std::string_view value,
                Tpreferences& prefs,
                std::vector<std::string>* rejected)
{
    bool valid = true;
    if (k.realField) {
        const auto v = ParseNumber(value);
        if (!v) return false;
        valid = Wavelength(*v);
        if (valid) prefs.*k.realField = *v;
    } else {
        const auto v = ParseInteger(value);
        if (!v) return false;
        // Out of a byte is out of range: keeping the low 8 bits would turn NIter=257 into 1.
        valid = *v >= 0 && *v <= 255 && k.byteValid(static_cast<std::uint8_t>(*v));
        if (valid) prefs.*k.byteField = static_cast<std::uint8_t>(*v);
    }
    if (!valid && rejected) rejected->emplace_back(k.name);
    return true;
}

std::string* SectionText(std::string_view line, Tpreferences& prefs)
{
    if (line == "[Aide]") return &prefs.Aide;
    if (line == "[Images]") return &prefs.Images;
    if (line == "[Preferences]") return &prefs.Preferences;
    return nullptr;
}

bool HasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

}  // namespace

std::filesystem::path PrefsFilePath(const Tpreferences& prefs)
{
    return std::filesystem::path(prefs.Preferences) / "prefs.txt";
}

Status ParsePrefsText(std::string_view text, Tpreferences& prefs, std::vector<std::string>* rejected)
{
    const auto lines = SplitLines(text);
    // The first line of a name gives the value of every line with that name.
    std::map<std::string_view, std::string_view> first;
    for (std::string_view line : lines) {
        const auto name = NameOf(line);
        if (!name.empty()) first.try_emplace(name, line.substr(name.size() + 1));
    }
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const auto name = NameOf(lines[i]);
        if (const PrefsKey* k = name.empty() ? nullptr : FindKey(name)) {
            const std::string_view value = first.at(name);
            if (!StoreValue(*k, value, prefs, rejected))
                return Status::Fail(StatusCode::BadFormat, {}, std::string(name) + "=" + std::string(value));
        }
        if (std::string* section = SectionText(lines[i], prefs); section && i + 1 < lines.size())
            *section = std::string(lines[i + 1]);
    }
    return Status::Ok();
}

Status ReadPrefs(Tpreferences& prefs, std::vector<std::string>* rejected)
{
    const auto path = PrefsFilePath(prefs);
    std::ifstream in(path, std::ios::binary);
    if (!in) return Status::Fail(StatusCode::NotFound, {}, path.string() + ": cannot be opened");
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return Status::Fail(StatusCode::IoError, {}, path.string() + ": read error");
    return ParsePrefsText(text, prefs, rejected);
}

std::string FormatPrefsText(const Tpreferences& prefs)
{
    std::string out;
    for (const PrefsKey& k : kKeys) {
        out += k.name;
        out += '=';
        out += k.realField ? FormatGeneral(prefs.*k.realField) : std::to_string(prefs.*k.byteField);
        out += "\r\n";
    }
    out += "[Aide]\r\n" + prefs.Aide + "\r\n";
    out += "[Images]\r\n" + prefs.Images + "\r\n";
    out += "[Preferences]\r\n" + prefs.Preferences + "\r\n";
    return out;
}

Status WritePrefs(const Tpreferences& prefs)
{
    const auto path = PrefsFilePath(prefs);
    // A line break inside a text would shift every line after it at the next start.
    if (HasLineBreak(prefs.Aide) || HasLineBreak(prefs.Images) || HasLineBreak(prefs.Preferences))
        return Status::Fail(StatusCode::BadFormat,
                            "Erreur d'écriture du fichier " + path.string(),
                            "a folder or file name holds a line break");
    return WriteFileAtomically(path, FormatPrefsText(prefs));
}

}  // namespace frontlys
