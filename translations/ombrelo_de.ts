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
    <name>CaptureEngine</name>
    <message>
        <source>Capture stalled...Is the video corrupt? Stand by...</source>
        <translation>Erfassung stockt... Ist das Video beschädigt? Bitte warten...</translation>
    </message>
    <message>
        <source>Capture stalled... Trying to recover in slow mode... This capture will take time.</source>
        <translation>Erfassung stockt... Neuer Versuch im langsamen Modus... Diese Erfassung wird länger dauern.</translation>
    </message>
    <message>
        <source>It is probably not possible to capture this video... Click stop to end capture</source>
        <translation>Dieses Video lässt sich wahrscheinlich nicht erfassen... Klicken Sie auf Stopp, um die Erfassung zu beenden</translation>
    </message>
    <message>
        <source>It is not possible to capture this video... Aborting</source>
        <translation>Dieses Video lässt sich nicht erfassen... Abbruch</translation>
    </message>
    <message>
        <source>The video reader could not be set up.</source>
        <translation>Der Videoleser konnte nicht eingerichtet werden.</translation>
    </message>
    <message>
        <source>The settings take %1 thumbnails of this video, more than %2.</source>
        <translation>Die Einstellungen ergeben %1 Vorschaubilder dieses Videos, mehr als %2.</translation>
    </message>
    <message>
        <source>The settings take %1 thumbnails of this video, more than %2; %3.</source>
        <translation>Die Einstellungen ergeben %1 Vorschaubilder dieses Videos, mehr als %2; %3.</translation>
    </message>
</context>
<context>
    <name>CaptureSettings</name>
    <message>
        <source>LeastNofFrames</source>
        <translation>Mindestanzahl Bilder</translation>
    </message>
    <message>
        <source>Always create at least this number of frames from the video</source>
        <translation>Immer mindestens so viele Bilder aus dem Video erstellen</translation>
    </message>
    <message>
        <source>Jpeg quality</source>
        <translation>JPEG-Qualität</translation>
    </message>
    <message>
        <source>Jpeg image quality 1 (worst) - 100 (best), 85 recommended</source>
        <translation>JPEG-Bildqualität 1 (schlechteste) bis 100 (beste), empfohlen: 85</translation>
    </message>
    <message>
        <source>Scale factor</source>
        <translation>Skalierungsfaktor</translation>
    </message>
    <message>
        <source>Scale factor for screenshots on html pages and index photos. 1 = 100%, 0.5 = 50%. Should be larger than 0 and no more than 2</source>
        <translation>Skalierungsfaktor für die Bilder auf HTML-Seiten und Indexfotos. 1 = 100 %, 0.5 = 50 %. Muss größer als 0 und höchstens 2 sein</translation>
    </message>
    <message>
        <source>CS Width Min</source>
        <translation>Kontaktbogen Mindestbreite</translation>
    </message>
    <message>
        <source>Then smallest possible width in pixels of a generated contact sheet in pixels. If more space is needed the picture will be larger.</source>
        <translation>Die kleinstmögliche Breite eines erzeugten Kontaktbogens in Pixeln. Wird mehr Platz benötigt, wird das Bild breiter.</translation>
    </message>
    <message>
        <source>CS Height Min</source>
        <translation>Kontaktbogen Mindesthöhe</translation>
    </message>
    <message>
        <source>Then smallest possible height in pixels of a generated contact sheet in pixels. If more space is needed the picture will be larger.</source>
        <translation>Die kleinstmögliche Höhe eines erzeugten Kontaktbogens in Pixeln. Wird mehr Platz benötigt, wird das Bild höher.</translation>
    </message>
    <message>
        <source>Name by frame</source>
        <translation>Name nach Bildnummer</translation>
    </message>
    <message>
        <source>Set to 1 to use frame number for thumbnail name instead of the frame time.</source>
        <translation>Auf 1 setzen, um die Bildnummer statt der Bildzeit als Namen des Vorschaubilds zu verwenden.</translation>
    </message>
    <message>
        <source>Name by ImageNo</source>
        <translation>Name nach laufender Nummer</translation>
    </message>
    <message>
        <source>Set to 1 to use integer sequence for the thumbnames. First saved image will have no extension at all.</source>
        <translation>Auf 1 setzen, um die Vorschaubilder fortlaufend zu nummerieren. Das erste gespeicherte Bild erhält gar keinen Zusatz.</translation>
    </message>
    <message>
        <source>Image format</source>
        <translation>Bildformat</translation>
    </message>
    <message>
        <source>Capture to image format (0 - jpg, 1 - bmp).</source>
        <translation>Bildformat der Erfassung (0 - jpg, 1 - bmp).</translation>
    </message>
    <message>
        <source>Sample Duration</source>
        <translation>Erfassungsdauer</translation>
    </message>
    <message>
        <source>Limit capture to a number of seconds after capture start (0 for the entire file)</source>
        <translation>Erfassung auf so viele Sekunden nach ihrem Beginn begrenzen (0 für die ganze Datei)</translation>
    </message>
    <message>
        <source>Deinterlace</source>
        <translation>Deinterlacing</translation>
    </message>
    <message>
        <source>Set to 0 to take frames of interlaced video (camcorders, TV recordings) with both fields as they are, which shows combed edges wherever something moves. 1 makes each such frame one clean picture.</source>
        <translation>Auf 0 setzen, um Bilder aus Zeilensprung-Video (Camcorder, TV-Aufnahmen) mit beiden Halbbildern unverändert zu übernehmen; dann zeigen sich Kammartefakte, wo sich etwas bewegt. Mit 1 wird jedes solche Bild zu einem sauberen Bild.</translation>
    </message>
    <message>
        <source>Start after</source>
        <translation>Beginnen nach</translation>
    </message>
    <message>
        <source>Save every</source>
        <translation>Speichern alle</translation>
    </message>
    <message>
        <source>a whole number larger than %1 and at most %2</source>
        <translation>eine ganze Zahl größer als %1 und höchstens %2</translation>
    </message>
    <message>
        <source>a number larger than %1 and at most %2</source>
        <translation>eine Zahl größer als %1 und höchstens %2</translation>
    </message>
    <message>
        <source>a whole number from %1 to %2</source>
        <translation>eine ganze Zahl von %1 bis %2</translation>
    </message>
    <message>
        <source>a number from %1 to %2</source>
        <translation>eine Zahl von %1 bis %2</translation>
    </message>
    <message>
        <source>%1 must be %2.</source>
        <comment>a setting and its range</comment>
        <translation>%1 muss %2 sein.</translation>
    </message>
    <message>
        <source>Unknown setting %1.</source>
        <translation>Unbekannte Einstellung %1.</translation>
    </message>
    <message>
        <source>%1 needs a whole number.</source>
        <translation>%1 erfordert eine ganze Zahl.</translation>
    </message>
    <message>
        <source>%1 needs a number.</source>
        <translation>%1 erfordert eine Zahl.</translation>
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
    <name>CrashRecovery</name>
    <message>
        <source>The next movie in the list is
%1
If the crash happened during video indexing the codec used by the file is propably the cause
Remove the video from the list?</source>
        <translation>Das nächste Video in der Liste ist
%1
Wenn der Absturz beim Indizieren eines Videos geschah, ist wahrscheinlich der Codec dieser Datei die Ursache.
Soll das Video aus der Liste entfernt werden?</translation>
    </message>
    <message>
        <source>Remove video</source>
        <translation>Video entfernen</translation>
    </message>
</context>
<context>
    <name>CrashReport</name>
    <message>
        <source>Sending crash log</source>
        <translation>Absturzprotokoll senden</translation>
    </message>
    <message>
        <source>Opening internet connection...</source>
        <translation>Internetverbindung wird geöffnet...</translation>
    </message>
    <message>
        <source>Failed to connect to internet</source>
        <translation>Die Verbindung mit dem Internet ist fehlgeschlagen</translation>
    </message>
    <message>
        <source>Connecting to server...</source>
        <translation>Verbindung zum Server wird hergestellt...</translation>
    </message>
    <message>
        <source>Failed to create ftp session</source>
        <translation>Die FTP-Sitzung konnte nicht aufgebaut werden</translation>
    </message>
    <message>
        <source>Writing crash log...</source>
        <translation>Absturzprotokoll wird geschrieben...</translation>
    </message>
    <message>
        <source>Failed to open ftp file for writing</source>
        <translation>Die FTP-Datei konnte nicht zum Schreiben geöffnet werden</translation>
    </message>
    <message>
        <source>Failed to write crash log to ftp file</source>
        <translation>Das Absturzprotokoll konnte nicht in die FTP-Datei geschrieben werden</translation>
    </message>
    <message>
        <source>Writing crash dump...</source>
        <translation>Speicherabbild wird geschrieben...</translation>
    </message>
    <message>
        <source>Failed to write crash dmp to ftp file</source>
        <translation>Das Speicherabbild konnte nicht in die FTP-Datei geschrieben werden</translation>
    </message>
    <message>
        <source>Crashlog uploaded</source>
        <translation>Absturzprotokoll hochgeladen</translation>
    </message>
    <message>
        <source>Crashlog not uploaded</source>
        <translation>Absturzprotokoll nicht hochgeladen</translation>
    </message>
    <message>
        <source>Thank you for helping to improve Ombrelo!</source>
        <translation>Vielen Dank, dass Sie helfen, Ombrelo zu verbessern!</translation>
    </message>
</context>
<context>
    <name>FfmpegPipeline</name>
    <message>
        <source>The %1 decoder of this system&apos;s FFmpeg refused the video stream.</source>
        <translation>Der %1-Decoder des FFmpeg dieses Systems hat den Videostrom abgelehnt.</translation>
    </message>
</context>
<context>
    <name>FileRead</name>
    <message>
        <source>not a regular file</source>
        <translation>keine reguläre Datei</translation>
    </message>
    <message>
        <source>larger than %1 MB</source>
        <translation>größer als %1 MB</translation>
    </message>
</context>
<context>
    <name>FrameOutput</name>
    <message>
        <source>the frame does not hold the picture</source>
        <translation>das Einzelbild enthält nicht das ganze Bild</translation>
    </message>
    <message>
        <source>Failed to write JPEG image to:
&apos;%1&apos;</source>
        <translation>Das JPEG-Bild konnte nicht geschrieben werden:
&apos;%1&apos;</translation>
    </message>
    <message>
        <source>Failed to write JPEG image to:
&apos;%1&apos; - %2</source>
        <translation>Das JPEG-Bild konnte nicht geschrieben werden:
&apos;%1&apos; - %2</translation>
    </message>
</context>
<context>
    <name>HtmlRenderer</name>
    <message>
        <source>Fatal error. We are out of memory. Failed to create a %1x%2 image</source>
        <translation>Schwerer Fehler: Der Arbeitsspeicher reicht nicht aus. Ein Bild mit %1x%2 Pixeln konnte nicht erstellt werden</translation>
    </message>
    <message>
        <source>Failed to save jpeg image &apos;%1&apos; of size %2x%3 - Code: %4</source>
        <translation>Das JPEG-Bild &apos;%1&apos; der Größe %2x%3 konnte nicht gespeichert werden - Code: %4</translation>
    </message>
</context>
<context>
    <name>HtmlView</name>
    <message>
        <source>Page not found</source>
        <translation>Seite nicht gefunden</translation>
    </message>
    <message>
        <source>This page could not be shown</source>
        <translation>Diese Seite kann nicht angezeigt werden</translation>
    </message>
</context>
<context>
    <name>IndexPhoto</name>
    <message>
        <source>Out of memory</source>
        <translation>Nicht genügend Arbeitsspeicher</translation>
    </message>
    <message>
        <source>Failed to generate the index photo page for &apos;%1&apos;</source>
        <translation>Die Seite für das Indexfoto &apos;%1&apos; konnte nicht erzeugt werden</translation>
    </message>
    <message>
        <source>Failed to render index photo &apos;%1&apos; - the page could not be loaded</source>
        <translation>Das Indexfoto &apos;%1&apos; konnte nicht gezeichnet werden - die Seite ließ sich nicht laden</translation>
    </message>
    <message>
        <source>Failed to render index photo &apos;%1&apos; - the page did not become ready</source>
        <translation>Das Indexfoto &apos;%1&apos; konnte nicht gezeichnet werden - die Seite wurde nicht fertig</translation>
    </message>
</context>
<context>
    <name>Indexer</name>
    <message>
        <source>cannot write the batch&apos;s project file</source>
        <translation>die Projektdatei des Stapels kann nicht geschrieben werden</translation>
    </message>
    <message>
        <source>Interrupted: stopping the capture</source>
        <translation>Unterbrochen: Die Erfassung wird beendet</translation>
    </message>
    <message>
        <source>no result (an unreadable answer)</source>
        <translation>kein Ergebnis (eine unlesbare Antwort)</translation>
    </message>
    <message>
        <source>no result (exit status %1)</source>
        <translation>kein Ergebnis (Exit-Status %1)</translation>
    </message>
    <message>
        <source>the batch sent what is no request</source>
        <translation>der Stapel hat etwas gesendet, das keine Anfrage ist</translation>
    </message>
    <message>
        <source>cannot read the batch&apos;s project</source>
        <translation>das Projekt des Stapels kann nicht gelesen werden</translation>
    </message>
    <message>
        <source>the batch sent no movie record</source>
        <translation>der Stapel hat keinen Videodatensatz gesendet</translation>
    </message>
    <message>
        <source>K/N, a part K from 1 to N of N parts, N at most %1</source>
        <translation>K/N, der Teil K von N Teilen, K von 1 bis N, N höchstens %1</translation>
    </message>
    <message>
        <source>option %1 takes no value</source>
        <translation>die Option %1 nimmt keinen Wert an</translation>
    </message>
    <message>
        <source>unknown option %1</source>
        <translation>unbekannte Option %1</translation>
    </message>
    <message>
        <source>option %1 needs a value</source>
        <translation>die Option %1 benötigt einen Wert</translation>
    </message>
    <message>
        <source>bad value for %1: &apos;%2&apos;</source>
        <translation>ungültiger Wert für %1: &apos;%2&apos;</translation>
    </message>
    <message>
        <source>bad value for %1: &apos;%2&apos; (%3)</source>
        <translation>ungültiger Wert für %1: &apos;%2&apos; (%3)</translation>
    </message>
    <message>
        <source>Usage: ombrelo-index [OPTIONS] [PATH...]
       ombrelo-index --merge OUT.obx PART.obx...
       ombrelo-index --thumbnail [-s SIZE] [--time-limit SEC] INPUT OUTPUT.png

Indexes videos: saves thumbnails on a schedule, then makes for each video an
image playlist, a web page and an index photo.

Each PATH is a video file (added whatever its name) or a folder (its videos
are added, recursively, by their extension).

Options:
  --project FILE      load a project file first (its movies and settings)
  --settings FILE     take only the settings of a project file
  --save FILE         write the project to FILE when the run ends
  --out DIR           put the outputs in DIR/Thumbs/, DIR/Html/, DIR/Ipl/
                      and DIR/Index/
  --start-after SEC   take the first thumbnail SEC seconds into a video
  --every SEC         take a thumbnail every SEC seconds
  --least N           take at least N thumbnails from every video
  --quality Q         JPEG quality, 1 to 100
  --format jpg|bmp    thumbnail file format
  --skip-blank        replace a thumbnail that is nearly one flat colour
                      (black, a fade, a title card) by the first frame
                      after it that is not, within half the interval
  --no-deinterlace    take frames of interlaced video with both fields as
                      they are (combed edges where something moves)
  --allow-many-thumbnails
                      take more than 10000 thumbnails of a video when the
                      settings ask for that (a video that would get more
                      fails without it)
  --no-html           make no web pages
  --no-playlist       make no image playlists
  --no-index-photo    make no index photos
  --html-template NAME   web page template (see --list-templates)
  --index-template NAME  index photo template (see --list-templates)
  --list-templates    list the templates with their titles
  --jobs N            index up to N videos at the same time, in N worker
                      processes (default: the number of processors)
  --shard K/N         index only the K-th of N parts of the videos (K from 1);
                      a video&apos;s part follows from its path below the folder
                      named, so it stays when videos are added
  --merge OUT         join the projects named as PATHs into the new project
                      file OUT (an existing OUT is never replaced)
  -q, --quiet         print no progress and no summary, only errors
  --json              print one JSON object per video on standard output
                      (path, status, images, outputs, error); everything
                      else goes to standard error
  --version           show the version and build date
  -h, --help          show this text

Thumbnails for file managers (--thumbnail comes first):
  --thumbnail         write one picture of the video INPUT (a path or a
                      file:// address) to OUTPUT.png: the key frame at or
                      after a quarter of the video (a later one when it is
                      one flat colour), upright, in its shape, HDR in SDR
                      colours; exit status 1 and no file when there is none
  -s, --size SIZE     its longer side at most SIZE pixels, 1 to 4096
                      (default 256; a smaller video keeps its size)
  --time-limit SEC    give up after SEC seconds (default 10)

Without --project or --settings the default settings are used. Ctrl+C stops
the capture, saves the project (with --save) and ends the run. With more than
one job, a video whose worker crashes or makes no progress for ten minutes
is marked failed and the others go on.

Exit status: 0 when every video was indexed, 1 when any was not, 2 on a
usage error.
</source>
        <translation>Aufruf: ombrelo-index [OPTIONEN] [PFAD...]
        ombrelo-index --merge AUS.obx TEIL.obx...
        ombrelo-index --thumbnail [-s GRÖSSE] [--time-limit SEK] EINGABE AUSGABE.png

Indiziert Videos: speichert Vorschaubilder nach einem Zeitplan und erstellt dann
für jedes Video eine Bild-Wiedergabeliste, eine Webseite und ein Indexfoto.

Jeder PFAD ist eine Videodatei (wird unabhängig von ihrem Namen hinzugefügt)
oder ein Ordner (seine Videos werden rekursiv anhand ihrer Endung hinzugefügt).

Optionen:
  --project DATEI     zuerst eine Projektdatei laden (ihre Videos und
                      Einstellungen)
  --settings DATEI    nur die Einstellungen einer Projektdatei übernehmen
  --save DATEI        das Projekt am Ende des Laufs in DATEI schreiben
  --out ORDNER        die Ausgaben in ORDNER/Thumbs/, ORDNER/Html/,
                      ORDNER/Ipl/ und ORDNER/Index/ ablegen
  --start-after SEK   das erste Vorschaubild SEK Sekunden nach Videobeginn
                      erfassen
  --every SEK         alle SEK Sekunden ein Vorschaubild erfassen
  --least N           von jedem Video mindestens N Vorschaubilder erfassen
  --quality Q         JPEG-Qualität, 1 bis 100
  --format jpg|bmp    Dateiformat der Vorschaubilder
  --skip-blank        ein fast einfarbiges Vorschaubild (Schwarz, eine
                      Blende, eine Texttafel) durch das erste nicht
                      einfarbige Bild danach ersetzen, innerhalb des halben
                      Abstands
  --no-deinterlace    Bilder aus Zeilensprung-Video mit beiden Halbbildern
                      unverändert übernehmen (Kammartefakte, wo sich etwas
                      bewegt)
  --allow-many-thumbnails
                      mehr als 10000 Vorschaubilder eines Videos erfassen,
                      wenn die Einstellungen das verlangen (ohne diese Option
                      schlägt ein Video fehl, das mehr bekäme)
  --no-html           keine Webseiten erstellen
  --no-playlist       keine Bild-Wiedergabelisten erstellen
  --no-index-photo    keine Indexfotos erstellen
  --html-template NAME   Webseitenvorlage (siehe --list-templates)
  --index-template NAME  Indexfotovorlage (siehe --list-templates)
  --list-templates    die Vorlagen mit ihren Titeln auflisten
  --jobs N            bis zu N Videos gleichzeitig indizieren, in N
                      Arbeitsprozessen (Vorgabe: die Anzahl der Prozessoren)
  --shard K/N         nur den K-ten von N Teilen der Videos indizieren (K ab 1);
                      der Teil eines Videos ergibt sich aus seinem Pfad
                      unterhalb des angegebenen Ordners und bleibt daher
                      gleich, wenn Videos hinzukommen
  --merge AUS         die als PFAD angegebenen Projekte zur neuen Projektdatei
                      AUS zusammenführen (eine vorhandene Datei AUS wird nie
                      ersetzt)
  -q, --quiet         keinen Fortschritt und keine Zusammenfassung ausgeben,
                      nur Fehler
  --json              ein JSON-Objekt je Video auf der Standardausgabe
                      ausgeben (path, status, images, outputs, error); alles
                      andere geht auf die Standardfehlerausgabe
  --version           Version und Erstellungsdatum anzeigen
  -h, --help          diesen Text anzeigen

Vorschaubilder für Dateimanager (--thumbnail steht an erster Stelle):
  --thumbnail         ein Bild des Videos EINGABE (ein Pfad oder eine
                      file://-Adresse) in AUSGABE.png schreiben: das
                      Schlüsselbild bei oder nach einem Viertel des Videos
                      (ein späteres, wenn es einfarbig ist), aufrecht, in
                      seinem Seitenverhältnis, HDR in SDR-Farben; Exit-Status
                      1 und keine Datei, wenn es keines gibt
  -s, --size GRÖSSE   seine längere Seite höchstens GRÖSSE Pixel, 1 bis 4096
                      (Vorgabe 256; ein kleineres Video behält seine Größe)
  --time-limit SEK    nach SEK Sekunden aufgeben (Vorgabe 10)

Ohne --project oder --settings gelten die Standardeinstellungen. Strg+C beendet
die Erfassung, speichert das Projekt (mit --save) und beendet den Lauf. Bei mehr
als einem Job wird ein Video, dessen Arbeitsprozess abstürzt oder zehn Minuten
lang keinen Fortschritt macht, als fehlgeschlagen markiert, und die anderen
laufen weiter.

Exit-Status: 0, wenn jedes Video indiziert wurde, 1, wenn eines nicht indiziert
wurde, 2 bei einem Aufruffehler.
</translation>
    </message>
    <message>
        <source>Try &apos;ombrelo-index --help&apos;.</source>
        <translation>Weitere Informationen mit &apos;ombrelo-index --help&apos;.</translation>
    </message>
    <message>
        <source>no videos in &apos;%1&apos;</source>
        <translation>keine Videos in &apos;%1&apos;</translation>
    </message>
    <message>
        <source>no videos in part %1/%2</source>
        <translation>keine Videos in Teil %1/%2</translation>
    </message>
    <message>
        <source>cannot read the project file &apos;%1&apos;</source>
        <translation>die Projektdatei &apos;%1&apos; kann nicht gelesen werden</translation>
    </message>
    <message>
        <source>cannot read the settings of &apos;%1&apos;</source>
        <translation>die Einstellungen von &apos;%1&apos; können nicht gelesen werden</translation>
    </message>
    <message>
        <source>no videos to index</source>
        <translation>keine Videos zum Indizieren</translation>
    </message>
    <message>
        <source>cannot write the project file &apos;%1&apos;</source>
        <translation>die Projektdatei &apos;%1&apos; kann nicht geschrieben werden</translation>
    </message>
    <message>
        <source>--merge OUT takes the project files of the parts and no --project, --settings, --save or --shard</source>
        <translation>--merge OUT nimmt die Projektdateien der Teile und kein --project, --settings, --save oder --shard</translation>
    </message>
    <message>
        <source>--allow-many-thumbnails takes them all the same</source>
        <translation>mit --allow-many-thumbnails werden sie trotzdem alle erfasst</translation>
    </message>
    <message>
        <source>waiting</source>
        <comment>a video&apos;s status</comment>
        <translation>wartend</translation>
    </message>
    <message>
        <source>stopped</source>
        <comment>a video&apos;s status</comment>
        <translation>angehalten</translation>
    </message>
    <message>
        <source>done</source>
        <comment>a video&apos;s status</comment>
        <translation>fertig</translation>
    </message>
    <message>
        <source>failed</source>
        <comment>a video&apos;s status</comment>
        <translation>fehlgeschlagen</translation>
    </message>
    <message>
        <source>unknown</source>
        <comment>a video&apos;s status</comment>
        <translation>unbekannt</translation>
    </message>
    <message>
        <source>%1: %2, %3</source>
        <comment>a video: its status, its images</comment>
        <translation>%1: %2, %3</translation>
    </message>
    <message>
        <source>thumbnails %1</source>
        <translation>Vorschaubilder %1</translation>
    </message>
    <message>
        <source>playlist %1</source>
        <translation>Wiedergabeliste %1</translation>
    </message>
    <message>
        <source>web page %1</source>
        <translation>Webseite %1</translation>
    </message>
    <message>
        <source>index photo %1</source>
        <translation>Indexfoto %1</translation>
    </message>
    <message>
        <source>error: %1</source>
        <translation>Fehler: %1</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <comment>a message and its reason</comment>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>&apos;%1&apos; exists already; it is left as it is (choose another name)</source>
        <translation>&apos;%1&apos; existiert bereits und bleibt unverändert (wählen Sie einen anderen Namen)</translation>
    </message>
    <message>
        <source>cannot write the project file &apos;%1&apos;: %2</source>
        <translation>die Projektdatei &apos;%1&apos; kann nicht geschrieben werden: %2</translation>
    </message>
    <message>
        <source>&apos;%1&apos; is in more than one part; kept once, from &apos;%2&apos;</source>
        <translation>&apos;%1&apos; ist in mehr als einem Teil; einmal übernommen, aus &apos;%2&apos;</translation>
    </message>
    <message>
        <source>(none)</source>
        <comment>no templates</comment>
        <translation>(keine)</translation>
    </message>
    <message>
        <source>Web page templates (--html-template):</source>
        <translation>Webseitenvorlagen (--html-template):</translation>
    </message>
    <message>
        <source>Index photo templates (--index-template):</source>
        <translation>Indexfotovorlagen (--index-template):</translation>
    </message>
    <message>
        <source>none</source>
        <comment>no templates</comment>
        <translation>keine</translation>
    </message>
    <message>
        <source>no web page template &apos;%1&apos;; there are: %2</source>
        <translation>keine Webseitenvorlage &apos;%1&apos;; vorhanden sind: %2</translation>
    </message>
    <message>
        <source>no index photo template &apos;%1&apos;; there are: %2</source>
        <translation>keine Indexfotovorlage &apos;%1&apos;; vorhanden sind: %2</translation>
    </message>
    <message numerus="yes">
        <source>%n image</source>
        <translation>
            <numerusform>%n Bild</numerusform>
            <numerusform>%n Bilder</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n images</source>
        <translation>
            <numerusform>%n Bild</numerusform>
            <numerusform>%n Bilder</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Indexed %1 (%n image)</source>
        <translation>
            <numerusform>%1 indiziert (%n Bild)</numerusform>
            <numerusform>%1 indiziert (%n Bilder)</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Indexed %1 (%n images)</source>
        <translation>
            <numerusform>%1 indiziert (%n Bild)</numerusform>
            <numerusform>%1 indiziert (%n Bilder)</numerusform>
        </translation>
    </message>
    <message>
        <source>Index photo %1</source>
        <translation>Indexfoto %1</translation>
    </message>
    <message>
        <source>No index photo for %1</source>
        <translation>Kein Indexfoto für %1</translation>
    </message>
    <message>
        <source>A thumbnail could not be written: check that the output folder exists and is writable, and that the disk is not full.</source>
        <translation>Ein Vorschaubild konnte nicht geschrieben werden: Prüfen Sie, ob der Ausgabeordner existiert und beschreibbar ist und ob der Datenträger nicht voll ist.</translation>
    </message>
    <message>
        <source>A video could not be opened: check that the file exists and is a video.</source>
        <translation>Ein Video konnte nicht geöffnet werden: Prüfen Sie, ob die Datei existiert und ein Video ist.</translation>
    </message>
    <message>
        <source>See the help page %1</source>
        <translation>Siehe die Hilfeseite %1</translation>
    </message>
    <message>
        <source>No installed decoder can play &apos;%1&apos;. Codec help: %2</source>
        <translation>Kein installierter Decoder kann &apos;%1&apos; abspielen. Codec-Hilfe: %2</translation>
    </message>
    <message>
        <source>Decoding problems: these videos need missing components (video codecs) to play:</source>
        <translation>Probleme beim Dekodieren: Diese Videos benötigen fehlende Komponenten (Video-Codecs) zum Abspielen:</translation>
    </message>
    <message>
        <source>%1  codec help: %2</source>
        <translation>%1  Codec-Hilfe: %2</translation>
    </message>
    <message>
        <source>no thumbnail for %1: %2</source>
        <translation>kein Vorschaubild für %1: %2</translation>
    </message>
    <message>
        <source>usage: ombrelo-index --thumbnail [-s SIZE] [--time-limit SECONDS] INPUT OUTPUT
</source>
        <translation>Aufruf: ombrelo-index --thumbnail [-s GRÖSSE] [--time-limit SEKUNDEN] EINGABE AUSGABE
</translation>
    </message>
    <message>
        <source>cannot read it</source>
        <translation>sie kann nicht gelesen werden</translation>
    </message>
    <message>
        <source>not a regular file</source>
        <translation>keine reguläre Datei</translation>
    </message>
    <message>
        <source>not enough memory for its pictures</source>
        <translation>nicht genug Arbeitsspeicher für seine Bilder</translation>
    </message>
    <message>
        <source>cannot write the output</source>
        <translation>die Ausgabe kann nicht geschrieben werden</translation>
    </message>
</context>
<context>
    <name>JpegWriter</name>
    <message>
        <source>the picture is larger than a JPEG file allows</source>
        <translation>das Bild ist größer, als eine JPEG-Datei erlaubt</translation>
    </message>
    <message>
        <source>unsupported pixel format</source>
        <translation>nicht unterstütztes Pixelformat</translation>
    </message>
    <message>
        <source>rows that do not belong to the picture</source>
        <translation>Zeilen, die nicht zum Bild gehören</translation>
    </message>
    <message>
        <source>the picture has rows missing</source>
        <translation>dem Bild fehlen Zeilen</translation>
    </message>
</context>
<context>
    <name>MediaError</name>
    <message>
        <source>Unspecified error.</source>
        <translation>Unbekannter Fehler.</translation>
    </message>
    <message>
        <source>Operation aborted.</source>
        <translation>Vorgang abgebrochen.</translation>
    </message>
    <message>
        <source>Invalid pointer.</source>
        <translation>Ungültiger Zeiger.</translation>
    </message>
    <message>
        <source>Not enough memory is available to complete this operation.</source>
        <translation>Für diesen Vorgang ist nicht genügend Arbeitsspeicher verfügbar.</translation>
    </message>
    <message>
        <source>The parameter is incorrect.</source>
        <translation>Der Parameter ist falsch.</translation>
    </message>
    <message>
        <source>The system cannot find the file specified.</source>
        <translation>Die angegebene Datei wurde nicht gefunden.</translation>
    </message>
    <message>
        <source>Access is denied.</source>
        <translation>Zugriff verweigert.</translation>
    </message>
    <message>
        <source>The file has no video stream that can be decoded.</source>
        <translation>Die Datei enthält keinen Videostrom, der sich dekodieren lässt.</translation>
    </message>
    <message>
        <source>The media type of this file is not recognized.</source>
        <translation>Der Medientyp dieser Datei wird nicht erkannt.</translation>
    </message>
    <message>
        <source>Cannot play back the file. The format is not supported.</source>
        <translation>Die Datei kann nicht wiedergegeben werden. Das Format wird nicht unterstützt.</translation>
    </message>
    <message>
        <source>The operation cannot be performed because no video stream has been connected.</source>
        <translation>Der Vorgang kann nicht ausgeführt werden, weil kein Videostrom verbunden ist.</translation>
    </message>
    <message>
        <source>The operation could not be performed because the video is in the wrong state.</source>
        <translation>Der Vorgang konnte nicht ausgeführt werden, weil sich das Video im falschen Zustand befindet.</translation>
    </message>
    <message>
        <source>The file format is invalid.</source>
        <translation>Das Dateiformat ist ungültig.</translation>
    </message>
</context>
<context>
    <name>MediaInput</name>
    <message>
        <source>an HLS playlist (HTTP Live Streaming)</source>
        <translation>eine HLS-Wiedergabeliste (HTTP Live Streaming)</translation>
    </message>
    <message>
        <source>a DASH manifest (MPEG-DASH)</source>
        <translation>ein DASH-Manifest (MPEG-DASH)</translation>
    </message>
    <message>
        <source>an FFmpeg concat list (ffconcat)</source>
        <translation>eine FFmpeg-Verkettungsliste (ffconcat)</translation>
    </message>
    <message>
        <source>an image sequence (a picture file name that numbers further pictures)</source>
        <translation>eine Bildfolge (ein Bilddateiname, der weitere Bilder durchnummeriert)</translation>
    </message>
    <message>
        <source>an IMF composition playlist</source>
        <translation>eine IMF-Composition-Playlist</translation>
    </message>
    <message>
        <source>a session description (SDP) of a network stream</source>
        <translation>eine Sitzungsbeschreibung (SDP) eines Netzwerkstroms</translation>
    </message>
    <message>
        <source>an AviSynth script</source>
        <translation>ein AviSynth-Skript</translation>
    </message>
    <message>
        <source>a VapourSynth script</source>
        <translation>ein VapourSynth-Skript</translation>
    </message>
    <message>
        <source>The file cannot be read: %1.</source>
        <translation>Die Datei kann nicht gelesen werden: %1.</translation>
    </message>
    <message>
        <source>The file is empty.</source>
        <translation>Die Datei ist leer.</translation>
    </message>
    <message>
        <source>a named pipe</source>
        <translation>eine benannte Pipe</translation>
    </message>
    <message>
        <source>a socket</source>
        <translation>ein Socket</translation>
    </message>
    <message>
        <source>a device</source>
        <translation>ein Gerät</translation>
    </message>
    <message>
        <source>The file cannot be read: it is %1, not a regular file.</source>
        <translation>Die Datei kann nicht gelesen werden: Sie ist %1, keine reguläre Datei.</translation>
    </message>
    <message>
        <source>an %1 file</source>
        <translation>eine %1-Datei</translation>
    </message>
    <message>
        <source>a %1 file</source>
        <translation>eine %1-Datei</translation>
    </message>
    <message>
        <source>The file is still being written: it is %1 that ends before its header does, and it grew while it was opened. Index it again when it is complete.</source>
        <translation>Die Datei wird noch geschrieben: Sie ist %1, die bereits innerhalb ihres Dateikopfs endet, und sie ist beim Öffnen gewachsen. Indizieren Sie sie erneut, wenn sie vollständig ist.</translation>
    </message>
    <message>
        <source>The file is cut short or still being written: it is %1 that ends before its header does, and it was changed a moment ago. Index it again when it is complete.</source>
        <translation>Die Datei ist unvollständig oder wird noch geschrieben: Sie ist %1, die bereits innerhalb ihres Dateikopfs endet, und sie wurde gerade eben geändert. Indizieren Sie sie erneut, wenn sie vollständig ist.</translation>
    </message>
    <message>
        <source>The file is cut short: it is %1 that ends before its header does.</source>
        <translation>Die Datei ist unvollständig: Sie ist %1, die bereits innerhalb ihres Dateikopfs endet.</translation>
    </message>
    <message>
        <source>The file is %1 that names other files to read: only the file itself is read.</source>
        <translation>Die Datei ist %1 und nennt weitere zu lesende Dateien: Gelesen wird nur die Datei selbst.</translation>
    </message>
    <message>
        <source>The file is damaged: it is %1 whose header cannot be read (%2).</source>
        <translation>Die Datei ist beschädigt: Sie ist %1, deren Dateikopf nicht gelesen werden kann (%2).</translation>
    </message>
    <message>
        <source>an unknown format</source>
        <translation>einem unbekannten Format</translation>
    </message>
    <message>
        <source>%1 and %2</source>
        <comment>the last two of a list</comment>
        <translation>%1 und %2</translation>
    </message>
    <message>
        <source>%1, %2</source>
        <comment>a list</comment>
        <translation>%1, %2</translation>
    </message>
    <message>
        <source>The file is %1, which names other files to read: only the file itself is read.</source>
        <translation>Die Datei ist %1 und nennt weitere zu lesende Dateien: Gelesen wird nur die Datei selbst.</translation>
    </message>
    <message>
        <source>audio (%1)</source>
        <translation>Audio (%1)</translation>
    </message>
    <message>
        <source>subtitles</source>
        <translation>Untertitel</translation>
    </message>
    <message>
        <source>a cover picture</source>
        <translation>ein Titelbild</translation>
    </message>
    <message>
        <source>data</source>
        <translation>Daten</translation>
    </message>
    <message>
        <source>The file has no video stream: it holds no streams at all.</source>
        <translation>Die Datei hat keinen Videostrom: Sie enthält überhaupt keine Ströme.</translation>
    </message>
    <message>
        <source>The file has no video stream: it holds only %1.</source>
        <translation>Die Datei hat keinen Videostrom: Sie enthält nur %1.</translation>
    </message>
    <message>
        <source>No installed decoder can play this video: the FFmpeg libraries of this system cannot decode %1 video (the codec help page codecs.htm names the Debian packages that bring more decoders).</source>
        <translation>Kein installierter Decoder kann dieses Video abspielen: Die FFmpeg-Bibliotheken dieses Systems können Video in %1 nicht dekodieren (die Codec-Hilfeseite codecs.htm nennt die Debian-Pakete, die weitere Decoder mitbringen).</translation>
    </message>
    <message>
        <source>The video stream is damaged: it gives no picture size.</source>
        <translation>Der Videostrom ist beschädigt: Er gibt keine Bildgröße an.</translation>
    </message>
    <message>
        <source>The video&apos;s pictures are too large: %1 x %2 pixels, more than the %3 megapixels a picture may have.</source>
        <translation>Die Bilder des Videos sind zu groß: %1 x %2 Pixel, mehr als die %3 Megapixel, die ein Bild haben darf.</translation>
    </message>
</context>
<context>
    <name>Message</name>
    <message>
        <source>Error</source>
        <translation>Fehler</translation>
    </message>
</context>
<context>
    <name>OutputNaming</name>
    <message>
        <source>Invalid characters in filename. Name changed to : %1</source>
        <translation>Ungültige Zeichen im Dateinamen. Name geändert in: %1</translation>
    </message>
</context>
<context>
    <name>Playlist</name>
    <message>
        <source>This is no image playlist (no &lt;imageplaylist&gt; element).</source>
        <translation>Dies ist keine Bild-Wiedergabeliste (kein &lt;imageplaylist&gt;-Element).</translation>
    </message>
</context>
<context>
    <name>ProjectFile</name>
    <message>
        <source>Missing %1</source>
        <translation>%1 fehlt</translation>
    </message>
    <message>
        <source>Format error : missing %1</source>
        <translation>Formatfehler: %1 fehlt</translation>
    </message>
    <message>
        <source>Not a project file</source>
        <translation>Keine Projektdatei</translation>
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
    <name>Regeneration</name>
    <message>
        <source>The image %1 was not deleted: it is not one of this video&apos;s thumbnails in its thumbnail folder.</source>
        <translation>Das Bild %1 wurde nicht gelöscht: Es ist keines der Vorschaubilder dieses Videos in dessen Vorschaubildordner.</translation>
    </message>
    <message>
        <source>Failed to delete image %1 : %2</source>
        <translation>Das Bild %1 konnte nicht gelöscht werden: %2</translation>
    </message>
    <message>
        <source>(the output settings name %1)</source>
        <translation>(die Ausgabeeinstellungen nennen %1)</translation>
    </message>
    <message>
        <source>These outputs of %1 were not written again, because they are not where the output settings put them:
%2</source>
        <translation>Diese Ausgaben von %1 wurden nicht neu geschrieben, weil sie nicht dort liegen, wo die Ausgabeeinstellungen sie ablegen:
%2</translation>
    </message>
</context>
<context>
    <name>Report</name>
    <message>
        <source>Html report saved</source>
        <translation>HTML-Bericht gespeichert</translation>
    </message>
    <message>
        <source>Html report saved

Do you want to view the report now?</source>
        <translation>HTML-Bericht gespeichert

Möchten Sie den Bericht jetzt ansehen?</translation>
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
    <name>TemplateCatalogue</name>
    <message>
        <source>Template: %1</source>
        <translation>Vorlage: %1</translation>
    </message>
</context>
<context>
    <name>TemplateData</name>
    <message>
        <source>Failed to open html file (%1) for writing, error : %2</source>
        <translation>Die HTML-Datei (%1) konnte nicht zum Schreiben geöffnet werden, Fehler: %2</translation>
    </message>
</context>
<context>
    <name>ThumbnailGrab</name>
    <message>
        <source>no frame within the time limit</source>
        <translation>kein Bild innerhalb der Zeitgrenze</translation>
    </message>
    <message>
        <source>out of memory</source>
        <translation>nicht genug Arbeitsspeicher</translation>
    </message>
    <message>
        <source>not a media file that can be read</source>
        <translation>keine lesbare Mediendatei</translation>
    </message>
    <message>
        <source>no picture size</source>
        <translation>keine Bildgröße</translation>
    </message>
    <message>
        <source>no video stream that can be decoded</source>
        <translation>kein Videostrom, der sich dekodieren lässt</translation>
    </message>
    <message>
        <source>no frame could be decoded</source>
        <translation>kein Bild ließ sich dekodieren</translation>
    </message>
</context>
<context>
    <name>WorkflowController</name>
    <message>
        <source>the file was cut short while it was read (%1 of its %2 bytes are left)</source>
        <translation>die Datei wurde während des Lesens gekürzt (von ihren %2 Bytes sind noch %1 übrig)</translation>
    </message>
    <message>
        <source>the file is still being written: it grew from %1 to %2 bytes while it was read. Index it again when it is complete.</source>
        <translation>die Datei wird noch geschrieben: Sie ist während des Lesens von %1 auf %2 Bytes gewachsen. Indizieren Sie sie erneut, wenn sie vollständig ist.</translation>
    </message>
    <message>
        <source>the file is still being written: it was changed while it was read. Index it again when it is complete.</source>
        <translation>die Datei wird noch geschrieben: Sie wurde während des Lesens geändert. Indizieren Sie sie erneut, wenn sie vollständig ist.</translation>
    </message>
    <message>
        <source>the file is cut short or still being written: it was changed a moment ago, and %1</source>
        <comment>%1 says how many thumbnails were taken</comment>
        <translation>die Datei ist unvollständig oder wird noch geschrieben: Sie wurde gerade eben geändert, und %1</translation>
    </message>
    <message numerus="yes">
        <source>%1 of %n thumbnail was taken</source>
        <translation>
            <numerusform>%1 von %n Vorschaubild wurde erfasst</numerusform>
            <numerusform>%1 von %n Vorschaubildern wurden erfasst</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%1 of %n thumbnails were taken</source>
        <translation>
            <numerusform>%1 von %n Vorschaubild wurde erfasst</numerusform>
            <numerusform>%1 von %n Vorschaubildern wurden erfasst</numerusform>
        </translation>
    </message>
    <message>
        <source>no picture of the video could be read, though its stated length is %1; %2.</source>
        <translation>kein Bild des Videos ließ sich lesen, obwohl seine angegebene Länge %1 beträgt; %2.</translation>
    </message>
    <message>
        <source>the video ends at %1, before its stated length of %2; %3.</source>
        <translation>das Video endet bei %1, vor seiner angegebenen Länge von %2; %3.</translation>
    </message>
    <message>
        <source>only %1.</source>
        <translation>nur %1.</translation>
    </message>
    <message>
        <source>Error capturing from &apos;%1&apos; - %2</source>
        <translation>Fehler beim Erfassen von &apos;%1&apos; - %2</translation>
    </message>
    <message>
        <source>Error reading from &apos;%1&apos; - %2</source>
        <translation>Fehler beim Lesen von &apos;%1&apos; - %2</translation>
    </message>
    <message numerus="yes">
        <source>%n things went wrong while indexing:</source>
        <translation>
            <numerusform>Beim Indizieren ist %n Fehler aufgetreten:</numerusform>
            <numerusform>Beim Indizieren sind %n Fehler aufgetreten:</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>... and %n more.</source>
        <translation>
            <numerusform>... und %n weiterer.</numerusform>
            <numerusform>... und %n weitere.</numerusform>
        </translation>
    </message>
    <message>
        <source>Grabbing from : %1</source>
        <translation>Erfasse aus: %1</translation>
    </message>
    <message>
        <source>Pausing</source>
        <translation>Wird angehalten</translation>
    </message>
    <message>
        <source>Paused</source>
        <translation>Angehalten</translation>
    </message>
    <message>
        <source>Capturing</source>
        <translation>Erfassung läuft</translation>
    </message>
    <message>
        <source>Stopping</source>
        <translation>Wird beendet</translation>
    </message>
    <message>
        <source>Saving playlist</source>
        <translation>Wiedergabeliste wird gespeichert</translation>
    </message>
    <message>
        <source>Saving webpage</source>
        <translation>Webseite wird gespeichert</translation>
    </message>
    <message>
        <source>Saving index photo</source>
        <translation>Indexfoto wird gespeichert</translation>
    </message>
    <message>
        <source>Ready</source>
        <translation>Bereit</translation>
    </message>
    <message>
        <source>Failed to write the playlist &apos;%1&apos; - %2</source>
        <translation>Die Wiedergabeliste &apos;%1&apos; konnte nicht geschrieben werden - %2</translation>
    </message>
    <message>
        <source>Failed to open playlist file for writing</source>
        <translation>Die Datei der Wiedergabeliste konnte nicht zum Schreiben geöffnet werden</translation>
    </message>
    <message>
        <source>Failed to write the web page &apos;%1&apos; - %2</source>
        <translation>Die Webseite &apos;%1&apos; konnte nicht geschrieben werden - %2</translation>
    </message>
    <message>
        <source>Failed to make the web page &apos;%1&apos; from the template &apos;%2&apos; - %3</source>
        <translation>Die Webseite &apos;%1&apos; konnte nicht aus der Vorlage &apos;%2&apos; erstellt werden - %3</translation>
    </message>
    <message>
        <source>Failed to copy the web page&apos;s companion files: %1</source>
        <translation>Die Begleitdateien der Webseite konnten nicht kopiert werden: %1</translation>
    </message>
    <message>
        <source>the movie is not in the project</source>
        <translation>das Video ist nicht im Projekt</translation>
    </message>
</context>
<context>
    <name>WorkflowPort</name>
    <message>
        <source>Indexing finished</source>
        <translation>Indizieren abgeschlossen</translation>
    </message>
    <message numerus="yes">
        <source>%n video was indexed and %1 could not be indexed.
Each video that failed is listed with its error.</source>
        <translation>
            <numerusform>%n Video wurde indiziert; nicht indiziert werden konnten: %1.
Jedes fehlgeschlagene Video wird mit seinem Fehler aufgeführt.</numerusform>
            <numerusform>%n Videos wurden indiziert; nicht indiziert werden konnten: %1.
Jedes fehlgeschlagene Video wird mit seinem Fehler aufgeführt.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n videos were indexed and %1 could not be indexed.
Each video that failed is listed with its error.</source>
        <translation>
            <numerusform>%n Video wurde indiziert; nicht indiziert werden konnten: %1.
Jedes fehlgeschlagene Video wird mit seinem Fehler aufgeführt.</numerusform>
            <numerusform>%n Videos wurden indiziert; nicht indiziert werden konnten: %1.
Jedes fehlgeschlagene Video wird mit seinem Fehler aufgeführt.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>XsltService</name>
    <message>
        <source>Failed to load xml document for html generation</source>
        <translation>Das XML-Dokument für die HTML-Erzeugung konnte nicht geladen werden</translation>
    </message>
    <message>
        <source>Failed to load xslt document for html generation</source>
        <translation>Das XSLT-Dokument für die HTML-Erzeugung konnte nicht geladen werden</translation>
    </message>
    <message>
        <source>line %1: %2</source>
        <translation>Zeile %1: %2</translation>
    </message>
    <message>
        <source>the transformation failed</source>
        <translation>die Transformation ist fehlgeschlagen</translation>
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
