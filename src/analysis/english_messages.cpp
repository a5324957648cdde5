#include "analysis/english_messages.h"

#include <utility>

namespace frontlys {
namespace {

// The messages and progress steps, French as the desktop program shows them.
constexpr std::pair<std::string_view, std::string_view> kEnglish[] = {
    {"L'image est introuvable", "image not found"},
    {"Image FITS illisible", "unreadable FITS image"},
    {"Les deux images n'ont pas les mêmes dimensions", "the two images do not have the same size"},
    {"Impossible de déterminer le seuil", "no pupil found: the threshold cannot be set"},
    {"Tous les paramètres n'ont pas été saisis.", "test parameters missing"},
    {"Vous devez saisir les parametres du test.", "test parameters missing"},
    {"Paramètres du test incomplets", "test parameters incomplete"},
    {"Paramètre invalide", "invalid option"},
    {"Fichier de préférences illisible", "unreadable preferences file"},
    {"Dossier de sortie impossible à créer", "cannot create the output folder"},
    {"Dossier de sortie inutilisable", "unusable output folder"},
    {"Écriture interrompue", "writing interrupted"},
    {"Aucune étoile défocalisée n'a été trouvée dans l'image", "no defocused star was found in the image"},
    {"La même image est donnée en intra et en extra-focale",
     "the same image is given as intra- and extra-focal"},
    {"Le signal contient des valeurs non numériques dans la pupille.",
     "the signal holds values that are not numbers inside the pupil"},
    {"Le signal doit être une image carrée dont le côté est une puissance de deux.",
     "the signal must be a square image whose side is a power of two"},
    {"Le nombre d'itérations doit être au moins 1.", "the number of iterations must be at least 1"},
    {"Les paramètres du test ne permettent pas de corriger les images.",
     "the test parameters do not allow the images to be corrected"},
    {"Les images et le front d'onde n'ont pas la même taille.",
     "the images and the wavefront do not have the same size"},
    {"Le front d'onde n'a pas la taille du signal.", "the wavefront does not have the size of the signal"},
    {"Facteur de redimensionnement incorrect.", "invalid resizing factor"},
    {"Calcul de l'interférogramme impossible.", "the interferogram cannot be computed"},
    {"Modèle trop grand pour l'affinage", "model too large for the refinement"},
    {"Modèle vide", "empty model"},
    {"Simulation trop grande : réduire la défocalisation ou l'aberration",
     "simulation too large: reduce the defocus or the aberration"},
    {"La défocalisation doit être positive : c'est la distance de chaque image au foyer.",
     "the defocus must be positive: it is the distance of each image from focus"},
    {"La défocalisation doit être plus courte que la distance focale.",
     "the defocus must be shorter than the focal length"},
    {"L'obstruction centrale doit être comprise entre 0 et 95 % du diamètre.",
     "the central obstruction must be 0 to 95 % of the diameter"},
    {"Image vide", "empty image"},
    {"Liste de paires illisible", "unreadable list of pairs"},
    // Texts of the windows that the lower layers hold: the coefficient list, the palettes.
    {"Ordres sup.", "Higher orders"},
    {"[nanomètre RMS]", "[nanometre RMS]"},
    {"Niveaux de gris", "Grey levels"},
    {"Fausses couleurs 1", "False colours 1"},
    {"Fausses couleurs 2", "False colours 2"},
    {"RVB", "RGB"},
    {"Corps noir", "Black body"},
    {"Monochrome", "Monochrome"},
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
    {"Lecture et nettoyage des images", "Reading and cleaning the images"},
    {"Lecture de l'image intrafocale", "Reading the intra-focal image"},
    {"Lecture de l'image extrafocale", "Reading the extra-focal image"},
    {"Vérification de la paire", "Checking the pair"},
    {"Découpe autour des donuts", "Cutting around the donuts"},
    {"Recherche des donuts", "Locating the donuts"},
    {"Co-centrage des pupilles", "Co-centring the pupils"},
    {"Calcul du signal", "Computing the signal"},
    {"Défocalisation du front d'onde", "Defocusing the wavefront"},
    {"Calcul de la PSF et de la PSF sans aberration", "Computing the PSF and the aberration-free PSF"},
    {"Plan d'inclinaison des franges", "Tilt plane of the fringes"},
    {"Calcul des franges", "Computing the fringes"},
    {"Tracé du réseau", "Drawing the grating"},
    {"Transport du réseau par le front d'onde", "Carrying the grating through the wavefront"},
    {"Synthèse du front d'onde", "Synthesising the wavefront"},
    {"Statistiques du front d'onde", "Statistics of the wavefront"},
};

// Messages that carry a name after a fixed French start.
constexpr std::pair<std::string_view, std::string_view> kEnglishPrefixes[] = {
    {"Erreur d'écriture du fichier ", "write error on file "},
    {"Paramètre de simulation incorrect : ", "invalid simulation parameter: "},
    {"Impossible de créer le dossier ", "cannot create the folder "},
};

// Messages that carry the text typed before a fixed French end.
constexpr std::pair<std::string_view, std::string_view> kEnglishSuffixes[] = {
    {" n'est pas une valeur numérique correcte.", " is not a valid number."},
};

}  // namespace

std::string EnglishMessage(std::string_view french)
{
    for (const auto& [fr, en] : kEnglish)
        if (fr == french) return std::string(en);
    for (const auto& [fr, en] : kEnglishPrefixes)
        if (french.starts_with(fr)) return std::string(en) + std::string(french.substr(fr.size()));
    for (const auto& [fr, en] : kEnglishSuffixes)
        if (french.ends_with(fr))
            return std::string(french.substr(0, french.size() - fr.size())) + std::string(en);
    return std::string(french);
}

}  // namespace frontlys
