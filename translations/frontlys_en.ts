<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="fr">
<context>
    <name>TFormSaisieZern</name>
    <message>
        <source> Tilt (cos)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> Tilt (sin)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> Defocus </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> Astigmatisme (cos) </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> Astigmatisme (sin) </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Coma (cos) </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Coma (sin) </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Trefoil (cos) </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Trefoil (sin) </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> Sphéricité </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Astigmat. sec. (cos)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Astigmat. sec. (sin)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tetrafoil (cos)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tetrafoil (sin)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Coma sec. (cos)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Coma sec. (sin)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Trefoil sec. (cos)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Trefoil sec. (sin) </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Pentafoil (cos) </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> Pentafoil (sin) </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> Sphéricité sec.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Tmess</name>
    <message>
        <source>L&apos;image est introuvable</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>L&apos;image extrafocale est introuvable</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Saisir tous les paramètres obligatoires</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>L&apos;image n&apos;a pas les dimensions correctes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>L&apos;image extrafocale n&apos;a pas les dimensions correctes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Calculer d&apos;abord le front d&apos;onde</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Les deux images n&apos;ont pas les mêmes dimensions</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Impossible de déterminer le seuil</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>frontlys::ui::TFormAide</name>
    <message>
        <source>Aide de Frontlys</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Sommaire</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Page précédente</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Page suivante</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&lt;h3&gt;Page d&apos;aide introuvable&lt;/h3&gt;&lt;p&gt;%1&lt;/p&gt;</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>frontlys::ui::TFormImage</name>
    <message>
        <source>Image</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Seuil à cette valeur</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Enregistrer pixel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Mesures</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Extraire la plage</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Voir la région utile</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Recadrer</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Imprimer</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ctrl+P</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Enregistrer l&apos;image</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ctrl+S</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Sauver l&apos;image en cours</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Fichiers bitmap (*.BMP)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Images PNG (*.png)</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>frontlys::ui::TFormInfos</name>
    <message>
        <source>I =</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>S =</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>W=</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> nm</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Intra</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Extra</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Signal</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Front d&apos;onde</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Front résiduel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>PSF</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Interférogramme</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ronchigramme</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Masquer les aberrations</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Afficher les aberrations</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>r =</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>X =</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Informations</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Valeurs</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Résultats</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Affichage</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Options</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Seuil Auto</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Dim. (pix)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Effectif (pix)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rayon</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Obstruction</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>(pixels)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>(réduites)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>(millimètres)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Coord. rect.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Coord. pol.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Y =</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>θ =</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>I = </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Nanomètres</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Seuil</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Valeur du seuil</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Taille affichée</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Mesure de pupille affichée</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Unité des coordonnées</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Système de coordonnées</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Unité de la valeur</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Centre X</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Centre Y</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Centre</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Curseur</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ecarts sur l&apos;onde</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>PTV</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>RMS</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rapport de Strehl</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Masque visible</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Echelle visible</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Famille</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Zoom</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Palette</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Interférogramme / Ronchigramme</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Zero</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Angle à zéro</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Angle (deg) :</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Pas (deg) :</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Franges :</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Réelle</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Théorique</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Linéaire</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Log</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>PSF calculée</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Échelle de la PSF</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Défocus prédéfini</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Taille :</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Défocus (nm RMS) :</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Aberrations du front affiché</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Coefficients (nm RMS)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tout sélectionner</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ctrl+A</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tout désélectionner</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ctrl+D</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Inverser la sélection</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ctrl+I</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Sélectionner cette aberration</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Activer/désactiver tilt et focus</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Aide sur cette aberration</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Enregistrer les coefficients</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ctrl+S</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>frontlys::ui::TFormOrvane</name>
    <message>
        <source>Frontlys 2.2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Fichier</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Nouveau test</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ctrl+N</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ouvrir l&apos;image &amp;intrafocale</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ouvrir l&apos;image &amp;extrafocale</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Ouvrir les images</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ctrl+O</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Imprimer l&apos;image en cours</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ctrl+P</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Enregistrer l&apos;image en cours</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ctrl+S</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Enregistrer les coefficients</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Exporter le front vers Quorvex</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Préférences</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Quitter</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ctrl+Q</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Images</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Extraire les plages</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cocentrer les plages</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Redimensionner</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Recadrer</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Corriger les images</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Saisie</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Paramètres du test</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Paramètres des simulations</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Calcul</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Signal</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Front d&apos;onde</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Ajuster le front d&apos;onde</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>PSF</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Interférogramme</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ronchigramme</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Simuler les plages</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Simuler le signal (Laplacien)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Simuler le front d&apos;onde</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Intégrer le signal</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Script par défaut</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Script en cours</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Affichage</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Afficher Intra</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Afficher Extra</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Afficher Signal</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Afficher Front d&apos;onde</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Afficher Front résiduel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Afficher Interférogramme</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Afficher Ronchigramme</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Afficher PSF</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Afficher les informations</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Afficher Script</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Superposer par famille</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Juxtaposer</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>A&amp;ide</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Documentation</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>A propos...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Outils</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Zoom</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Zoom avant</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Zoom arrière</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Intra [%1]</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Extra [%1]</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Signal</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Front d&apos;onde</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Front résiduel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ouvrir l&apos;image intrafocale</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Images Fits (*.fit *.fits)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ouvrir l&apos;image extrafocale</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Front simulé</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Fichiers texte (*.txt)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Exporter le Front vers Quorvex</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Fichiers texte Optical Path Difference (*.OPD)</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>frontlys::ui::TFormParam</name>
    <message>
        <source>%1, intra</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1, extra</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Paramètres du test</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Paramètres supplémentaires</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>OK</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Annuler</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Distance en millimètres</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Diamètre de l&apos;obstruction en % du diamètre de l&apos;instrument ; vide ou 0 : mesurée sur les images</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Calculer</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Calculer les distances intra et extra</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Diamètre (mm) : </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Distance focale (mm) :</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Obstruction centrale (%) :</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Taille pixels CCD (um):</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Binning acquisition :</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Binning logiciel :</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rayon image intra (pix) :</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rayon image extra (pix) :</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Défocalisation (mm) :</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Instrument</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Acquisition</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Géométrie</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Intra</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Extra</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Date (aaaa-mm-jj) :</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Heure début :</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Temps de pose (s) :</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Température (°C) :</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Alpha :</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Delta :</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Seeing :</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Champs de l&apos;en-tête</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Valeurs de l&apos;en-tête</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Observateur :</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Observatoire :</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Instrument :</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Camera :</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Filtre :</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Commentaire 1 :</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Commentaire 2 :</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Commentaire 3 :</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Commentaire 4 :</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>frontlys::ui::TFormSaisieZern</name>
    <message>
        <source>Paramètres de simulation</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>OK</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Z%1 %2 (nm RMS)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Z%1 %2 simulé</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Z%1 %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>RAZ</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Importer test</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tous</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Annuler</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Coefficients de Zernike (nm RMS) </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Dimension des images :</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rayon :</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Obstruction centrale :</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Niveau Min :</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Niveau Max :</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Images</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>frontlys::ui::TPrefs</name>
    <message>
        <source>&apos;%1&apos; n&apos;est pas une valeur numérique correcte.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Préférences</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Affichage</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Algorithmes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Constantes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ajustement</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Fichiers</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>OK</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Annuler</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Aide</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Défaut</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>1. Images et signal :</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>2. Front d&apos;onde :</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>3. PSF :</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>4. Interférogramme :</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>max</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>min</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Optimiser la mémoire lors de l&apos;affichage des images </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Celle du système</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Langue des fenêtres (au prochain démarrage) :</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> Palettes </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Langue</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Analytique</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Numérique</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Correction des images :</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Nombre maximal d&apos;itérations :</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Condition d&apos;arrêt : RMS Front &lt;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>nm</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Nombre maximal de passes :</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Recherche fine du seuil. Nombre de valeurs :</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Recherche fine du seuil : nombre de valeurs</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Extraire les plages et calculer le signal à l&apos;ouverture des images</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Dimension des images réduites pour la recherche du seuil (pix.) :</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Position du seuil (% de la hauteur) :</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> Korvel </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> Extraction des plages </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Longueur d&apos;onde de référence :</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Longueur d&apos;onde interférométrique :</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Coefficients de normalisation : </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Valeurs d&apos;alerte :</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Editer</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Longueurs d&apos;onde</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Coefficients de Zernike</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ajuster le front après reconstruction</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Nombre de polynômes ajustés :</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Polynômes de Zernike</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Images :</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Documentation :</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Préferences :</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Parcourir : %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Répertoires</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Correction analytique : les passes s&apos;arrêtent quand le front varie de moins que « RMS Front », au plus « Nombre maximal de passes ». Le nombre d&apos;itérations ne sert qu&apos;à la correction numérique.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Correction numérique : « Nombre maximal d&apos;itérations » passes de correction des images. La condition d&apos;arrêt et le nombre de passes ne servent qu&apos;à la correction analytique.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Choisir un dossier images</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Choix du fichier d&apos;accueil de l&apos;aide</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Fichiers html (*.htm *.html)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Choisir un dossier préferences</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>frontlys::ui::Tapropos</name>
    <message>
        <source>A propos de Frontlys</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Version %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Mesure de la qualité optique d&apos;un télescope à partir de deux images défocalisées d&apos;une étoile (analyse de courbure du front d&apos;onde).</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>frontlys::ui::Tmess</name>
    <message>
        <source>Message</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Fermer</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
