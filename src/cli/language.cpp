#include "cli/language.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <utility>

namespace frontlys::cli {
namespace {

Lang g_lang = Lang::En;
bool g_quiet = false;

// The program's messages and progress steps, French as the desktop program shows them.
constexpr std::pair<std::string_view, std::string_view> kEnglish[] = {
    {"L'image est introuvable", "image not found"},
    {"Image FITS illisible", "unreadable FITS image"},
    {"Les deux images n'ont pas les mêmes dimensions", "the two images do not have the same size"},
    {"Impossible de déterminer le seuil", "no pupil found: the threshold cannot be set"},
    {"Tous les paramètres n'ont pas été saisis.", "test parameters missing"},
    {"Vous devez saisir les parametres du test.", "test parameters missing"},
    {"Paramètre invalide", "invalid option"},
    {"Fichier de préférences illisible", "unreadable preferences file"},
    {"Dossier de sortie impossible à créer", "cannot create the output folder"},
    {"Dossier de sortie inutilisable", "unusable output folder"},
    {"Écriture interrompue", "writing interrupted"},
    {"Le signal contient des valeurs non numériques dans la pupille.",
     "the signal holds values that are not numbers inside the pupil"},
    {"Les paramètres du test ne permettent pas de corriger les images.",
     "the test parameters do not allow the images to be corrected"},
    {"Les images et le front d'onde n'ont pas la même taille.",
     "the images and the wavefront do not have the same size"},
    {"Image vide", "empty image"},
    {"Ouverture des images", "Opening the images"},
    {"Extraction des pupilles", "Extracting the pupils"},
    {"Signal", "Signal"},
    {"Reconstruction du front d'onde", "Reconstructing the wavefront"},
    {"Ajustement des polynômes de Zernike", "Fitting the Zernike polynomials"},
    {"Affinage par modèle direct", "Forward-model refinement"},
    {"PSF", "PSF"},
    {"Interférogramme et Ronchigramme", "Interferogram and Ronchigram"},
    {"Écriture des résultats", "Writing the results"},
    {"Simulation des images", "Simulating the images"},
    {"Dessin des images", "Drawing the pictures"},
};

// Messages that carry a name after a fixed French start.
constexpr std::pair<std::string_view, std::string_view> kEnglishPrefixes[] = {
    {"Erreur d'écriture du fichier ", "write error on file "},
    {"Paramètre de simulation incorrect : ", "invalid simulation parameter: "},
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
    if (g_lang == Lang::Fr) return std::string(french);
    for (const auto& [fr, en] : kEnglish)
        if (fr == french) return std::string(en);
    for (const auto& [fr, en] : kEnglishPrefixes)
        if (french.starts_with(fr)) return std::string(en) + std::string(french.substr(fr.size()));
    return std::string(french);
}

void Progress(std::string_view french)
{
    if (g_quiet) return;
    std::cerr << "frontlys-cli: " << Translated(french) << "...\n" << std::flush;
}

void PrintRefusal(std::ostream& err, std::string_view command, const Status& status)
{
    // The reader says "not found" for every refusal; a file that exists was found but not understood.
    const bool unreadable = status.code == StatusCode::BadFormat && status.message == "L'image est introuvable";
    const std::string message = Translated(unreadable ? "Image FITS illisible" : status.message);
    err << "frontlys-cli " << command << ": " << message;
    if (!status.reason.empty()) err << " (" << status.reason << ")";
    err << "\n" << std::flush;
}

}  // namespace frontlys::cli
