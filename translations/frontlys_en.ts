<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="fr">
<context>
    <name>Tmess</name>
    <message>
        <source>L&apos;image est introuvable</source>
        <translation>The image cannot be found</translation>
    </message>
    <message>
        <source>L&apos;image extrafocale est introuvable</source>
        <translation>The extra-focal image cannot be found</translation>
    </message>
    <message>
        <source>Saisir tous les paramètres obligatoires</source>
        <translation>Enter every required parameter</translation>
    </message>
    <message>
        <source>L&apos;image n&apos;a pas les dimensions correctes</source>
        <translation>The image does not have the right size</translation>
    </message>
    <message>
        <source>L&apos;image extrafocale n&apos;a pas les dimensions correctes</source>
        <translation>The extra-focal image does not have the right size</translation>
    </message>
    <message>
        <source>Calculer d&apos;abord le front d&apos;onde</source>
        <translation>Compute the wavefront first</translation>
    </message>
    <message>
        <source>Les deux images n&apos;ont pas les mêmes dimensions</source>
        <translation>The two images do not have the same size</translation>
    </message>
    <message>
        <source>Impossible de déterminer le seuil</source>
        <translation>The threshold cannot be determined</translation>
    </message>
</context>
<context>
    <name>TransferPlots</name>
    <message>
        <source>mesurée</source>
        <translation>measured</translation>
    </message>
    <message>
        <source>limite de diffraction (même pupille)</source>
        <translation>diffraction limit (same pupil)</translation>
    </message>
    <message>
        <source>FTM radiale, Strehl </source>
        <translation>Radial MTF, Strehl </translation>
    </message>
    <message>
        <source>fréquence au foyer (cycles/mm), coupure </source>
        <translation>frequency at focus (cycles/mm), cutoff </translation>
    </message>
    <message>
        <source>fréquence / coupure</source>
        <translation>frequency / cutoff</translation>
    </message>
    <message>
        <source>FTM</source>
        <translation>MTF</translation>
    </message>
    <message>
        <source>Énergie encerclée, 80 % dans </source>
        <translation>Encircled energy, 80 % within </translation>
    </message>
    <message>
        <source>rayon au foyer (um)</source>
        <translation>radius at focus (um)</translation>
    </message>
    <message>
        <source>rayon (lambda/D)</source>
        <translation>radius (lambda/D)</translation>
    </message>
    <message>
        <source>énergie encerclée</source>
        <translation>encircled energy</translation>
    </message>
</context>
<context>
    <name>WindowReport</name>
    <message>
        <source>Fichiers</source>
        <translation>Files</translation>
    </message>
    <message>
        <source>Date (DATE-OBS)</source>
        <translation>Date (DATE-OBS)</translation>
    </message>
    <message>
        <source>Instrument</source>
        <translation>Telescope</translation>
    </message>
    <message>
        <source>Diamètre, focale</source>
        <translation>Diameter, focal length</translation>
    </message>
    <message>
        <source>Défocalisation</source>
        <translation>Defocus</translation>
    </message>
    <message>
        <source>Longueur d&apos;onde</source>
        <translation>Wavelength</translation>
    </message>
    <message>
        <source>Obstruction</source>
        <translation>Obstruction</translation>
    </message>
    <message>
        <source>Termes</source>
        <translation>Terms</translation>
    </message>
    <message>
        <source>front d&apos;onde (nm)</source>
        <translation>wavefront (nm)</translation>
    </message>
    <message>
        <source>PSF</source>
        <translation>PSF</translation>
    </message>
    <message>
        <source>interférogramme</source>
        <translation>interferogram</translation>
    </message>
    <message>
        <source>image intra-focale</source>
        <translation>intra-focal image</translation>
    </message>
    <message>
        <source>FTM</source>
        <translation>MTF</translation>
    </message>
    <message>
        <source>énergie encerclée</source>
        <translation>encircled energy</translation>
    </message>
    <message>
        <source>%1 vers %2° (côté brillant), newtonien supposé</source>
        <translation>%1 towards %2° (bright side), Newtonian assumed</translation>
    </message>
    <message>
        <source>Coefficients de Zernike (nm RMS)</source>
        <translation>Zernike coefficients (nm RMS)</translation>
    </message>
    <message>
        <source>Avertissements</source>
        <translation>Warnings</translation>
    </message>
    <message>
        <source>Rapport de test : </source>
        <translation>Test report: </translation>
    </message>
</context>
<context>
    <name>frontlys::ui::TFormAide</name>
    <message>
        <source>Aide de Frontlys</source>
        <translation>Frontlys help</translation>
    </message>
    <message>
        <source>Sommaire</source>
        <translation>Contents</translation>
    </message>
    <message>
        <source>Page précédente</source>
        <translation>Previous page</translation>
    </message>
    <message>
        <source>Page suivante</source>
        <translation>Next page</translation>
    </message>
    <message>
        <source>&lt;h3&gt;Page d&apos;aide introuvable&lt;/h3&gt;&lt;p&gt;%1&lt;/p&gt;</source>
        <translation>&lt;h3&gt;Help page not found&lt;/h3&gt;&lt;p&gt;%1&lt;/p&gt;</translation>
    </message>
</context>
<context>
    <name>frontlys::ui::TFormImage</name>
    <message>
        <source>Image</source>
        <translation>Image</translation>
    </message>
    <message>
        <source>Seuil à cette valeur</source>
        <translation>Threshold at this value</translation>
    </message>
    <message>
        <source>Enregistrer pixel</source>
        <translation>Record pixel</translation>
    </message>
    <message>
        <source>Mesures</source>
        <translation>Measurements</translation>
    </message>
    <message>
        <source>Extraire la plage</source>
        <translation>Extract the pupil</translation>
    </message>
    <message>
        <source>Voir la région utile</source>
        <translation>Show the useful region</translation>
    </message>
    <message>
        <source>Recadrer</source>
        <translation>Crop</translation>
    </message>
    <message>
        <source>Imprimer</source>
        <translation>Print</translation>
    </message>
    <message>
        <source>Ctrl+P</source>
        <translation>Ctrl+P</translation>
    </message>
    <message>
        <source>Enregistrer l&apos;image</source>
        <translation>Save the image</translation>
    </message>
    <message>
        <source>Ctrl+S</source>
        <translation>Ctrl+S</translation>
    </message>
    <message>
        <source>Sauver l&apos;image en cours</source>
        <translation>Save the current image</translation>
    </message>
    <message>
        <source>Fichiers bitmap (*.BMP)</source>
        <translation>Bitmap files (*.BMP)</translation>
    </message>
    <message>
        <source>Images PNG (*.png)</source>
        <translation>PNG images (*.png)</translation>
    </message>
    <message>
        <source>Ajuster</source>
        <translation>Fit</translation>
    </message>
</context>
<context>
    <name>frontlys::ui::TFormInfos</name>
    <message>
        <source>I =</source>
        <translation>I =</translation>
    </message>
    <message>
        <source>S =</source>
        <translation>S =</translation>
    </message>
    <message>
        <source>W=</source>
        <translation>W=</translation>
    </message>
    <message>
        <source> nm</source>
        <translation> nm</translation>
    </message>
    <message>
        <source>Intra</source>
        <translation>Intra</translation>
    </message>
    <message>
        <source>Extra</source>
        <translation>Extra</translation>
    </message>
    <message>
        <source>Signal</source>
        <translation>Signal</translation>
    </message>
    <message>
        <source>Front d&apos;onde</source>
        <translation>Wavefront</translation>
    </message>
    <message>
        <source>Front résiduel</source>
        <translation>Residual wavefront</translation>
    </message>
    <message>
        <source>PSF</source>
        <translation>PSF</translation>
    </message>
    <message>
        <source>Interférogramme</source>
        <translation>Interferogram</translation>
    </message>
    <message>
        <source>Ronchigramme</source>
        <translation>Ronchigram</translation>
    </message>
    <message>
        <source>Masquer les aberrations</source>
        <translation>Hide the aberrations</translation>
    </message>
    <message>
        <source>Afficher les aberrations</source>
        <translation>Show the aberrations</translation>
    </message>
    <message>
        <source>r =</source>
        <translation>r =</translation>
    </message>
    <message>
        <source>X =</source>
        <translation>X =</translation>
    </message>
    <message>
        <source>Informations</source>
        <translation>Information</translation>
    </message>
    <message>
        <source>Valeurs</source>
        <translation>Values</translation>
    </message>
    <message>
        <source>Résultats</source>
        <translation>Results</translation>
    </message>
    <message>
        <source>Affichage</source>
        <translation>Display</translation>
    </message>
    <message>
        <source>Options</source>
        <translation>Options</translation>
    </message>
    <message>
        <source>Seuil Auto</source>
        <translation>Auto threshold</translation>
    </message>
    <message>
        <source>Dim. (pix)</source>
        <translation>Size (pix)</translation>
    </message>
    <message>
        <source>Effectif (pix)</source>
        <translation>Effective (pix)</translation>
    </message>
    <message>
        <source>Rayon</source>
        <translation>Radius</translation>
    </message>
    <message>
        <source>Obstruction</source>
        <translation>Obstruction</translation>
    </message>
    <message>
        <source>(pixels)</source>
        <translation>(pixels)</translation>
    </message>
    <message>
        <source>(réduites)</source>
        <translation>(reduced)</translation>
    </message>
    <message>
        <source>(millimètres)</source>
        <translation>(millimetres)</translation>
    </message>
    <message>
        <source>Coord. rect.</source>
        <translation>Rect. coord.</translation>
    </message>
    <message>
        <source>Coord. pol.</source>
        <translation>Polar coord.</translation>
    </message>
    <message>
        <source>Y =</source>
        <translation>Y =</translation>
    </message>
    <message>
        <source>θ =</source>
        <translation>θ =</translation>
    </message>
    <message>
        <source>I = </source>
        <translation>I = </translation>
    </message>
    <message>
        <source>Nanomètres</source>
        <translation>Nanometres</translation>
    </message>
    <message>
        <source>Seuil</source>
        <translation>Threshold</translation>
    </message>
    <message>
        <source>Valeur du seuil</source>
        <translation>Threshold value</translation>
    </message>
    <message>
        <source>Taille affichée</source>
        <translation>Size shown</translation>
    </message>
    <message>
        <source>Mesure de pupille affichée</source>
        <translation>Pupil measure shown</translation>
    </message>
    <message>
        <source>Unité des coordonnées</source>
        <translation>Unit of the coordinates</translation>
    </message>
    <message>
        <source>Système de coordonnées</source>
        <translation>Coordinate system</translation>
    </message>
    <message>
        <source>Unité de la valeur</source>
        <translation>Unit of the value</translation>
    </message>
    <message>
        <source>Centre X</source>
        <translation>Centre X</translation>
    </message>
    <message>
        <source>Centre Y</source>
        <translation>Centre Y</translation>
    </message>
    <message>
        <source>Centre</source>
        <translation>Centre</translation>
    </message>
    <message>
        <source>Curseur</source>
        <translation>Cursor</translation>
    </message>
    <message>
        <source>Ecarts sur l&apos;onde</source>
        <translation>Wavefront error</translation>
    </message>
    <message>
        <source>PTV</source>
        <translation>PTV</translation>
    </message>
    <message>
        <source>RMS</source>
        <translation>RMS</translation>
    </message>
    <message>
        <source>Rapport de Strehl</source>
        <translation>Strehl ratio</translation>
    </message>
    <message>
        <source>Masque visible</source>
        <translation>Mask visible</translation>
    </message>
    <message>
        <source>Echelle visible</source>
        <translation>Scale visible</translation>
    </message>
    <message>
        <source>Famille</source>
        <translation>Family</translation>
    </message>
    <message>
        <source>Zoom</source>
        <translation>Zoom</translation>
    </message>
    <message>
        <source>Palette</source>
        <translation>Palette</translation>
    </message>
    <message>
        <source>Interférogramme / Ronchigramme</source>
        <translation>Interferogram / Ronchigram</translation>
    </message>
    <message>
        <source>Zero</source>
        <translation>Zero</translation>
    </message>
    <message>
        <source>Angle à zéro</source>
        <translation>Angle to zero</translation>
    </message>
    <message>
        <source>Angle (deg) :</source>
        <translation>Angle (deg):</translation>
    </message>
    <message>
        <source>Pas (deg) :</source>
        <translation>Step (deg):</translation>
    </message>
    <message>
        <source>Franges :</source>
        <translation>Fringes:</translation>
    </message>
    <message>
        <source>Réelle</source>
        <translation>Real</translation>
    </message>
    <message>
        <source>Théorique</source>
        <translation>Theoretical</translation>
    </message>
    <message>
        <source>Linéaire</source>
        <translation>Linear</translation>
    </message>
    <message>
        <source>Log</source>
        <translation>Log</translation>
    </message>
    <message>
        <source>PSF calculée</source>
        <translation>PSF computed</translation>
    </message>
    <message>
        <source>Échelle de la PSF</source>
        <translation>PSF scale</translation>
    </message>
    <message>
        <source>Défocus prédéfini</source>
        <translation>Preset defocus</translation>
    </message>
    <message>
        <source>Taille :</source>
        <translation>Size:</translation>
    </message>
    <message>
        <source>Défocus (nm RMS) :</source>
        <translation>Defocus (nm RMS):</translation>
    </message>
    <message>
        <source>Aberrations du front affiché</source>
        <translation>Aberrations of the wavefront shown</translation>
    </message>
    <message>
        <source>Coefficients (nm RMS)</source>
        <translation>Coefficients (nm RMS)</translation>
    </message>
    <message>
        <source>Tout sélectionner</source>
        <translation>Select all</translation>
    </message>
    <message>
        <source>Ctrl+A</source>
        <translation>Ctrl+A</translation>
    </message>
    <message>
        <source>Tout désélectionner</source>
        <translation>Deselect all</translation>
    </message>
    <message>
        <source>Ctrl+D</source>
        <translation>Ctrl+D</translation>
    </message>
    <message>
        <source>Inverser la sélection</source>
        <translation>Invert the selection</translation>
    </message>
    <message>
        <source>Ctrl+I</source>
        <translation>Ctrl+I</translation>
    </message>
    <message>
        <source>Sélectionner cette aberration</source>
        <translation>Select this aberration only</translation>
    </message>
    <message>
        <source>Activer/désactiver tilt et focus</source>
        <translation>Enable/disable tilt and focus</translation>
    </message>
    <message>
        <source>Aide sur cette aberration</source>
        <translation>Help on this aberration</translation>
    </message>
    <message>
        <source>Enregistrer les coefficients</source>
        <translation>Save the coefficients</translation>
    </message>
    <message>
        <source>Ctrl+S</source>
        <translation>Ctrl+S</translation>
    </message>
    <message>
        <source>Ajuster</source>
        <translation>Fit</translation>
    </message>
</context>
<context>
    <name>frontlys::ui::TFormOrvane</name>
    <message>
        <source>Frontlys 2.2</source>
        <translation>Frontlys 2.2</translation>
    </message>
    <message>
        <source>&amp;Fichier</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>Nouveau test</source>
        <translation>New test</translation>
    </message>
    <message>
        <source>Ctrl+N</source>
        <translation>Ctrl+N</translation>
    </message>
    <message>
        <source>Ouvrir l&apos;image &amp;intrafocale</source>
        <translation>Open the &amp;intra-focal image</translation>
    </message>
    <message>
        <source>Ouvrir l&apos;image &amp;extrafocale</source>
        <translation>Open the &amp;extra-focal image</translation>
    </message>
    <message>
        <source>&amp;Ouvrir les images</source>
        <translation>&amp;Open the images</translation>
    </message>
    <message>
        <source>Ctrl+O</source>
        <translation>Ctrl+O</translation>
    </message>
    <message>
        <source>Imprimer l&apos;image en cours</source>
        <translation>Print the current image</translation>
    </message>
    <message>
        <source>Ctrl+P</source>
        <translation>Ctrl+P</translation>
    </message>
    <message>
        <source>Enregistrer l&apos;image en cours</source>
        <translation>Save the current image</translation>
    </message>
    <message>
        <source>Ctrl+S</source>
        <translation>Ctrl+S</translation>
    </message>
    <message>
        <source>Enregistrer les coefficients</source>
        <translation>Save the coefficients</translation>
    </message>
    <message>
        <source>Exporter le front vers Quorvex</source>
        <translation>Export the wavefront to Quorvex</translation>
    </message>
    <message>
        <source>Préférences</source>
        <translation>Preferences</translation>
    </message>
    <message>
        <source>&amp;Quitter</source>
        <translation>&amp;Quit</translation>
    </message>
    <message>
        <source>Ctrl+Q</source>
        <translation>Ctrl+Q</translation>
    </message>
    <message>
        <source>&amp;Images</source>
        <translation>&amp;Images</translation>
    </message>
    <message>
        <source>Extraire les plages</source>
        <translation>Extract the pupils</translation>
    </message>
    <message>
        <source>Cocentrer les plages</source>
        <translation>Centre the pupils together</translation>
    </message>
    <message>
        <source>Redimensionner</source>
        <translation>Resize</translation>
    </message>
    <message>
        <source>Recadrer</source>
        <translation>Crop</translation>
    </message>
    <message>
        <source>Corriger les images</source>
        <translation>Correct the images</translation>
    </message>
    <message>
        <source>&amp;Saisie</source>
        <translation>&amp;Entry</translation>
    </message>
    <message>
        <source>Paramètres du test</source>
        <translation>Test parameters</translation>
    </message>
    <message>
        <source>Paramètres des simulations</source>
        <translation>Simulation parameters</translation>
    </message>
    <message>
        <source>&amp;Calcul</source>
        <translation>&amp;Compute</translation>
    </message>
    <message>
        <source>&amp;Signal</source>
        <translation>&amp;Signal</translation>
    </message>
    <message>
        <source>&amp;Front d&apos;onde</source>
        <translation>&amp;Wavefront</translation>
    </message>
    <message>
        <source>&amp;Ajuster le front d&apos;onde</source>
        <translation>&amp;Fit the wavefront</translation>
    </message>
    <message>
        <source>PSF</source>
        <translation>PSF</translation>
    </message>
    <message>
        <source>Interférogramme</source>
        <translation>Interferogram</translation>
    </message>
    <message>
        <source>Ronchigramme</source>
        <translation>Ronchigram</translation>
    </message>
    <message>
        <source>Simuler les plages</source>
        <translation>Simulate the pupils</translation>
    </message>
    <message>
        <source>Simuler le signal (Laplacien)</source>
        <translation>Simulate the signal (Laplacian)</translation>
    </message>
    <message>
        <source>Simuler le front d&apos;onde</source>
        <translation>Simulate the wavefront</translation>
    </message>
    <message>
        <source>Intégrer le signal</source>
        <translation>Integrate the signal</translation>
    </message>
    <message>
        <source>Script par défaut</source>
        <translation>Default script</translation>
    </message>
    <message>
        <source>Script en cours</source>
        <translation>Current script</translation>
    </message>
    <message>
        <source>&amp;Affichage</source>
        <translation>&amp;View</translation>
    </message>
    <message>
        <source>Afficher Intra</source>
        <translation>Show Intra</translation>
    </message>
    <message>
        <source>Afficher Extra</source>
        <translation>Show Extra</translation>
    </message>
    <message>
        <source>Afficher Signal</source>
        <translation>Show Signal</translation>
    </message>
    <message>
        <source>Afficher Front d&apos;onde</source>
        <translation>Show Wavefront</translation>
    </message>
    <message>
        <source>Afficher Front résiduel</source>
        <translation>Show Residual wavefront</translation>
    </message>
    <message>
        <source>Afficher Interférogramme</source>
        <translation>Show Interferogram</translation>
    </message>
    <message>
        <source>Afficher Ronchigramme</source>
        <translation>Show Ronchigram</translation>
    </message>
    <message>
        <source>Afficher PSF</source>
        <translation>Show PSF</translation>
    </message>
    <message>
        <source>Afficher les informations</source>
        <translation>Show the information</translation>
    </message>
    <message>
        <source>Afficher Script</source>
        <translation>Show Script</translation>
    </message>
    <message>
        <source>Superposer par famille</source>
        <translation>Stack by family</translation>
    </message>
    <message>
        <source>Juxtaposer</source>
        <translation>Tile</translation>
    </message>
    <message>
        <source>A&amp;ide</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>Documentation</source>
        <translation>Documentation</translation>
    </message>
    <message>
        <source>A propos...</source>
        <translation>About...</translation>
    </message>
    <message>
        <source>Outils</source>
        <translation>Tools</translation>
    </message>
    <message>
        <source>Zoom</source>
        <translation>Zoom</translation>
    </message>
    <message>
        <source>Zoom avant</source>
        <translation>Zoom in</translation>
    </message>
    <message>
        <source>Zoom arrière</source>
        <translation>Zoom out</translation>
    </message>
    <message>
        <source>Intra [%1]</source>
        <translation>Intra [%1]</translation>
    </message>
    <message>
        <source>Extra [%1]</source>
        <translation>Extra [%1]</translation>
    </message>
    <message>
        <source>Signal</source>
        <translation>Signal</translation>
    </message>
    <message>
        <source>Front d&apos;onde</source>
        <translation>Wavefront</translation>
    </message>
    <message>
        <source>Front résiduel</source>
        <translation>Residual wavefront</translation>
    </message>
    <message>
        <source>Ouvrir l&apos;image intrafocale</source>
        <translation>Open the intra-focal image</translation>
    </message>
    <message>
        <source>Images Fits (*.fit *.fits)</source>
        <translation>FITS images (*.fit *.fits)</translation>
    </message>
    <message>
        <source>Ouvrir l&apos;image extrafocale</source>
        <translation>Open the extra-focal image</translation>
    </message>
    <message>
        <source>Front simulé</source>
        <translation>Simulated wavefront</translation>
    </message>
    <message>
        <source>Fichiers texte (*.txt)</source>
        <translation>Text files (*.txt)</translation>
    </message>
    <message>
        <source>Exporter le Front vers Quorvex</source>
        <translation>Export the wavefront to Quorvex</translation>
    </message>
    <message>
        <source>Fichiers texte Optical Path Difference (*.OPD)</source>
        <translation>Optical Path Difference text files (*.OPD)</translation>
    </message>
    <message>
        <source>Autres outils</source>
        <translation>More tools</translation>
    </message>
    <message>
        <source>Ajuster</source>
        <translation>Fit</translation>
    </message>
    <message>
        <source>Ouverture des images...</source>
        <translation>Opening the images...</translation>
    </message>
    <message>
        <source>Ouverture de l&apos;image intrafocale...</source>
        <translation>Opening the intra-focal image...</translation>
    </message>
    <message>
        <source>Ouverture de l&apos;image extrafocale...</source>
        <translation>Opening the extra-focal image...</translation>
    </message>
    <message>
        <source>Recadrage...</source>
        <translation>Cropping...</translation>
    </message>
    <message>
        <source>Front d&apos;onde...</source>
        <translation>Wavefront...</translation>
    </message>
    <message>
        <source>PSF...</source>
        <translation>PSF...</translation>
    </message>
    <message>
        <source>Interférogramme...</source>
        <translation>Interferogram...</translation>
    </message>
    <message>
        <source>Ronchigramme...</source>
        <translation>Ronchigram...</translation>
    </message>
    <message>
        <source>Simulation du front d&apos;onde...</source>
        <translation>Simulating the wavefront...</translation>
    </message>
    <message>
        <source>Progression</source>
        <translation>Progress</translation>
    </message>
    <message>
        <source>Annuler</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Annulation...</source>
        <translation>Cancelling...</translation>
    </message>
    <message>
        <source>Rapport de test...</source>
        <translation>Test report...</translation>
    </message>
    <message>
        <source>Rapport de test</source>
        <translation>Test report</translation>
    </message>
    <message>
        <source>Page HTML (*.html);;Document PDF (*.pdf)</source>
        <translation>HTML page (*.html);;PDF document (*.pdf)</translation>
    </message>
    <message>
        <source>rapport.html</source>
        <translation>report.html</translation>
    </message>
    <message>
        <source>Session en direct...</source>
        <translation>Live session...</translation>
    </message>
</context>
<context>
    <name>frontlys::ui::TFormParam</name>
    <message>
        <source>%1, intra</source>
        <translation>%1, intra</translation>
    </message>
    <message>
        <source>%1, extra</source>
        <translation>%1, extra</translation>
    </message>
    <message>
        <source>Paramètres du test</source>
        <translation>Test parameters</translation>
    </message>
    <message>
        <source>Paramètres supplémentaires</source>
        <translation>More parameters</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Annuler</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Distance en millimètres</source>
        <translation>Distance in millimetres</translation>
    </message>
    <message>
        <source>Diamètre de l&apos;obstruction en % du diamètre de l&apos;instrument ; vide ou 0 : mesurée sur les images</source>
        <translation>Diameter of the obstruction in % of the instrument&apos;s diameter; empty or 0: measured on the images</translation>
    </message>
    <message>
        <source>Calculer</source>
        <translation>Compute</translation>
    </message>
    <message>
        <source>Calculer les distances intra et extra</source>
        <translation>Compute the intra and extra distances</translation>
    </message>
    <message>
        <source>Diamètre (mm) : </source>
        <translation>Diameter (mm): </translation>
    </message>
    <message>
        <source>Distance focale (mm) :</source>
        <translation>Focal length (mm):</translation>
    </message>
    <message>
        <source>Obstruction centrale (%) :</source>
        <translation>Central obstruction (%):</translation>
    </message>
    <message>
        <source>Taille pixels CCD (um):</source>
        <translation>CCD pixel size (um):</translation>
    </message>
    <message>
        <source>Binning acquisition :</source>
        <translation>Acquisition binning:</translation>
    </message>
    <message>
        <source>Binning logiciel :</source>
        <translation>Software binning:</translation>
    </message>
    <message>
        <source>Rayon image intra (pix) :</source>
        <translation>Intra image radius (pix):</translation>
    </message>
    <message>
        <source>Rayon image extra (pix) :</source>
        <translation>Extra image radius (pix):</translation>
    </message>
    <message>
        <source>Défocalisation (mm) :</source>
        <translation>Defocus (mm):</translation>
    </message>
    <message>
        <source>Instrument</source>
        <translation>Instrument</translation>
    </message>
    <message>
        <source>Acquisition</source>
        <translation>Acquisition</translation>
    </message>
    <message>
        <source>Géométrie</source>
        <translation>Geometry</translation>
    </message>
    <message>
        <source>Intra</source>
        <translation>Intra</translation>
    </message>
    <message>
        <source>Extra</source>
        <translation>Extra</translation>
    </message>
    <message>
        <source>Date (aaaa-mm-jj) :</source>
        <translation>Date (yyyy-mm-dd):</translation>
    </message>
    <message>
        <source>Heure début :</source>
        <translation>Start time:</translation>
    </message>
    <message>
        <source>Temps de pose (s) :</source>
        <translation>Exposure (s):</translation>
    </message>
    <message>
        <source>Température (°C) :</source>
        <translation>Temperature (°C):</translation>
    </message>
    <message>
        <source>Alpha :</source>
        <translation>Alpha:</translation>
    </message>
    <message>
        <source>Delta :</source>
        <translation>Delta:</translation>
    </message>
    <message>
        <source>Seeing :</source>
        <translation>Seeing:</translation>
    </message>
    <message>
        <source>Champs de l&apos;en-tête</source>
        <translation>Header fields</translation>
    </message>
    <message>
        <source>Valeurs de l&apos;en-tête</source>
        <translation>Header values</translation>
    </message>
    <message>
        <source>Observateur :</source>
        <translation>Observer:</translation>
    </message>
    <message>
        <source>Observatoire :</source>
        <translation>Observatory:</translation>
    </message>
    <message>
        <source>Instrument :</source>
        <translation>Instrument:</translation>
    </message>
    <message>
        <source>Camera :</source>
        <translation>Camera:</translation>
    </message>
    <message>
        <source>Filtre :</source>
        <translation>Filter:</translation>
    </message>
    <message>
        <source>Commentaire 1 :</source>
        <translation>Comment 1:</translation>
    </message>
    <message>
        <source>Commentaire 2 :</source>
        <translation>Comment 2:</translation>
    </message>
    <message>
        <source>Commentaire 3 :</source>
        <translation>Comment 3:</translation>
    </message>
    <message>
        <source>Commentaire 4 :</source>
        <translation>Comment 4:</translation>
    </message>
    <message>
        <source>Largeur de chaque branche en millimètres</source>
        <translation>Width of each vane in millimetres</translation>
    </message>
    <message>
        <source>Direction de la première branche, en degrés depuis la droite vers le haut de l&apos;image intra</source>
        <translation>Direction of the first vane, in degrees from the right towards the top of the intra image</translation>
    </message>
    <message>
        <source>Branches de l&apos;araignée :</source>
        <translation>Spider vanes:</translation>
    </message>
    <message>
        <source>Largeur des branches (mm) :</source>
        <translation>Vane width (mm):</translation>
    </message>
    <message>
        <source>Angle de la première branche (°) :</source>
        <translation>Angle of the first vane (°):</translation>
    </message>
    <message>
        <source>mesurées</source>
        <translation>measured</translation>
    </message>
    <message>
        <source>Branches de l&apos;araignée du secondaire, prises dans le modèle de la pupille ; 0 : aucune ; « mesurées » : comptées et mesurées sur les images</source>
        <translation>Vanes of the secondary's spider, taken into the pupil model; 0: none; "measured": counted and measured on the images</translation>
    </message>
</context>
<context>
    <name>frontlys::ui::TFormSaisieZern</name>
    <message>
        <source>Paramètres de simulation</source>
        <translation>Simulation parameters</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Z%1 %2 (nm RMS)</source>
        <translation>Z%1 %2 (nm RMS)</translation>
    </message>
    <message>
        <source>Z%1 %2 simulé</source>
        <translation>Z%1 %2 simulated</translation>
    </message>
    <message>
        <source>Z%1 %2</source>
        <translation>Z%1 %2</translation>
    </message>
    <message>
        <source>RAZ</source>
        <translation>Reset</translation>
    </message>
    <message>
        <source>Importer test</source>
        <translation>Import test</translation>
    </message>
    <message>
        <source>Tous</source>
        <translation>All</translation>
    </message>
    <message>
        <source>Annuler</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Coefficients de Zernike (nm RMS) </source>
        <translation>Zernike coefficients (nm RMS) </translation>
    </message>
    <message>
        <source>Dimension des images :</source>
        <translation>Image size:</translation>
    </message>
    <message>
        <source>Rayon :</source>
        <translation>Radius:</translation>
    </message>
    <message>
        <source>Obstruction centrale :</source>
        <translation>Central obstruction:</translation>
    </message>
    <message>
        <source>Niveau Min :</source>
        <translation>Min level:</translation>
    </message>
    <message>
        <source>Niveau Max :</source>
        <translation>Max level:</translation>
    </message>
    <message>
        <source>Images</source>
        <translation>Images</translation>
    </message>
    <message>
        <source> Tilt (cos)</source>
        <translation> Tilt (cos)</translation>
    </message>
    <message>
        <source> Tilt (sin)</source>
        <translation> Tilt (sin)</translation>
    </message>
    <message>
        <source> Defocus </source>
        <translation> Defocus </translation>
    </message>
    <message>
        <source> Astigmatisme (cos) </source>
        <translation> Astigmatism (cos) </translation>
    </message>
    <message>
        <source> Astigmatisme (sin) </source>
        <translation> Astigmatism (sin) </translation>
    </message>
    <message>
        <source>Coma (cos) </source>
        <translation>Coma (cos) </translation>
    </message>
    <message>
        <source>Coma (sin) </source>
        <translation>Coma (sin) </translation>
    </message>
    <message>
        <source>Trefoil (cos) </source>
        <translation>Trefoil (cos) </translation>
    </message>
    <message>
        <source>Trefoil (sin) </source>
        <translation>Trefoil (sin) </translation>
    </message>
    <message>
        <source> Sphéricité </source>
        <translation> Spherical </translation>
    </message>
    <message>
        <source>Astigmat. sec. (cos)</source>
        <translation>Sec. astigmat. (cos)</translation>
    </message>
    <message>
        <source>Astigmat. sec. (sin)</source>
        <translation>Sec. astigmat. (sin)</translation>
    </message>
    <message>
        <source>Tetrafoil (cos)</source>
        <translation>Tetrafoil (cos)</translation>
    </message>
    <message>
        <source>Tetrafoil (sin)</source>
        <translation>Tetrafoil (sin)</translation>
    </message>
    <message>
        <source>Coma sec. (cos)</source>
        <translation>Sec. coma (cos)</translation>
    </message>
    <message>
        <source>Coma sec. (sin)</source>
        <translation>Sec. coma (sin)</translation>
    </message>
    <message>
        <source>Trefoil sec. (cos)</source>
        <translation>Sec. trefoil (cos)</translation>
    </message>
    <message>
        <source>Trefoil sec. (sin) </source>
        <translation>Sec. trefoil (sin) </translation>
    </message>
    <message>
        <source>Pentafoil (cos) </source>
        <translation>Pentafoil (cos) </translation>
    </message>
    <message>
        <source> Pentafoil (sin) </source>
        <translation> Pentafoil (sin) </translation>
    </message>
    <message>
        <source> Sphéricité sec.</source>
        <translation> Sec. spherical</translation>
    </message>
</context>
<context>
    <name>frontlys::ui::TFormSession</name>
    <message>
        <source>Session en direct</source>
        <translation>Live session</translation>
    </message>
    <message>
        <source>Dossier surveillé :</source>
        <translation>Watched folder:</translation>
    </message>
    <message>
        <source>Dossier surveillé</source>
        <translation>Watched folder</translation>
    </message>
    <message>
        <source>Choisir le dossier...</source>
        <translation>Choose the folder...</translation>
    </message>
    <message>
        <source>Arrêter</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>Formule optique :</source>
        <translation>Optical design:</translation>
    </message>
    <message>
        <source>Newton</source>
        <translation>Newtonian</translation>
    </message>
    <message>
        <source>Cassegrain</source>
        <translation>Cassegrain</translation>
    </message>
    <message>
        <source>Schmidt-Cassegrain</source>
        <translation>Schmidt-Cassegrain</translation>
    </message>
    <message>
        <source>Lunette</source>
        <translation>Refractor</translation>
    </message>
    <message>
        <source>Formule optique</source>
        <translation>Optical design</translation>
    </message>
    <message>
        <source>Choisissez le dossier où le logiciel d&apos;acquisition écrit les images.</source>
        <translation>Choose the folder the capture program writes the images into.</translation>
    </message>
    <message>
        <source>Paires</source>
        <translation>Pairs</translation>
    </message>
    <message>
        <source>N°</source>
        <translation>No.</translation>
    </message>
    <message>
        <source>Intra</source>
        <translation>Intra</translation>
    </message>
    <message>
        <source>Extra</source>
        <translation>Extra</translation>
    </message>
    <message>
        <source>Appariement</source>
        <translation>Paired by</translation>
    </message>
    <message>
        <source>RMS</source>
        <translation>RMS</translation>
    </message>
    <message>
        <source>Astig.</source>
        <translation>Astig.</translation>
    </message>
    <message>
        <source>Coma</source>
        <translation>Coma</translation>
    </message>
    <message>
        <source>Sphér.</source>
        <translation>Spher.</translation>
    </message>
    <message>
        <source>État</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>Moyenne</source>
        <translation>Mean</translation>
    </message>
    <message>
        <source>Terme</source>
        <translation>Term</translation>
    </message>
    <message>
        <source>Moyenne (nm RMS)</source>
        <translation>Mean (nm RMS)</translation>
    </message>
    <message>
        <source>Incertitude (nm)</source>
        <translation>Uncertainty (nm)</translation>
    </message>
    <message>
        <source>Évolution au fil de la séance</source>
        <translation>Trend over the session</translation>
    </message>
    <message>
        <source>Moyenne glissante</source>
        <translation>Running mean</translation>
    </message>
    <message>
        <source>Tendance</source>
        <translation>Trend</translation>
    </message>
    <message>
        <source>Collimation (dernière paire)</source>
        <translation>Collimation (latest pair)</translation>
    </message>
    <message>
        <source>Dossier des images de la séance</source>
        <translation>Folder of the session&apos;s images</translation>
    </message>
    <message>
        <source>Le dossier est introuvable : %1</source>
        <translation>Folder not found: %1</translation>
    </message>
    <message>
        <source>Surveillance en cours : chaque paire d&apos;images est analysée dès qu&apos;elle est complète.</source>
        <translation>Watching: each pair of images is analysed as soon as it is complete.</translation>
    </message>
    <message>
        <source>Surveillance arrêtée.</source>
        <translation>Watching stopped.</translation>
    </message>
    <message>
        <source>Surveillance en cours.</source>
        <translation>Watching.</translation>
    </message>
    <message>
        <source>En cours d&apos;écriture : %1.</source>
        <translation>Being written: %1.</translation>
    </message>
    <message>
        <source>Sans partenaire : %1.</source>
        <translation>No partner yet: %1.</translation>
    </message>
    <message>
        <source>Ni le focuser, ni les noms des fichiers, ni les images ne disent laquelle de ces deux images est intra-focale. Laquelle l&apos;est ?</source>
        <translation>Neither the focuser, the file names nor the images tell which of these two images is intra-focal. Which one is?</translation>
    </message>
    <message>
        <source>Aucune : écarter la paire</source>
        <translation>Neither: set the pair aside</translation>
    </message>
    <message>
        <source>Paire %1 : %2</source>
        <translation>Pair %1: %2</translation>
    </message>
    <message>
        <source>position du focuser</source>
        <translation>focuser position</translation>
    </message>
    <message>
        <source>noms des fichiers</source>
        <translation>file names</translation>
    </message>
    <message>
        <source>images</source>
        <translation>images</translation>
    </message>
    <message>
        <source>votre réponse</source>
        <translation>your answer</translation>
    </message>
    <message>
        <source>ordre d&apos;arrivée</source>
        <translation>arrival order</translation>
    </message>
    <message>
        <source>analysée</source>
        <translation>analysed</translation>
    </message>
    <message>
        <source>écartée : %1</source>
        <translation>set aside: %1</translation>
    </message>
    <message>
        <source>Aucune paire gardée.</source>
        <translation>No pair kept.</translation>
    </message>
    <message numerus="yes">
        <source>Moyenne sur %n paire(s) gardée(s).</source>
        <translation>
            <numerusform>Mean over %n pair kept.</numerusform>
            <numerusform>Mean over %n pairs kept.</numerusform>
        </translation>
    </message>
    <message>
        <source>paire</source>
        <translation>pair</translation>
    </message>
    <message>
        <source>astigmatisme</source>
        <translation>astigmatism</translation>
    </message>
    <message>
        <source>sphérique</source>
        <translation>spherical</translation>
    </message>
    <message>
        <source>pas de coma mesurable.</source>
        <translation>no measurable coma.</translation>
    </message>
    <message>
        <source>l&apos;étoile est à %1&apos; de l&apos;axe optique (%2 µm au foyer)</source>
        <translation>the star is %1&apos; from the optical axis (%2 µm at the focus)</translation>
    </message>
    <message>
        <source>coma W131 de %1 nm</source>
        <translation>coma W131 of %1 nm</translation>
    </message>
    <message>
        <source>, vers l&apos;angle de position %1° (côté brillant de la plage)</source>
        <translation>, towards position angle %1° (the bright side of the donut)</translation>
    </message>
    <message>
        <source> ; ou un basculement du secondaire de %1&apos;</source>
        <translation>; or a secondary tilt of %1&apos;</translation>
    </message>
    <message>
        <source> ; coma %1 nm RMS.</source>
        <translation>; coma %1 nm RMS.</translation>
    </message>
    <message>
        <source>Collimation : angle entre l&apos;étoile et l&apos;axe</source>
        <translation>Collimation: angle between the star and the axis</translation>
    </message>
    <message>
        <source>temps (min)</source>
        <translation>time (min)</translation>
    </message>
    <message>
        <source>angle (minutes d&apos;arc)</source>
        <translation>angle (arc minutes)</translation>
    </message>
    <message>
        <source>angle</source>
        <translation>angle</translation>
    </message>
</context>
<context>
    <name>frontlys::ui::TFormTransfer</name>
    <message>
        <source>FTM et énergie encerclée</source>
        <translation>MTF and encircled energy</translation>
    </message>
    <message>
        <source>FTM radiale et limite de diffraction</source>
        <translation>Radial MTF and diffraction limit</translation>
    </message>
    <message>
        <source>Énergie encerclée et limite de diffraction</source>
        <translation>Encircled energy and diffraction limit</translation>
    </message>
    <message>
        <source>Strehl %1</source>
        <translation>Strehl %1</translation>
    </message>
    <message>
        <source>80 % de l&apos;énergie dans %1 lambda/D</source>
        <translation>80 % of the energy within %1 lambda/D</translation>
    </message>
</context>
<context>
    <name>frontlys::ui::TPrefs</name>
    <message>
        <source>&apos;%1&apos; n&apos;est pas une valeur numérique correcte.</source>
        <translation>&apos;%1&apos; is not a valid number.</translation>
    </message>
    <message>
        <source>Préférences</source>
        <translation>Preferences</translation>
    </message>
    <message>
        <source>Affichage</source>
        <translation>Display</translation>
    </message>
    <message>
        <source>Algorithmes</source>
        <translation>Algorithms</translation>
    </message>
    <message>
        <source>Constantes</source>
        <translation>Constants</translation>
    </message>
    <message>
        <source>Ajustement</source>
        <translation>Fitting</translation>
    </message>
    <message>
        <source>Fichiers</source>
        <translation>Files</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Annuler</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Aide</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>Défaut</source>
        <translation>Defaults</translation>
    </message>
    <message>
        <source>1. Images et signal :</source>
        <translation>1. Images and signal:</translation>
    </message>
    <message>
        <source>2. Front d&apos;onde :</source>
        <translation>2. Wavefront:</translation>
    </message>
    <message>
        <source>3. PSF :</source>
        <translation>3. PSF:</translation>
    </message>
    <message>
        <source>4. Interférogramme :</source>
        <translation>4. Interferogram:</translation>
    </message>
    <message>
        <source>max</source>
        <translation>max</translation>
    </message>
    <message>
        <source>min</source>
        <translation>min</translation>
    </message>
    <message>
        <source>Optimiser la mémoire lors de l&apos;affichage des images </source>
        <translation>Save memory when showing the images </translation>
    </message>
    <message>
        <source>Celle du système</source>
        <translation>The system&apos;s</translation>
    </message>
    <message>
        <source>Langue des fenêtres (au prochain démarrage) :</source>
        <translation>Language of the windows (at the next start):</translation>
    </message>
    <message>
        <source> Palettes </source>
        <translation> Palettes </translation>
    </message>
    <message>
        <source>Langue</source>
        <translation>Language</translation>
    </message>
    <message>
        <source>Analytique</source>
        <translation>Analytic</translation>
    </message>
    <message>
        <source>Numérique</source>
        <translation>Numerical</translation>
    </message>
    <message>
        <source>Correction des images :</source>
        <translation>Image correction:</translation>
    </message>
    <message>
        <source>Nombre maximal d&apos;itérations :</source>
        <translation>Maximum number of iterations:</translation>
    </message>
    <message>
        <source>Condition d&apos;arrêt : RMS Front &lt;</source>
        <translation>Stop when: RMS Front &lt;</translation>
    </message>
    <message>
        <source>nm</source>
        <translation>nm</translation>
    </message>
    <message>
        <source>Nombre maximal de passes :</source>
        <translation>Maximum number of passes:</translation>
    </message>
    <message>
        <source>Recherche fine du seuil. Nombre de valeurs :</source>
        <translation>Fine threshold search. Number of values:</translation>
    </message>
    <message>
        <source>Recherche fine du seuil : nombre de valeurs</source>
        <translation>Fine threshold search: number of values</translation>
    </message>
    <message>
        <source>Extraire les plages et calculer le signal à l&apos;ouverture des images</source>
        <translation>Extract the pupils and compute the signal when the images open</translation>
    </message>
    <message>
        <source>Dimension des images réduites pour la recherche du seuil (pix.) :</source>
        <translation>Size of the reduced images for the threshold search (pix.):</translation>
    </message>
    <message>
        <source>Position du seuil (% de la hauteur) :</source>
        <translation>Threshold position (% of the height):</translation>
    </message>
    <message>
        <source> Korvel </source>
        <translation> Korvel </translation>
    </message>
    <message>
        <source> Extraction des plages </source>
        <translation> Pupil extraction </translation>
    </message>
    <message>
        <source>Longueur d&apos;onde de référence :</source>
        <translation>Reference wavelength:</translation>
    </message>
    <message>
        <source>Longueur d&apos;onde interférométrique :</source>
        <translation>Interferometric wavelength:</translation>
    </message>
    <message>
        <source>Coefficients de normalisation : </source>
        <translation>Normalisation coefficients: </translation>
    </message>
    <message>
        <source>Valeurs d&apos;alerte :</source>
        <translation>Alert values:</translation>
    </message>
    <message>
        <source>Editer</source>
        <translation>Edit</translation>
    </message>
    <message>
        <source>Longueurs d&apos;onde</source>
        <translation>Wavelengths</translation>
    </message>
    <message>
        <source>Coefficients de Zernike</source>
        <translation>Zernike coefficients</translation>
    </message>
    <message>
        <source>Ajuster le front après reconstruction</source>
        <translation>Fit the wavefront after reconstruction</translation>
    </message>
    <message>
        <source>Nombre de polynômes ajustés :</source>
        <translation>Number of fitted polynomials:</translation>
    </message>
    <message>
        <source>Polynômes de Zernike</source>
        <translation>Zernike polynomials</translation>
    </message>
    <message>
        <source>Images :</source>
        <translation>Images:</translation>
    </message>
    <message>
        <source>Documentation :</source>
        <translation>Documentation:</translation>
    </message>
    <message>
        <source>Préferences :</source>
        <translation>Preferences:</translation>
    </message>
    <message>
        <source>Parcourir : %1</source>
        <translation>Browse: %1</translation>
    </message>
    <message>
        <source>Répertoires</source>
        <translation>Folders</translation>
    </message>
    <message>
        <source>Correction analytique : les passes s&apos;arrêtent quand le front varie de moins que « RMS Front », au plus « Nombre maximal de passes ». Le nombre d&apos;itérations ne sert qu&apos;à la correction numérique.</source>
        <translation>Analytic correction: the passes stop when the wavefront changes by less than &quot;RMS Front&quot;, at most &quot;Maximum number of passes&quot;. The number of iterations serves the numerical correction only.</translation>
    </message>
    <message>
        <source>Correction numérique : « Nombre maximal d&apos;itérations » passes de correction des images. La condition d&apos;arrêt et le nombre de passes ne servent qu&apos;à la correction analytique.</source>
        <translation>Numerical correction: &quot;Maximum number of iterations&quot; passes correcting the images. The stop condition and the number of passes serve the analytic correction only.</translation>
    </message>
    <message>
        <source>Choisir un dossier images</source>
        <translation>Choose an images folder</translation>
    </message>
    <message>
        <source>Choix du fichier d&apos;accueil de l&apos;aide</source>
        <translation>Choose the home page of the help</translation>
    </message>
    <message>
        <source>Fichiers html (*.htm *.html)</source>
        <translation>HTML files (*.htm *.html)</translation>
    </message>
    <message>
        <source>Choisir un dossier préferences</source>
        <translation>Choose a preferences folder</translation>
    </message>
</context>
<context>
    <name>frontlys::ui::Tapropos</name>
    <message>
        <source>A propos de Frontlys</source>
        <translation>About Frontlys</translation>
    </message>
    <message>
        <source>Version %1</source>
        <translation>Version %1</translation>
    </message>
    <message>
        <source>Mesure de la qualité optique d&apos;un télescope à partir de deux images défocalisées d&apos;une étoile (analyse de courbure du front d&apos;onde).</source>
        <translation>Measures the optical quality of a telescope from two defocused images of a star (curvature wavefront sensing).</translation>
    </message>
</context>
<context>
    <name>frontlys::ui::Tmess</name>
    <message>
        <source>Message</source>
        <translation>Message</translation>
    </message>
    <message>
        <source>Fermer</source>
        <translation>Close</translation>
    </message>
</context>
</TS>
