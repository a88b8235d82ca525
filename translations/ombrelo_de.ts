<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de">
<context>
    <name>AdvancedSettings</name>
    <message>
        <source>Least number of thumbnails</source>
        <translation>Mindestzahl der Vorschaubilder</translation>
    </message>
    <message>
        <source>JPEG quality</source>
        <translation>JPEG-Qualität</translation>
    </message>
    <message>
        <source>Scale factor</source>
        <translation>Skalierungsfaktor</translation>
    </message>
    <message>
        <source>Least sheet width</source>
        <translation>Mindestbreite des Bogens</translation>
    </message>
    <message>
        <source>Least sheet height</source>
        <translation>Mindesthöhe des Bogens</translation>
    </message>
    <message>
        <source>Name by frame number</source>
        <translation>Nach Bildnummer benennen</translation>
    </message>
    <message>
        <source>Name by sequence number</source>
        <translation>Nach laufender Nummer benennen</translation>
    </message>
    <message>
        <source>Picture format</source>
        <translation>Bildformat</translation>
    </message>
    <message>
        <source>Seconds to capture</source>
        <translation>Aufzunehmende Sekunden</translation>
    </message>
    <message>
        <source>Deinterlace</source>
        <translation>Zeilenentflechtung</translation>
    </message>
</context>
<context>
    <name>CCrashDialog</name>
    <message>
        <source>The Ombrelo application crashed. Please help us stop this from happening in the future by sending the crash report and minidump file. </source>
        <translation>Ombrelo ist abgestürzt. Bitte helfen Sie uns, das künftig zu verhindern, indem Sie den Absturzbericht und die Minidump-Datei senden. </translation>
    </message>
    <message numerus="yes">
        <source>%Ln bytes</source>
        <translation>
            <numerusform>%Ln Byte</numerusform>
            <numerusform>%Ln Byte</numerusform>
        </translation>
    </message>
    <message>
        <source>Ombrelo - Crash</source>
        <translation>Ombrelo - Absturz</translation>
    </message>
    <message>
        <source>Send</source>
        <translation>Senden</translation>
    </message>
    <message>
        <source>Do not send</source>
        <translation>Nicht senden</translation>
    </message>
    <message>
        <source>Details...</source>
        <translation>Details...</translation>
    </message>
    <message>
        <source>Shows the files that Send uploads</source>
        <translation>Zeigt die Dateien, die „Senden“ hochlädt</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Ombrelo - Crash report details</source>
        <translation>Ombrelo - Details des Absturzberichts</translation>
    </message>
    <message>
        <source>Send uploads these files, exactly as shown, to the crash-report server. Nothing else is sent.</source>
        <translation>„Senden“ lädt genau diese Dateien, so wie gezeigt, auf den Server für Absturzberichte. Sonst wird nichts gesendet.</translation>
    </message>
    <message>
        <source>No crash log: nothing is sent for it.</source>
        <translation>Kein Absturzprotokoll: dafür wird nichts gesendet.</translation>
    </message>
    <message>
        <source>Crash log (%1)</source>
        <translation>Absturzprotokoll (%1)</translation>
    </message>
    <message>
        <source>Crash log (none)</source>
        <translation>Absturzprotokoll (keines)</translation>
    </message>
    <message>
        <source>No dump file was written: nothing is sent for it.</source>
        <translation>Es wurde keine Speicherabbilddatei geschrieben: dafür wird nichts gesendet.</translation>
    </message>
    <message>
        <source>Dump file (none)</source>
        <translation>Speicherabbild (keines)</translation>
    </message>
    <message>
        <source>Dump file (%1)</source>
        <translation>Speicherabbild (%1)</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
</context>
<context>
    <name>Commands</name>
    <message>
        <source>&amp;New project</source>
        <translation>&amp;Neues Projekt</translation>
    </message>
    <message>
        <source>Create a new document
New</source>
        <translation>Ein neues Projekt anlegen
Neu</translation>
    </message>
    <message>
        <source>&amp;Open project...</source>
        <translation>Projekt ö&amp;ffnen...</translation>
    </message>
    <message>
        <source>Open an existing document
Open</source>
        <translation>Ein vorhandenes Projekt öffnen
Öffnen</translation>
    </message>
    <message>
        <source>&amp;Save project</source>
        <translation>Projekt &amp;speichern</translation>
    </message>
    <message>
        <source>Save the active document
Save</source>
        <translation>Das aktuelle Projekt speichern
Speichern</translation>
    </message>
    <message>
        <source>Save project &amp;As...</source>
        <translation>Projekt speichern &amp;unter...</translation>
    </message>
    <message>
        <source>Save the active document with a new name
Save As</source>
        <translation>Das aktuelle Projekt unter einem neuen Namen speichern
Speichern unter</translation>
    </message>
    <message>
        <source>&amp;Generate report</source>
        <translation>&amp;Bericht erstellen</translation>
    </message>
    <message>
        <source>E&amp;xit</source>
        <translation>B&amp;eenden</translation>
    </message>
    <message>
        <source>Quit the application; prompts to save documents
Exit</source>
        <translation>Das Programm beenden; fragt, ob Änderungen gespeichert werden sollen
Beenden</translation>
    </message>
    <message>
        <source>&amp;Undo</source>
        <translation>&amp;Rückgängig</translation>
    </message>
    <message>
        <source>Undo the last action
Undo</source>
        <translation>Die letzte Aktion rückgängig machen
Rückgängig</translation>
    </message>
    <message>
        <source>&amp;Start</source>
        <translation>&amp;Starten</translation>
    </message>
    <message>
        <source>Start movie capture</source>
        <translation>Die Aufnahme der Videos starten</translation>
    </message>
    <message>
        <source>S&amp;top</source>
        <translation>S&amp;toppen</translation>
    </message>
    <message>
        <source>Stop current movie capture</source>
        <translation>Die laufende Aufnahme stoppen</translation>
    </message>
    <message>
        <source>&amp;Pause</source>
        <translation>&amp;Pause</translation>
    </message>
    <message>
        <source>Pause current movie capture</source>
        <translation>Die laufende Aufnahme anhalten</translation>
    </message>
    <message>
        <source>&amp;Toolbar</source>
        <translation>&amp;Werkzeugleiste</translation>
    </message>
    <message>
        <source>Show or hide the toolbar
Toggle ToolBar</source>
        <translation>Die Werkzeugleiste zeigen oder verbergen
Werkzeugleiste ein/aus</translation>
    </message>
    <message>
        <source>&amp;Status Bar</source>
        <translation>&amp;Statusleiste</translation>
    </message>
    <message>
        <source>Show or hide the status bar
Toggle StatusBar</source>
        <translation>Die Statusleiste zeigen oder verbergen
Statusleiste ein/aus</translation>
    </message>
    <message>
        <source>Show &amp;hidden folders</source>
        <translation>&amp;Versteckte Ordner zeigen</translation>
    </message>
    <message>
        <source>Show or hide the hidden folders in the folder tree</source>
        <translation>Die versteckten Ordner im Ordnerbaum zeigen oder verbergen</translation>
    </message>
    <message>
        <source>&amp;Movie selection</source>
        <translation>&amp;Videoauswahl</translation>
    </message>
    <message>
        <source>Show the Movie selection screen</source>
        <translation>Die Seite der Videoauswahl zeigen</translation>
    </message>
    <message>
        <source>S&amp;ettings</source>
        <translation>&amp;Einstellungen</translation>
    </message>
    <message>
        <source>Show the Movie capture settings screen</source>
        <translation>Die Seite der Aufnahmeeinstellungen zeigen</translation>
    </message>
    <message>
        <source>&amp;Progress</source>
        <translation>&amp;Fortschritt</translation>
    </message>
    <message>
        <source>Show the capture progress screen</source>
        <translation>Die Seite des Aufnahmefortschritts zeigen</translation>
    </message>
    <message>
        <source>&amp;Results</source>
        <translation>Er&amp;gebnisse</translation>
    </message>
    <message>
        <source>Show the capture result page</source>
        <translation>Die Seite der Ergebnisse zeigen</translation>
    </message>
    <message>
        <source>&amp;Show Help...</source>
        <translation>&amp;Hilfe anzeigen...</translation>
    </message>
    <message>
        <source>Show Ombrelo help</source>
        <translation>Die Hilfe zu Ombrelo zeigen</translation>
    </message>
    <message>
        <source>&amp;Check for upgrades...</source>
        <translation>Nach &amp;Aktualisierungen suchen...</translation>
    </message>
    <message>
        <source>Get more &amp;templates...</source>
        <translation>Weitere &amp;Vorlagen holen...</translation>
    </message>
    <message>
        <source>Get Tessaly &amp;viewer</source>
        <translation>Tessaly-&amp;Betrachter holen</translation>
    </message>
    <message>
        <source>Support &amp;forum...</source>
        <translation>Support-&amp;Forum...</translation>
    </message>
    <message>
        <source>S&amp;upport...</source>
        <translation>S&amp;upport...</translation>
    </message>
    <message>
        <source>&amp;About Ombrelo...</source>
        <translation>Ü&amp;ber Ombrelo...</translation>
    </message>
    <message>
        <source>&amp;Next</source>
        <translation>&amp;Weiter</translation>
    </message>
    <message>
        <source>&amp;Play movie</source>
        <translation>Video &amp;abspielen</translation>
    </message>
    <message>
        <source>&amp;Remove</source>
        <translation>&amp;Entfernen</translation>
    </message>
    <message>
        <source>Remove &amp;all</source>
        <translation>Alle ent&amp;fernen</translation>
    </message>
    <message>
        <source>&amp;Index all</source>
        <translation>Alle &amp;indizieren</translation>
    </message>
    <message>
        <source>&amp;Index videos in folder</source>
        <translation>Videos im Ordner &amp;indizieren</translation>
    </message>
    <message>
        <source>&amp;Index selected video(s)</source>
        <translation>Ausgewählte Videos &amp;indizieren</translation>
    </message>
    <message>
        <source>&amp;Add all videos</source>
        <translation>Alle Videos &amp;hinzufügen</translation>
    </message>
    <message>
        <source>View &amp;images</source>
        <translation>&amp;Bilder ansehen</translation>
    </message>
    <message>
        <source>View &amp;HTML</source>
        <translation>&amp;HTML ansehen</translation>
    </message>
    <message>
        <source>View Index &amp;Photo</source>
        <translation>&amp;Indexfoto ansehen</translation>
    </message>
    <message>
        <source>Play &amp;movie</source>
        <translation>Video &amp;abspielen</translation>
    </message>
    <message>
        <source>View Movie &amp;folder</source>
        <translation>Video&amp;ordner öffnen</translation>
    </message>
    <message>
        <source>Re-&amp;Queue</source>
        <translation>Erneut in die &amp;Warteschlange</translation>
    </message>
    <message>
        <source>&amp;Locate...</source>
        <translation>&amp;Suchen...</translation>
    </message>
    <message>
        <source>Find the missing videos in another folder</source>
        <translation>Die fehlenden Videos in einem anderen Ordner suchen</translation>
    </message>
    <message>
        <source>&amp;HTML</source>
        <translation>&amp;HTML</translation>
    </message>
    <message>
        <source>&amp;Index</source>
        <translation>&amp;Index</translation>
    </message>
    <message>
        <source>P&amp;laylist</source>
        <translation>&amp;Wiedergabeliste</translation>
    </message>
    <message>
        <source>&amp;Play</source>
        <translation>Ab&amp;spielen</translation>
    </message>
    <message>
        <source>&amp;View image</source>
        <translation>Bild &amp;ansehen</translation>
    </message>
    <message>
        <source>&amp;Delete image</source>
        <translation>Bild &amp;löschen</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>Html files (*.html)</source>
        <translation>HTML-Dateien (*.html)</translation>
    </message>
    <message>
        <source>Project files (*.obx)</source>
        <translation>Projektdateien (*.obx)</translation>
    </message>
    <message>
        <source>All Files (*)</source>
        <translation>Alle Dateien (*)</translation>
    </message>
    <message>
        <source>Save changes to %1?</source>
        <translation>Änderungen an %1 speichern?</translation>
    </message>
    <message>
        <source>&amp;Save</source>
        <translation>&amp;Speichern</translation>
    </message>
    <message>
        <source>&amp;Discard</source>
        <translation>Ver&amp;werfen</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>&amp;Abbrechen</translation>
    </message>
    <message>
        <source>another Ombrelo window (process %1)</source>
        <translation>einem anderen Ombrelo-Fenster (Prozess %1)</translation>
    </message>
    <message>
        <source>another Ombrelo window</source>
        <translation>einem anderen Ombrelo-Fenster</translation>
    </message>
    <message>
        <source>%1
is open in %2.

You can open it read-only here, or switch to the window that has it.</source>
        <translation>%1
ist in %2 geöffnet.

Sie können es hier schreibgeschützt öffnen oder zu dem Fenster wechseln, in dem es offen ist.</translation>
    </message>
    <message>
        <source>Open &amp;Read-Only</source>
        <translation>&amp;Schreibgeschützt öffnen</translation>
    </message>
    <message>
        <source>&amp;Show Other Window</source>
        <translation>Anderes &amp;Fenster zeigen</translation>
    </message>
    <message>
        <source>Cannot read the playlist %1: not a playlist file</source>
        <translation>Die Wiedergabeliste %1 kann nicht gelesen werden: keine Wiedergabelistendatei</translation>
    </message>
    <message>
        <source>Cannot open the playlist %1: %2</source>
        <translation>Die Wiedergabeliste %1 kann nicht geöffnet werden: %2</translation>
    </message>
    <message>
        <source>Cannot read the playlist %1: %2</source>
        <translation>Die Wiedergabeliste %1 kann nicht gelesen werden: %2</translation>
    </message>
    <message>
        <source>The playlist %1 holds no pictures.</source>
        <translation>Die Wiedergabeliste %1 enthält keine Bilder.</translation>
    </message>
    <message>
        <source>The folder %1 holds no pictures.</source>
        <translation>Der Ordner %1 enthält keine Bilder.</translation>
    </message>
    <message>
        <source>No pictures to show.</source>
        <translation>Keine Bilder zum Anzeigen.</translation>
    </message>
    <message>
        <source>not a picture file</source>
        <translation>keine Bilddatei</translation>
    </message>
    <message>
        <source>larger than %1 MB</source>
        <translation>größer als %1 MB</translation>
    </message>
    <message>
        <source>the viewer was closed</source>
        <translation>der Betrachter wurde geschlossen</translation>
    </message>
    <message>
        <source>reading it took too long</source>
        <translation>das Lesen dauerte zu lange</translation>
    </message>
    <message>
        <source>not a JPEG, PNG or BMP picture</source>
        <translation>kein JPEG-, PNG- oder BMP-Bild</translation>
    </message>
</context>
<context>
    <name>ReviewWindow</name>
    <message>
        <source>Picture missing</source>
        <translation>Bild fehlt</translation>
    </message>
</context>
<context>
    <name>ombrelo::desktop::AdvancedSettingsDialog</name>
    <message>
        <source>Advanced settings</source>
        <translation>Erweiterte Einstellungen</translation>
    </message>
    <message>
        <source>Description</source>
        <translation>Beschreibung</translation>
    </message>
    <message>
        <source>Ombrelo viewer</source>
        <translation>Ombrelo-Betrachter</translation>
    </message>
    <message>
        <source>the desktop&apos;s default program (xdg-open)</source>
        <translation>das Standardprogramm der Arbeitsumgebung (xdg-open)</translation>
    </message>
    <message>
        <source>command</source>
        <translation>Befehl</translation>
    </message>
    <message>
        <source>e.g. eog, or &quot;/opt/my viewer/run&quot; --slideshow</source>
        <translation>z. B. eog oder &quot;/opt/mein betrachter/run&quot; --slideshow</translation>
    </message>
    <message>
        <source>Skip blank thumbnails (black frames, fades, title cards)</source>
        <translation>Leere Vorschaubilder überspringen (schwarze Bilder, Blenden, Titeltafeln)</translation>
    </message>
    <message>
        <source>A thumbnail that is nearly one flat colour is replaced by the first frame after it that is not, up to half the time between thumbnails.</source>
        <translation>Ein Vorschaubild, das fast nur eine Farbe zeigt, wird durch das erste folgende Bild ersetzt, bei dem das nicht so ist, höchstens bis zur halben Zeit zwischen zwei Vorschaubildern.</translation>
    </message>
    <message>
        <source>Open pictures with:</source>
        <translation>Bilder öffnen mit:</translation>
    </message>
    <message>
        <source>Command:</source>
        <translation>Befehl:</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Click on item to edit</source>
        <translation>Klicken Sie auf einen Eintrag, um ihn zu bearbeiten</translation>
    </message>
</context>
<context>
    <name>ombrelo::desktop::DecodingProblemsDialog</name>
    <message>
        <source>Decoding problems</source>
        <translation>Probleme beim Dekodieren</translation>
    </message>
    <message>
        <source>Codec issue</source>
        <translation>Codec-Problem</translation>
    </message>
    <message>
        <source>There were problems decoding some of your selected videos.

This seems to be because some of you videos need missing components (video codecs) to play.

Select a movie in the list and click Help to download missing components.</source>
        <translation>Beim Dekodieren einiger der ausgewählten Videos gab es Probleme.

Offenbar brauchen einige Ihrer Videos zum Abspielen Komponenten (Video-Codecs), die fehlen.

Wählen Sie ein Video in der Liste und klicken Sie auf „Hilfe“, um die fehlenden Komponenten herunterzuladen.</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Hilfe</translation>
    </message>
    <message>
        <source>&amp;Close</source>
        <translation>&amp;Schließen</translation>
    </message>
</context>
<context>
    <name>ombrelo::desktop::HelpWindow</name>
    <message>
        <source>&amp;Close</source>
        <translation>&amp;Schließen</translation>
    </message>
    <message>
        <source>Back</source>
        <translation>Zurück</translation>
    </message>
    <message>
        <source>Forward</source>
        <translation>Vor</translation>
    </message>
    <message>
        <source>Do not show more help messages</source>
        <translation>Keine weiteren Hilfemeldungen zeigen</translation>
    </message>
</context>
<context>
    <name>ombrelo::desktop::ImageViewer</name>
    <message>
        <source>Next picture</source>
        <translation>Nächstes Bild</translation>
    </message>
    <message>
        <source>Previous picture</source>
        <translation>Vorheriges Bild</translation>
    </message>
    <message>
        <source>First picture</source>
        <translation>Erstes Bild</translation>
    </message>
    <message>
        <source>Last picture</source>
        <translation>Letztes Bild</translation>
    </message>
    <message>
        <source>Actual size / fit to window</source>
        <translation>Originalgröße / an Fenster anpassen</translation>
    </message>
    <message>
        <source>Full screen</source>
        <translation>Vollbild</translation>
    </message>
    <message>
        <source>Leave full screen</source>
        <translation>Vollbild verlassen</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <source>Cannot show %1: %2</source>
        <translation>%1 kann nicht angezeigt werden: %2</translation>
    </message>
</context>
<context>
    <name>ombrelo::desktop::MainWindow</name>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Datei</translation>
    </message>
    <message>
        <source>&amp;Edit</source>
        <translation>&amp;Bearbeiten</translation>
    </message>
    <message>
        <source>&amp;Capture</source>
        <translation>Auf&amp;nahme</translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation>&amp;Ansicht</translation>
    </message>
    <message>
        <source>&amp;Page</source>
        <translation>S&amp;eite</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Hilfe</translation>
    </message>
    <message>
        <source>Toolbar</source>
        <translation>Werkzeugleiste</translation>
    </message>
    <message>
        <source>About</source>
        <translation>Über Ombrelo</translation>
    </message>
    <message>
        <source>Visual indexes of your videos.
Copyright © Tessaly. All rights reserved.</source>
        <translation>Bildverzeichnisse Ihrer Videos.
Copyright © Tessaly. Alle Rechte vorbehalten.</translation>
    </message>
    <message>
        <source>Ready</source>
        <translation>Bereit</translation>
    </message>
    <message>
        <source>Ombrelo - Select files</source>
        <translation>Ombrelo - Dateien auswählen</translation>
    </message>
    <message>
        <source>Ombrelo - Settings</source>
        <translation>Ombrelo - Einstellungen</translation>
    </message>
    <message>
        <source>Ombrelo - Indexing</source>
        <translation>Ombrelo - Indizierung</translation>
    </message>
    <message>
        <source>Ombrelo - Results</source>
        <translation>Ombrelo - Ergebnisse</translation>
    </message>
    <message>
        <source>%1
is open in another Ombrelo window, which did not answer. Close that window, or open the project read-only.</source>
        <translation>%1
ist in einem anderen Ombrelo-Fenster geöffnet, das nicht geantwortet hat. Schließen Sie dieses Fenster oder öffnen Sie das Projekt schreibgeschützt.</translation>
    </message>
    <message>
        <source>The project was not changed.</source>
        <translation>Das Projekt wurde nicht geändert.</translation>
    </message>
    <message>
        <source>%1
already exists. Do you want to replace it?</source>
        <translation>%1
ist bereits vorhanden. Möchten Sie die Datei ersetzen?</translation>
    </message>
    <message>
        <source>%1
is open in another Ombrelo window. Save this project under another name, or close it there first.</source>
        <translation>%1
ist in einem anderen Ombrelo-Fenster geöffnet. Speichern Sie dieses Projekt unter einem anderen Namen oder schließen Sie es zuerst dort.</translation>
    </message>
    <message>
        <source>%1
was changed on disk since it was opened here. Do you want to replace it with this project?</source>
        <translation>%1
wurde auf dem Datenträger geändert, seit es hier geöffnet wurde. Möchten Sie die Datei durch dieses Projekt ersetzen?</translation>
    </message>
    <message>
        <source>The file on disk was not changed.</source>
        <translation>Die Datei auf dem Datenträger wurde nicht geändert.</translation>
    </message>
    <message>
        <source>Untitled</source>
        <translation>Unbenannt</translation>
    </message>
    <message>
        <source>Failed to open project file</source>
        <translation>Die Projektdatei konnte nicht geöffnet werden</translation>
    </message>
    <message>
        <source>Save Project</source>
        <translation>Projekt speichern</translation>
    </message>
    <message>
        <source>Save Project as</source>
        <translation>Projekt speichern unter</translation>
    </message>
    <message>
        <source>Project Saved Successfully</source>
        <translation>Das Projekt wurde gespeichert</translation>
    </message>
    <message>
        <source>Failed to save project file</source>
        <translation>Die Projektdatei konnte nicht gespeichert werden</translation>
    </message>
    <message>
        <source> (read-only)</source>
        <translation> (schreibgeschützt)</translation>
    </message>
    <message>
        <source>All videos of the project are indexed. Index them again with the current settings?</source>
        <translation>Alle Videos des Projekts sind indiziert. Sollen sie mit den aktuellen Einstellungen erneut indiziert werden?</translation>
    </message>
    <message numerus="yes">
        <source>%n movies indexed</source>
        <translation>
            <numerusform>%n Video indiziert</numerusform>
            <numerusform>%n Videos indiziert</numerusform>
        </translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Fehler</translation>
    </message>
</context>
<context>
    <name>ombrelo::desktop::MovieFilter</name>
    <message>
        <source>Videos to index</source>
        <translation>Zu indizierende Videos</translation>
    </message>
</context>
<context>
    <name>ombrelo::desktop::MovieModel</name>
    <message>
        <source>1 video is missing</source>
        <translation>1 Video fehlt</translation>
    </message>
    <message>
        <source>The video is not in its folder any more. Locate... finds it in another.</source>
        <translation>Das Video ist nicht mehr in seinem Ordner. „Suchen...“ findet es in einem anderen.</translation>
    </message>
    <message>
        <source>The thumbnails are not in their folder any more.</source>
        <translation>Die Vorschaubilder sind nicht mehr in ihrem Ordner.</translation>
    </message>
    <message>
        <source>Missing</source>
        <translation>Fehlt</translation>
    </message>
    <message>
        <source>Thumbnails missing</source>
        <translation>Vorschaubilder fehlen</translation>
    </message>
    <message>
        <source>Movie files</source>
        <translation>Videodateien</translation>
    </message>
    <message>
        <source>Length</source>
        <translation>Länge</translation>
    </message>
    <message>
        <source>Images</source>
        <translation>Bilder</translation>
    </message>
    <message>
        <source>Width</source>
        <translation>Breite</translation>
    </message>
    <message>
        <source>Height</source>
        <translation>Höhe</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Fehler</translation>
    </message>
    <message numerus="yes">
        <source>%n videos are missing</source>
        <translation>
            <numerusform>%n Video fehlt</numerusform>
            <numerusform>%n Videos fehlen</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>ombrelo::desktop::ProgressPage</name>
    <message>
        <source>Movie name:</source>
        <translation>Video:</translation>
    </message>
    <message>
        <source>Paused</source>
        <translation>Angehalten</translation>
    </message>
    <message>
        <source>&amp;Back</source>
        <translation>&amp;Zurück</translation>
    </message>
    <message>
        <source>&amp;Next</source>
        <translation>&amp;Weiter</translation>
    </message>
    <message>
        <source>%1 elapsed</source>
        <translation>%1 vergangen</translation>
    </message>
    <message>
        <source>Video %1 of %2</source>
        <translation>Video %1 von %2</translation>
    </message>
    <message>
        <source>, thumbnail %1 of about %2</source>
        <translation>, Vorschaubild %1 von etwa %2</translation>
    </message>
    <message>
        <source>, thumbnail %1</source>
        <translation>, Vorschaubild %1</translation>
    </message>
    <message>
        <source>, about %1 left</source>
        <translation>, noch etwa %1</translation>
    </message>
</context>
<context>
    <name>ombrelo::desktop::PropertyModel</name>
    <message>
        <source>Property</source>
        <translation>Eigenschaft</translation>
    </message>
    <message>
        <source>Value</source>
        <translation>Wert</translation>
    </message>
</context>
<context>
    <name>ombrelo::desktop::ResultsPage</name>
    <message>
        <source>Locate the missing videos</source>
        <translation>Die fehlenden Videos suchen</translation>
    </message>
    <message>
        <source>&amp;Back</source>
        <translation>&amp;Zurück</translation>
    </message>
    <message>
        <source>HTML &amp;Report</source>
        <translation>HTML-Be&amp;richt</translation>
    </message>
    <message>
        <source>Undo</source>
        <translation>Rückgängig</translation>
    </message>
    <message>
        <source>Locate</source>
        <translation>Suchen</translation>
    </message>
    <message>
        <source>None of the missing videos is in %1.</source>
        <translation>Keines der fehlenden Videos ist in %1.</translation>
    </message>
</context>
<context>
    <name>ombrelo::desktop::ReviewWindow</name>
    <message>
        <source>Indexed video</source>
        <translation>Indiziertes Video</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Fehler</translation>
    </message>
</context>
<context>
    <name>ombrelo::desktop::SelectPage</name>
    <message>
        <source>&amp;Next</source>
        <translation>&amp;Weiter</translation>
    </message>
    <message>
        <source>&amp;Settings</source>
        <translation>&amp;Einstellungen</translation>
    </message>
</context>
<context>
    <name>ombrelo::desktop::SettingsPage</name>
    <message>
        <source>Many thumbnails</source>
        <translation>Viele Vorschaubilder</translation>
    </message>
    <message>
        <source>Sample</source>
        <translation>Abtastung</translation>
    </message>
    <message>
        <source>&amp;Advanced...</source>
        <translation>&amp;Erweitert...</translation>
    </message>
    <message>
        <source>Save every</source>
        <translation>Speichern alle</translation>
    </message>
    <message>
        <source>seconds</source>
        <translation>Sekunden</translation>
    </message>
    <message>
        <source>Start after</source>
        <translation>Beginnen nach</translation>
    </message>
    <message>
        <source>Image files</source>
        <translation>Bilddateien</translation>
    </message>
    <message>
        <source>Extract &amp;images to:</source>
        <translation>Bilder speichern &amp;in:</translation>
    </message>
    <message>
        <source>Tessaly image playlist</source>
        <translation>Tessaly-Bildwiedergabeliste</translation>
    </message>
    <message>
        <source>Generate p&amp;laylist to:</source>
        <translation>&amp;Wiedergabeliste erstellen in:</translation>
    </message>
    <message>
        <source>Web page</source>
        <translation>Webseite</translation>
    </message>
    <message>
        <source>Generate &amp;web pages to:</source>
        <translation>Web&amp;seiten erstellen in:</translation>
    </message>
    <message>
        <source>Index photo</source>
        <translation>Indexfoto</translation>
    </message>
    <message>
        <source>Generate index ph&amp;otos to:</source>
        <translation>Index&amp;fotos erstellen in:</translation>
    </message>
    <message>
        <source>Clo&amp;se</source>
        <translation>Sch&amp;ließen</translation>
    </message>
    <message>
        <source>Movie folder</source>
        <translation>Videoordner</translation>
    </message>
    <message>
        <source>Here:</source>
        <translation>Hier:</translation>
    </message>
    <message>
        <source>...</source>
        <translation>...</translation>
    </message>
    <message>
        <source>Choose the folder</source>
        <translation>Den Ordner wählen</translation>
    </message>
    <message>
        <source>&amp;Prev</source>
        <translation>&amp;Zurück</translation>
    </message>
    <message>
        <source>P&amp;rev</source>
        <translation>Zu&amp;rück</translation>
    </message>
    <message>
        <source>&amp;Next</source>
        <translation>&amp;Vor</translation>
    </message>
    <message>
        <source>Ne&amp;xt</source>
        <translation>V&amp;or</translation>
    </message>
    <message>
        <source>Select layout:</source>
        <translation>Layout wählen:</translation>
    </message>
    <message>
        <source>No templates installed</source>
        <translation>Keine Vorlagen installiert</translation>
    </message>
    <message>
        <source>With these settings a video of %1 gives %2 thumbnails (more than %3).

Keep these settings?</source>
        <translation>Mit diesen Einstellungen ergibt ein Video von %1 Länge %2 Vorschaubilder (mehr als %3).

Diese Einstellungen beibehalten?</translation>
    </message>
    <message>
        <source>Browse for Thumbnail folder</source>
        <translation>Ordner für die Vorschaubilder wählen</translation>
    </message>
    <message>
        <source>Browse for IPL folder</source>
        <translation>Ordner für die Wiedergabelisten wählen</translation>
    </message>
    <message>
        <source>Browse for HTML folder</source>
        <translation>Ordner für die Webseiten wählen</translation>
    </message>
    <message>
        <source>Browse for Index Photo folder</source>
        <translation>Ordner für die Indexfotos wählen</translation>
    </message>
</context>
<context>
    <name>ombrelo::desktop::ThumbnailTrash</name>
    <message>
        <source>Failed to delete image %1 : %2</source>
        <translation>Das Bild %1 konnte nicht gelöscht werden: %2</translation>
    </message>
    <message>
        <source>The video of the image %1 is no longer in the project. The picture was kept as %2.</source>
        <translation>Das Video des Bildes %1 ist nicht mehr im Projekt. Das Bild wurde als %2 aufbewahrt.</translation>
    </message>
    <message>
        <source>The image %1 could not be brought back (%2). The picture was kept as %3.</source>
        <translation>Das Bild %1 konnte nicht zurückgeholt werden (%2). Das Bild wurde als %3 aufbewahrt.</translation>
    </message>
</context>
<context>
    <name>ombrelo::desktop::VideosList</name>
    <message>
        <source>Drop videos here</source>
        <translation>Videos hier ablegen</translation>
    </message>
    <message>
        <source>or double-click a file
in the list above</source>
        <translation>oder eine Datei in der Liste
oben doppelklicken</translation>
    </message>
</context>
</TS>
