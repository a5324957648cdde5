#include "cli/language.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <utility>

#include "analysis/english_messages.h"

namespace frontlys::cli {
namespace {

Lang g_lang = Lang::En;
bool g_quiet = false;

// Technical reasons, for a French run: the phrases our own modules and the system write.
constexpr std::pair<std::string_view, std::string_view> kFrenchReasons[] = {
    {"not a FITS file: the first card is not SIMPLE",
     "pas un fichier FITS : la première carte n'est pas SIMPLE"},
    {"not a FITS file: shorter than one 2880-byte header block",
     "pas un fichier FITS : plus court qu'un bloc d'en-tête de 2880 octets"},
    {"truncated header: no END card", "en-tête tronqué : pas de carte END"},
    {"truncated: the data end early, ", "tronqué : les données s'arrêtent trop tôt, "},
    {" bytes of ", " octets sur "},
    {"unsupported BITPIX = ", "BITPIX non pris en charge = "},
    {"read error in the data", "erreur de lecture des données"},
    {"read error in the header", "erreur de lecture de l'en-tête"},
    {"bad value for ", "valeur incorrecte pour "},
    {"no such file", "fichier inexistant"},
    {"not a regular file", "pas un fichier ordinaire"},
    {"no focal length (header or --focal)", "pas de distance focale (en-tête ou --focal)"},
    {"no diameter (header or --diameter)", "pas de diamètre (en-tête ou --diameter)"},
    {"no pixel size for the defocus (header or --pixel)",
     "pas de taille de pixel pour calculer la défocalisation (en-tête ou --pixel)"},
    {"the defocus must be positive", "la défocalisation doit être positive"},
    {"no pupil found in the ", "aucune pupille trouvée dans l'image "},
    {" pixels above the threshold", " pixels au-dessus du seuil"},
    {"Ctrl-C or a termination request", "Ctrl-C ou demande d'arrêt"},
    {"exists and is not a folder", "existe et n'est pas un dossier"},
    {" is not a folder", " n'est pas un dossier"},
    {"write: ", "écriture : "},
    {"opening: ", "ouverture : "},
    {"create temporary file: ", "création du fichier temporaire : "},
    {"File too large", "fichier trop grand"},
    {"No space left on device", "plus de place sur le disque"},
    {"Permission denied", "permission refusée"},
    {"No such file or directory", "fichier ou dossier inexistant"},
    {"prefs: ", "préférences : "},
    {"intra-focal image: ", "image intra-focale : "},
    {"extra-focal image: ", "image extra-focale : "},
    {"no component stands out of the noise", "rien ne sort du bruit"},
    {"no lit component", "aucune zone éclairée"},
    {"the brightest blob stands ", "la tache la plus brillante est à "},
    {" sigma above the noise", " sigma au-dessus du bruit"},
    {"the brightest blob has no rim (", "la tache la plus brillante n'a pas de bord net ("},
    {" % of its light just outside it): a glow of the sky, not a star",
     " % de sa lumière juste autour) : une lueur du ciel, pas une étoile"},
    {"the brightest blob is ", "la tache la plus brillante a un rayon de "},
    {" pixels in radius: a defect or noise, not a defocused star",
     " pixels : un défaut ou du bruit, pas une étoile défocalisée"},
    {"the two frames hold the same pixels", "les deux images ont les mêmes pixels"},
    {"frame too small or size mismatch", "image trop petite ou de taille incohérente"},
    {"no finite pixel on the border", "aucun pixel valide sur le bord"},
    {": no pair", " : aucune paire"},
    {": two file names expected", " : deux noms de fichier attendus"},
    {" has no effect with the analytic correction", " est sans effet avec la correction analytique"},
    {" has no effect with the numeric correction", " est sans effet avec la correction numérique"},
    {" rejected, default kept", " refusé, valeur par défaut gardée"},
};

bool FrenchLocale(const char* value) { return value && std::string_view(value).starts_with("fr"); }

}  // namespace

Lang LanguageFromLocale(const char* lcAll, const char* lcMessages, const char* lang)
{
    for (const char* v : {lcAll, lcMessages, lang})
        if (v && *v) return FrenchLocale(v) ? Lang::Fr : Lang::En;
    return Lang::En;
}

Lang LanguageFromEnvironment()
{
    return LanguageFromLocale(std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"), std::getenv("LANG"));
}

Lang CurrentLanguage() { return g_lang; }
void SetLanguage(Lang lang) { g_lang = lang; }
bool Quiet() { return g_quiet; }
void SetQuiet(bool quiet) { g_quiet = quiet; }

std::string Translated(std::string_view french)
{
    return g_lang == Lang::Fr ? std::string(french) : EnglishMessage(french);
}

std::string TranslatedReason(std::string_view english)
{
    std::string text(english);
    if (g_lang == Lang::En) return text;
    for (const auto& [en, fr] : kFrenchReasons)
        for (auto at = text.find(en); at != std::string::npos; at = text.find(en, at + fr.size()))
            text.replace(at, en.size(), fr);
    return text;
}

void Progress(std::string_view french)
{
    if (g_quiet) return;
    std::cerr << "frontlys-cli: " << Translated(french) << "...\n" << std::flush;
}

void PrintRefusal(std::ostream& err, std::string_view command, const Status& status)
{
    // The reader says "not found" for every refusal; a file that exists was found but not understood.
    const bool unreadable =
        status.code == StatusCode::BadFormat && status.message == "L'image est introuvable";
    const std::string message = Translated(unreadable ? "Image FITS illisible" : status.message);
    err << "frontlys-cli " << command << ": " << message;
    if (!status.reason.empty()) err << " (" << TranslatedReason(status.reason) << ")";
    err << "\n" << std::flush;
}

}  // namespace frontlys::cli
