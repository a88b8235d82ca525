<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>CaptureEngine</name>
    <message>
        <location filename="../engine/capture_engine.cpp" line="16"/>
        <source>Capture stalled...Is the video corrupt? Stand by...</source>
        <translation>Erfassung stockt... Ist das Video beschädigt? Bitte warten...</translation>
    </message>
    <message>
        <location filename="../engine/capture_engine.cpp" line="17"/>
        <source>Capture stalled... Trying to recover in slow mode... This capture will take time.</source>
        <translation>Erfassung stockt... Neuer Versuch im langsamen Modus... Diese Erfassung wird länger dauern.</translation>
    </message>
    <message>
        <location filename="../engine/capture_engine.cpp" line="20"/>
        <source>It is probably not possible to capture this video... Click stop to end capture</source>
        <translation>Dieses Video lässt sich wahrscheinlich nicht erfassen... Klicken Sie auf Stopp, um die Erfassung zu beenden</translation>
    </message>
    <message>
        <location filename="../engine/capture_engine.cpp" line="24"/>
        <source>It is not possible to capture this video... Aborting</source>
        <translation>Dieses Video lässt sich nicht erfassen... Abbruch</translation>
    </message>
    <message>
        <location filename="../engine/capture_engine.cpp" line="95"/>
        <source>The video reader could not be set up.</source>
        <translation>Der Videoleser konnte nicht eingerichtet werden.</translation>
    </message>
    <message>
        <location filename="../engine/capture_engine.cpp" line="187"/>
        <source>The settings take %1 thumbnails of this video, more than %2.</source>
        <translation>Die Einstellungen ergeben %1 Vorschaubilder dieses Videos, mehr als %2.</translation>
    </message>
    <message>
        <location filename="../engine/capture_engine.cpp" line="191"/>
        <source>The settings take %1 thumbnails of this video, more than %2; %3.</source>
        <translation>Die Einstellungen ergeben %1 Vorschaubilder dieses Videos, mehr als %2; %3.</translation>
    </message>
</context>
<context>
    <name>CaptureSettings</name>
    <message>
        <location filename="../engine/capture_settings.cpp" line="18"/>
        <location filename="../engine/capture_settings.cpp" line="75"/>
        <source>LeastNofFrames</source>
        <translation>Mindestanzahl Bilder</translation>
    </message>
    <message>
        <location filename="../engine/capture_settings.cpp" line="19"/>
        <source>Always create at least this number of frames from the video</source>
        <translation>Immer mindestens so viele Bilder aus dem Video erstellen</translation>
    </message>
    <message>
        <location filename="../engine/capture_settings.cpp" line="22"/>
        <location filename="../engine/capture_settings.cpp" line="76"/>
        <source>Jpeg quality</source>
        <translation>JPEG-Qualität</translation>
    </message>
    <message>
        <location filename="../engine/capture_settings.cpp" line="23"/>
        <source>Jpeg image quality 1 (worst) - 100 (best), 85 recommended</source>
        <translation>JPEG-Bildqualität 1 (schlechteste) bis 100 (beste), empfohlen: 85</translation>
    </message>
    <message>
        <location filename="../engine/capture_settings.cpp" line="26"/>
        <location filename="../engine/capture_settings.cpp" line="82"/>
        <source>Scale factor</source>
        <translation>Skalierungsfaktor</translation>
    </message>
    <message>
        <location filename="../engine/capture_settings.cpp" line="27"/>
        <source>Scale factor for screenshots on html pages and index photos. 1 = 100%, 0.5 = 50%. Should be larger than 0 and no more than 2</source>
        <translation>Skalierungsfaktor für die Bilder auf HTML-Seiten und Indexfotos. 1 = 100 %, 0.5 = 50 %. Muss größer als 0 und höchstens 2 sein</translation>
    </message>
    <message>
        <location filename="../engine/capture_settings.cpp" line="31"/>
        <location filename="../engine/capture_settings.cpp" line="79"/>
        <source>CS Width Min</source>
        <translation>Kontaktbogen Mindestbreite</translation>
    </message>
    <message>
        <location filename="../engine/capture_settings.cpp" line="32"/>
        <source>Then smallest possible width in pixels of a generated contact sheet in pixels. If more space is needed the picture will be larger.</source>
        <translation>Die kleinstmögliche Breite eines erzeugten Kontaktbogens in Pixeln. Wird mehr Platz benötigt, wird das Bild breiter.</translation>
    </message>
    <message>
        <location filename="../engine/capture_settings.cpp" line="36"/>
        <location filename="../engine/capture_settings.cpp" line="80"/>
        <source>CS Height Min</source>
        <translation>Kontaktbogen Mindesthöhe</translation>
    </message>
    <message>
        <location filename="../engine/capture_settings.cpp" line="37"/>
        <source>Then smallest possible height in pixels of a generated contact sheet in pixels. If more space is needed the picture will be larger.</source>
        <translation>Die kleinstmögliche Höhe eines erzeugten Kontaktbogens in Pixeln. Wird mehr Platz benötigt, wird das Bild höher.</translation>
    </message>
    <message>
        <location filename="../engine/capture_settings.cpp" line="41"/>
        <source>Name by frame</source>
        <translation>Name nach Bildnummer</translation>
    </message>
    <message>
        <location filename="../engine/capture_settings.cpp" line="42"/>
        <source>Set to 1 to use frame number for thumbnail name instead of the frame time.</source>
        <translation>Auf 1 setzen, um die Bildnummer statt der Bildzeit als Namen des Vorschaubilds zu verwenden.</translation>
    </message>
    <message>
        <location filename="../engine/capture_settings.cpp" line="46"/>
        <source>Name by ImageNo</source>
        <translation>Name nach laufender Nummer</translation>
    </message>
    <message>
        <location filename="../engine/capture_settings.cpp" line="47"/>
        <source>Set to 1 to use integer sequence for the thumbnames. First saved image will have no extension at all.</source>
        <translation>Auf 1 setzen, um die Vorschaubilder fortlaufend zu nummerieren. Das erste gespeicherte Bild erhält gar keinen Zusatz.</translation>
    </message>
    <message>
        <location filename="../engine/capture_settings.cpp" line="51"/>
        <location filename="../engine/capture_settings.cpp" line="83"/>
        <source>Image format</source>
        <translation>Bildformat</translation>
    </message>
    <message>
        <location filename="../engine/capture_settings.cpp" line="52"/>
        <source>Capture to image format (0 - jpg, 1 - bmp).</source>
        <translation>Bildformat der Erfassung (0 - jpg, 1 - bmp).</translation>
    </message>
    <message>
        <location filename="../engine/capture_settings.cpp" line="54"/>
        <location filename="../engine/capture_settings.cpp" line="74"/>
        <source>Sample Duration</source>
        <translation>Erfassungsdauer</translation>
    </message>
    <message>
        <location filename="../engine/capture_settings.cpp" line="55"/>
        <source>Limit capture to a number of seconds after capture start (0 for the entire file)</source>
        <translation>Erfassung auf so viele Sekunden nach ihrem Beginn begrenzen (0 für die ganze Datei)</translation>
    </message>
    <message>
        <location filename="../engine/capture_settings.cpp" line="59"/>
        <source>Deinterlace</source>
        <translation>Deinterlacing</translation>
    </message>
    <message>
        <location filename="../engine/capture_settings.cpp" line="60"/>
        <source>Set to 0 to take frames of interlaced video (camcorders, TV recordings) with both fields as they are, which shows combed edges wherever something moves. 1 makes each such frame one clean picture.</source>
        <translation>Auf 0 setzen, um Bilder aus Zeilensprung-Video (Camcorder, TV-Aufnahmen) mit beiden Halbbildern unverändert zu übernehmen; dann zeigen sich Kammartefakte, wo sich etwas bewegt. Mit 1 wird jedes solche Bild zu einem sauberen Bild.</translation>
    </message>
    <message>
        <location filename="../engine/capture_settings.cpp" line="72"/>
        <source>Start after</source>
        <translation>Beginnen nach</translation>
    </message>
    <message>
        <location filename="../engine/capture_settings.cpp" line="73"/>
        <source>Save every</source>
        <translation>Speichern alle</translation>
    </message>
    <message>
        <location filename="../engine/capture_settings.cpp" line="149"/>
        <source>a whole number larger than %1 and at most %2</source>
        <translation>eine ganze Zahl größer als %1 und höchstens %2</translation>
    </message>
    <message>
        <location filename="../engine/capture_settings.cpp" line="150"/>
        <source>a number larger than %1 and at most %2</source>
        <translation>eine Zahl größer als %1 und höchstens %2</translation>
    </message>
    <message>
        <location filename="../engine/capture_settings.cpp" line="153"/>
        <source>a whole number from %1 to %2</source>
        <translation>eine ganze Zahl von %1 bis %2</translation>
    </message>
    <message>
        <location filename="../engine/capture_settings.cpp" line="154"/>
        <source>a number from %1 to %2</source>
        <translation>eine Zahl von %1 bis %2</translation>
    </message>
    <message>
        <location filename="../engine/capture_settings.cpp" line="159"/>
        <source>%1 must be %2.</source>
        <comment>a setting and its range</comment>
        <translation>%1 muss %2 sein.</translation>
    </message>
    <message>
        <location filename="../engine/capture_settings.cpp" line="192"/>
        <source>Unknown setting %1.</source>
        <translation>Unbekannte Einstellung %1.</translation>
    </message>
    <message>
        <location filename="../engine/capture_settings.cpp" line="199"/>
        <source>%1 needs a whole number.</source>
        <translation>%1 erfordert eine ganze Zahl.</translation>
    </message>
    <message>
        <location filename="../engine/capture_settings.cpp" line="200"/>
        <source>%1 needs a number.</source>
        <translation>%1 erfordert eine Zahl.</translation>
    </message>
</context>
<context>
    <name>CrashRecovery</name>
    <message>
        <location filename="../crash/crash_recovery.cpp" line="46"/>
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
        <location filename="../crash/crash_recovery.cpp" line="51"/>
        <source>Remove video</source>
        <translation>Video entfernen</translation>
    </message>
</context>
<context>
    <name>CrashReport</name>
    <message>
        <location filename="../crash/crash_report.cpp" line="120"/>
        <source>Sending crash log</source>
        <translation>Absturzprotokoll senden</translation>
    </message>
    <message>
        <location filename="../crash/crash_report.cpp" line="149"/>
        <source>Opening internet connection...</source>
        <translation>Internetverbindung wird geöffnet...</translation>
    </message>
    <message>
        <location filename="../crash/crash_report.cpp" line="153"/>
        <source>Failed to connect to internet</source>
        <translation>Die Verbindung mit dem Internet ist fehlgeschlagen</translation>
    </message>
    <message>
        <location filename="../crash/crash_report.cpp" line="179"/>
        <source>Connecting to server...</source>
        <translation>Verbindung zum Server wird hergestellt...</translation>
    </message>
    <message>
        <location filename="../crash/crash_report.cpp" line="188"/>
        <source>Failed to create ftp session</source>
        <translation>Die FTP-Sitzung konnte nicht aufgebaut werden</translation>
    </message>
    <message>
        <location filename="../crash/crash_report.cpp" line="191"/>
        <source>Writing crash log...</source>
        <translation>Absturzprotokoll wird geschrieben...</translation>
    </message>
    <message>
        <location filename="../crash/crash_report.cpp" line="203"/>
        <source>Failed to open ftp file for writing</source>
        <translation>Die FTP-Datei konnte nicht zum Schreiben geöffnet werden</translation>
    </message>
    <message>
        <location filename="../crash/crash_report.cpp" line="207"/>
        <source>Failed to write crash log to ftp file</source>
        <translation>Das Absturzprotokoll konnte nicht in die FTP-Datei geschrieben werden</translation>
    </message>
    <message>
        <location filename="../crash/crash_report.cpp" line="213"/>
        <source>Writing crash dump...</source>
        <translation>Speicherabbild wird geschrieben...</translation>
    </message>
    <message>
        <location filename="../crash/crash_report.cpp" line="221"/>
        <source>Failed to write crash dmp to ftp file</source>
        <translation>Das Speicherabbild konnte nicht in die FTP-Datei geschrieben werden</translation>
    </message>
    <message>
        <location filename="../crash/crash_report.cpp" line="231"/>
        <source>Crashlog uploaded</source>
        <translation>Absturzprotokoll hochgeladen</translation>
    </message>
    <message>
        <location filename="../crash/crash_report.cpp" line="232"/>
        <source>Crashlog not uploaded</source>
        <translation>Absturzprotokoll nicht hochgeladen</translation>
    </message>
    <message>
        <location filename="../crash/crash_report.cpp" line="233"/>
        <source>Thank you for helping to improve Ombrelo!</source>
        <translation>Vielen Dank, dass Sie helfen, Ombrelo zu verbessern!</translation>
    </message>
</context>
<context>
    <name>FfmpegPipeline</name>
    <message>
        <location filename="../engine/ffmpeg_pipeline.cpp" line="194"/>
        <source>The %1 decoder of this system&apos;s FFmpeg refused the video stream.</source>
        <translation>Der %1-Decoder des FFmpeg dieses Systems hat den Videostrom abgelehnt.</translation>
    </message>
</context>
<context>
    <name>FileRead</name>
    <message>
        <location filename="../project/file_read.cpp" line="40"/>
        <location filename="../project/file_read.cpp" line="57"/>
        <source>not a regular file</source>
        <translation>keine reguläre Datei</translation>
    </message>
    <message>
        <location filename="../project/file_read.cpp" line="72"/>
        <source>larger than %1 MB</source>
        <translation>größer als %1 MB</translation>
    </message>
</context>
<context>
    <name>FrameOutput</name>
    <message>
        <location filename="../workflow/frame_output.cpp" line="86"/>
        <source>the frame does not hold the picture</source>
        <translation>das Einzelbild enthält nicht das ganze Bild</translation>
    </message>
    <message>
        <location filename="../workflow/frame_output.cpp" line="138"/>
        <source>Failed to write JPEG image to:
&apos;%1&apos;</source>
        <translation>Das JPEG-Bild konnte nicht geschrieben werden:
&apos;%1&apos;</translation>
    </message>
    <message>
        <location filename="../workflow/frame_output.cpp" line="139"/>
        <source>Failed to write JPEG image to:
&apos;%1&apos; - %2</source>
        <translation>Das JPEG-Bild konnte nicht geschrieben werden:
&apos;%1&apos; - %2</translation>
    </message>
</context>
<context>
    <name>HtmlRenderer</name>
    <message>
        <location filename="../render/html_renderer.cpp" line="229"/>
        <source>Fatal error. We are out of memory. Failed to create a %1x%2 image</source>
        <translation>Schwerer Fehler: Der Arbeitsspeicher reicht nicht aus. Ein Bild mit %1x%2 Pixeln konnte nicht erstellt werden</translation>
    </message>
    <message>
        <location filename="../render/html_renderer.cpp" line="239"/>
        <source>Failed to save jpeg image &apos;%1&apos; of size %2x%3 - Code: %4</source>
        <translation>Das JPEG-Bild &apos;%1&apos; der Größe %2x%3 konnte nicht gespeichert werden - Code: %4</translation>
    </message>
</context>
<context>
    <name>HtmlView</name>
    <message>
        <location filename="../render/html_view.cpp" line="43"/>
        <source>Page not found</source>
        <translation>Seite nicht gefunden</translation>
    </message>
    <message>
        <location filename="../render/html_view.cpp" line="44"/>
        <source>This page could not be shown</source>
        <translation>Diese Seite kann nicht angezeigt werden</translation>
    </message>
</context>
<context>
    <name>IndexPhoto</name>
    <message>
        <location filename="../render/index_photo.cpp" line="243"/>
        <source>Out of memory</source>
        <translation>Nicht genügend Arbeitsspeicher</translation>
    </message>
    <message>
        <location filename="../render/index_photo.h" line="130"/>
        <source>Failed to generate the index photo page for &apos;%1&apos;</source>
        <translation>Die Seite für das Indexfoto &apos;%1&apos; konnte nicht erzeugt werden</translation>
    </message>
    <message>
        <location filename="../render/index_photo.h" line="131"/>
        <source>Failed to render index photo &apos;%1&apos; - the page could not be loaded</source>
        <translation>Das Indexfoto &apos;%1&apos; konnte nicht gezeichnet werden - die Seite ließ sich nicht laden</translation>
    </message>
    <message>
        <location filename="../render/index_photo.h" line="133"/>
        <source>Failed to render index photo &apos;%1&apos; - the page did not become ready</source>
        <translation>Das Indexfoto &apos;%1&apos; konnte nicht gezeichnet werden - die Seite wurde nicht fertig</translation>
    </message>
</context>
<context>
    <name>Indexer</name>
    <message>
        <location filename="../app/indexer/batch_run.cpp" line="149"/>
        <source>cannot write the batch&apos;s project file</source>
        <translation>die Projektdatei des Stapels kann nicht geschrieben werden</translation>
    </message>
    <message>
        <location filename="../app/indexer/batch_run.cpp" line="347"/>
        <location filename="../app/indexer/batch_worker.cpp" line="168"/>
        <location filename="../app/indexer/main.cpp" line="278"/>
        <source>Interrupted: stopping the capture</source>
        <translation>Unterbrochen: Die Erfassung wird beendet</translation>
    </message>
    <message>
        <location filename="../app/indexer/batch_run.cpp" line="412"/>
        <source>no result (an unreadable answer)</source>
        <translation>kein Ergebnis (eine unlesbare Antwort)</translation>
    </message>
    <message>
        <location filename="../app/indexer/batch_run.cpp" line="428"/>
        <source>no result (exit status %1)</source>
        <translation>kein Ergebnis (Exit-Status %1)</translation>
    </message>
    <message>
        <location filename="../app/indexer/batch_worker.cpp" line="96"/>
        <source>the batch sent what is no request</source>
        <translation>der Stapel hat etwas gesendet, das keine Anfrage ist</translation>
    </message>
    <message>
        <location filename="../app/indexer/batch_worker.cpp" line="148"/>
        <source>cannot read the batch&apos;s project</source>
        <translation>das Projekt des Stapels kann nicht gelesen werden</translation>
    </message>
    <message>
        <location filename="../app/indexer/batch_worker.cpp" line="179"/>
        <source>the batch sent no movie record</source>
        <translation>der Stapel hat keinen Videodatensatz gesendet</translation>
    </message>
    <message>
        <location filename="../app/indexer/indexer_options.cpp" line="75"/>
        <source>K/N, a part K from 1 to N of N parts, N at most %1</source>
        <translation>K/N, der Teil K von N Teilen, K von 1 bis N, N höchstens %1</translation>
    </message>
    <message>
        <location filename="../app/indexer/indexer_options.cpp" line="175"/>
        <source>option %1 takes no value</source>
        <translation>die Option %1 nimmt keinen Wert an</translation>
    </message>
    <message>
        <location filename="../app/indexer/indexer_options.cpp" line="183"/>
        <source>unknown option %1</source>
        <translation>unbekannte Option %1</translation>
    </message>
    <message>
        <location filename="../app/indexer/indexer_options.cpp" line="188"/>
        <source>option %1 needs a value</source>
        <translation>die Option %1 benötigt einen Wert</translation>
    </message>
    <message>
        <location filename="../app/indexer/indexer_options.cpp" line="196"/>
        <source>bad value for %1: &apos;%2&apos;</source>
        <translation>ungültiger Wert für %1: &apos;%2&apos;</translation>
    </message>
    <message>
        <location filename="../app/indexer/indexer_options.cpp" line="197"/>
        <source>bad value for %1: &apos;%2&apos; (%3)</source>
        <translation>ungültiger Wert für %1: &apos;%2&apos; (%3)</translation>
    </message>
    <message>
        <location filename="../app/indexer/indexer_options.cpp" line="207"/>
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
        <location filename="../app/indexer/main.cpp" line="115"/>
        <source>Try &apos;ombrelo-index --help&apos;.</source>
        <translation>Weitere Informationen mit &apos;ombrelo-index --help&apos;.</translation>
    </message>
    <message>
        <location filename="../app/indexer/main.cpp" line="198"/>
        <source>no videos in &apos;%1&apos;</source>
        <translation>keine Videos in &apos;%1&apos;</translation>
    </message>
    <message>
        <location filename="../app/indexer/main.cpp" line="230"/>
        <source>no videos in part %1/%2</source>
        <translation>keine Videos in Teil %1/%2</translation>
    </message>
    <message>
        <location filename="../app/indexer/main.cpp" line="240"/>
        <location filename="../app/indexer/shards.cpp" line="119"/>
        <source>cannot read the project file &apos;%1&apos;</source>
        <translation>die Projektdatei &apos;%1&apos; kann nicht gelesen werden</translation>
    </message>
    <message>
        <location filename="../app/indexer/main.cpp" line="247"/>
        <source>cannot read the settings of &apos;%1&apos;</source>
        <translation>die Einstellungen von &apos;%1&apos; können nicht gelesen werden</translation>
    </message>
    <message>
        <location filename="../app/indexer/main.cpp" line="258"/>
        <source>no videos to index</source>
        <translation>keine Videos zum Indizieren</translation>
    </message>
    <message>
        <location filename="../app/indexer/main.cpp" line="365"/>
        <location filename="../app/indexer/shards.cpp" line="156"/>
        <source>cannot write the project file &apos;%1&apos;</source>
        <translation>die Projektdatei &apos;%1&apos; kann nicht geschrieben werden</translation>
    </message>
    <message>
        <location filename="../app/indexer/main.cpp" line="380"/>
        <source>--merge OUT takes the project files of the parts and no --project, --settings, --save or --shard</source>
        <translation>--merge OUT nimmt die Projektdateien der Teile und kein --project, --settings, --save oder --shard</translation>
    </message>
    <message>
        <location filename="../app/indexer/main.cpp" line="442"/>
        <source>--allow-many-thumbnails takes them all the same</source>
        <translation>mit --allow-many-thumbnails werden sie trotzdem alle erfasst</translation>
    </message>
    <message>
        <location filename="../app/indexer/movie_report.cpp" line="20"/>
        <source>waiting</source>
        <comment>a video&apos;s status</comment>
        <translation>wartend</translation>
    </message>
    <message>
        <location filename="../app/indexer/movie_report.cpp" line="22"/>
        <source>stopped</source>
        <comment>a video&apos;s status</comment>
        <translation>angehalten</translation>
    </message>
    <message>
        <location filename="../app/indexer/movie_report.cpp" line="24"/>
        <source>done</source>
        <comment>a video&apos;s status</comment>
        <translation>fertig</translation>
    </message>
    <message>
        <location filename="../app/indexer/movie_report.cpp" line="26"/>
        <source>failed</source>
        <comment>a video&apos;s status</comment>
        <translation>fehlgeschlagen</translation>
    </message>
    <message>
        <location filename="../app/indexer/movie_report.cpp" line="28"/>
        <source>unknown</source>
        <comment>a video&apos;s status</comment>
        <translation>unbekannt</translation>
    </message>
    <message>
        <location filename="../app/indexer/movie_report.cpp" line="106"/>
        <source>%1: %2, %3</source>
        <comment>a video: its status, its images</comment>
        <translation>%1: %2, %3</translation>
    </message>
    <message>
        <location filename="../app/indexer/movie_report.cpp" line="111"/>
        <source>thumbnails %1</source>
        <translation>Vorschaubilder %1</translation>
    </message>
    <message>
        <location filename="../app/indexer/movie_report.cpp" line="113"/>
        <source>playlist %1</source>
        <translation>Wiedergabeliste %1</translation>
    </message>
    <message>
        <location filename="../app/indexer/movie_report.cpp" line="114"/>
        <source>web page %1</source>
        <translation>Webseite %1</translation>
    </message>
    <message>
        <location filename="../app/indexer/movie_report.cpp" line="116"/>
        <source>index photo %1</source>
        <translation>Indexfoto %1</translation>
    </message>
    <message>
        <location filename="../app/indexer/movie_report.cpp" line="118"/>
        <source>error: %1</source>
        <translation>Fehler: %1</translation>
    </message>
    <message>
        <location filename="../app/indexer/shards.cpp" line="71"/>
        <source>%1: %2</source>
        <comment>a message and its reason</comment>
        <translation>%1: %2</translation>
    </message>
    <message>
        <location filename="../app/indexer/shards.cpp" line="94"/>
        <source>&apos;%1&apos; exists already; it is left as it is (choose another name)</source>
        <translation>&apos;%1&apos; existiert bereits und bleibt unverändert (wählen Sie einen anderen Namen)</translation>
    </message>
    <message>
        <location filename="../app/indexer/shards.cpp" line="99"/>
        <source>cannot write the project file &apos;%1&apos;: %2</source>
        <translation>die Projektdatei &apos;%1&apos; kann nicht geschrieben werden: %2</translation>
    </message>
    <message>
        <location filename="../app/indexer/shards.cpp" line="146"/>
        <source>&apos;%1&apos; is in more than one part; kept once, from &apos;%2&apos;</source>
        <translation>&apos;%1&apos; ist in mehr als einem Teil; einmal übernommen, aus &apos;%2&apos;</translation>
    </message>
    <message>
        <location filename="../app/indexer/template_choice.cpp" line="25"/>
        <source>(none)</source>
        <comment>no templates</comment>
        <translation>(keine)</translation>
    </message>
    <message>
        <location filename="../app/indexer/template_choice.cpp" line="31"/>
        <source>Web page templates (--html-template):</source>
        <translation>Webseitenvorlagen (--html-template):</translation>
    </message>
    <message>
        <location filename="../app/indexer/template_choice.cpp" line="33"/>
        <source>Index photo templates (--index-template):</source>
        <translation>Indexfotovorlagen (--index-template):</translation>
    </message>
    <message>
        <location filename="../app/indexer/template_choice.cpp" line="47"/>
        <source>none</source>
        <comment>no templates</comment>
        <translation>keine</translation>
    </message>
    <message>
        <location filename="../app/indexer/template_choice.cpp" line="48"/>
        <source>no web page template &apos;%1&apos;; there are: %2</source>
        <translation>keine Webseitenvorlage &apos;%1&apos;; vorhanden sind: %2</translation>
    </message>
    <message>
        <location filename="../app/indexer/template_choice.cpp" line="49"/>
        <source>no index photo template &apos;%1&apos;; there are: %2</source>
        <translation>keine Indexfotovorlage &apos;%1&apos;; vorhanden sind: %2</translation>
    </message>
    <message numerus="yes">
        <location filename="../app/indexer/terminal_port.cpp" line="205"/>
        <source>%n image</source>
        <translation>
            <numerusform>%n Bild</numerusform>
            <numerusform>%n Bilder</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <location filename="../app/indexer/terminal_port.cpp" line="206"/>
        <source>%n images</source>
        <translation>
            <numerusform>%n Bild</numerusform>
            <numerusform>%n Bilder</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <location filename="../app/indexer/terminal_port.cpp" line="280"/>
        <source>Indexed %1 (%n image)</source>
        <translation>
            <numerusform>%1 indiziert (%n Bild)</numerusform>
            <numerusform>%1 indiziert (%n Bilder)</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <location filename="../app/indexer/terminal_port.cpp" line="281"/>
        <source>Indexed %1 (%n images)</source>
        <translation>
            <numerusform>%1 indiziert (%n Bild)</numerusform>
            <numerusform>%1 indiziert (%n Bilder)</numerusform>
        </translation>
    </message>
    <message>
        <location filename="../app/indexer/terminal_port.cpp" line="289"/>
        <source>Index photo %1</source>
        <translation>Indexfoto %1</translation>
    </message>
    <message>
        <location filename="../app/indexer/terminal_port.cpp" line="291"/>
        <source>No index photo for %1</source>
        <translation>Kein Indexfoto für %1</translation>
    </message>
    <message>
        <location filename="../app/indexer/terminal_port.cpp" line="299"/>
        <source>A thumbnail could not be written: check that the output folder exists and is writable, and that the disk is not full.</source>
        <translation>Ein Vorschaubild konnte nicht geschrieben werden: Prüfen Sie, ob der Ausgabeordner existiert und beschreibbar ist und ob der Datenträger nicht voll ist.</translation>
    </message>
    <message>
        <location filename="../app/indexer/terminal_port.cpp" line="303"/>
        <source>A video could not be opened: check that the file exists and is a video.</source>
        <translation>Ein Video konnte nicht geöffnet werden: Prüfen Sie, ob die Datei existiert und ein Video ist.</translation>
    </message>
    <message>
        <location filename="../app/indexer/terminal_port.cpp" line="306"/>
        <source>See the help page %1</source>
        <translation>Siehe die Hilfeseite %1</translation>
    </message>
    <message>
        <location filename="../app/indexer/terminal_port.cpp" line="311"/>
        <source>No installed decoder can play &apos;%1&apos;. Codec help: %2</source>
        <translation>Kein installierter Decoder kann &apos;%1&apos; abspielen. Codec-Hilfe: %2</translation>
    </message>
    <message>
        <location filename="../app/indexer/terminal_port.cpp" line="316"/>
        <source>Decoding problems: these videos need missing components (video codecs) to play:</source>
        <translation>Probleme beim Dekodieren: Diese Videos benötigen fehlende Komponenten (Video-Codecs) zum Abspielen:</translation>
    </message>
    <message>
        <location filename="../app/indexer/terminal_port.cpp" line="319"/>
        <source>%1  codec help: %2</source>
        <translation>%1  Codec-Hilfe: %2</translation>
    </message>
    <message>
        <location filename="../app/indexer/thumbnail_mode.cpp" line="145"/>
        <source>no thumbnail for %1: %2</source>
        <translation>kein Vorschaubild für %1: %2</translation>
    </message>
    <message>
        <location filename="../app/indexer/thumbnail_mode.cpp" line="162"/>
        <source>usage: ombrelo-index --thumbnail [-s SIZE] [--time-limit SECONDS] INPUT OUTPUT
</source>
        <translation>Aufruf: ombrelo-index --thumbnail [-s GRÖSSE] [--time-limit SEKUNDEN] EINGABE AUSGABE
</translation>
    </message>
    <message>
        <location filename="../app/indexer/thumbnail_mode.cpp" line="173"/>
        <source>cannot read it</source>
        <translation>sie kann nicht gelesen werden</translation>
    </message>
    <message>
        <location filename="../app/indexer/thumbnail_mode.cpp" line="175"/>
        <source>not a regular file</source>
        <translation>keine reguläre Datei</translation>
    </message>
    <message>
        <location filename="../app/indexer/thumbnail_mode.cpp" line="191"/>
        <source>not enough memory for its pictures</source>
        <translation>nicht genug Arbeitsspeicher für seine Bilder</translation>
    </message>
    <message>
        <location filename="../app/indexer/thumbnail_mode.cpp" line="202"/>
        <source>cannot write the output</source>
        <translation>die Ausgabe kann nicht geschrieben werden</translation>
    </message>
</context>
<context>
    <name>JpegWriter</name>
    <message>
        <location filename="../imaging/jpeg_writer.cpp" line="139"/>
        <source>the picture is larger than a JPEG file allows</source>
        <translation>das Bild ist größer, als eine JPEG-Datei erlaubt</translation>
    </message>
    <message>
        <location filename="../imaging/jpeg_writer.cpp" line="164"/>
        <source>unsupported pixel format</source>
        <translation>nicht unterstütztes Pixelformat</translation>
    </message>
    <message>
        <location filename="../imaging/jpeg_writer.cpp" line="170"/>
        <source>rows that do not belong to the picture</source>
        <translation>Zeilen, die nicht zum Bild gehören</translation>
    </message>
    <message>
        <location filename="../imaging/jpeg_writer.cpp" line="185"/>
        <source>the picture has rows missing</source>
        <translation>dem Bild fehlen Zeilen</translation>
    </message>
</context>
<context>
    <name>MediaError</name>
    <message>
        <location filename="../platform/result_codes.cpp" line="12"/>
        <location filename="../platform/result_codes.cpp" line="42"/>
        <source>Unspecified error.</source>
        <translation>Unbekannter Fehler.</translation>
    </message>
    <message>
        <location filename="../platform/result_codes.cpp" line="14"/>
        <source>Operation aborted.</source>
        <translation>Vorgang abgebrochen.</translation>
    </message>
    <message>
        <location filename="../platform/result_codes.cpp" line="16"/>
        <source>Invalid pointer.</source>
        <translation>Ungültiger Zeiger.</translation>
    </message>
    <message>
        <location filename="../platform/result_codes.cpp" line="18"/>
        <source>Not enough memory is available to complete this operation.</source>
        <translation>Für diesen Vorgang ist nicht genügend Arbeitsspeicher verfügbar.</translation>
    </message>
    <message>
        <location filename="../platform/result_codes.cpp" line="20"/>
        <source>The parameter is incorrect.</source>
        <translation>Der Parameter ist falsch.</translation>
    </message>
    <message>
        <location filename="../platform/result_codes.cpp" line="22"/>
        <source>The system cannot find the file specified.</source>
        <translation>Die angegebene Datei wurde nicht gefunden.</translation>
    </message>
    <message>
        <location filename="../platform/result_codes.cpp" line="24"/>
        <source>Access is denied.</source>
        <translation>Zugriff verweigert.</translation>
    </message>
    <message>
        <location filename="../platform/result_codes.cpp" line="26"/>
        <source>The file has no video stream that can be decoded.</source>
        <translation>Die Datei enthält keinen Videostrom, der sich dekodieren lässt.</translation>
    </message>
    <message>
        <location filename="../platform/result_codes.cpp" line="28"/>
        <source>The media type of this file is not recognized.</source>
        <translation>Der Medientyp dieser Datei wird nicht erkannt.</translation>
    </message>
    <message>
        <location filename="../platform/result_codes.cpp" line="30"/>
        <source>Cannot play back the file. The format is not supported.</source>
        <translation>Die Datei kann nicht wiedergegeben werden. Das Format wird nicht unterstützt.</translation>
    </message>
    <message>
        <location filename="../platform/result_codes.cpp" line="32"/>
        <source>The operation cannot be performed because no video stream has been connected.</source>
        <translation>Der Vorgang kann nicht ausgeführt werden, weil kein Videostrom verbunden ist.</translation>
    </message>
    <message>
        <location filename="../platform/result_codes.cpp" line="36"/>
        <source>The operation could not be performed because the video is in the wrong state.</source>
        <translation>Der Vorgang konnte nicht ausgeführt werden, weil sich das Video im falschen Zustand befindet.</translation>
    </message>
    <message>
        <location filename="../platform/result_codes.cpp" line="40"/>
        <source>The file format is invalid.</source>
        <translation>Das Dateiformat ist ungültig.</translation>
    </message>
</context>
<context>
    <name>MediaInput</name>
    <message>
        <location filename="../engine/media_input.cpp" line="37"/>
        <source>an HLS playlist (HTTP Live Streaming)</source>
        <translation>eine HLS-Wiedergabeliste (HTTP Live Streaming)</translation>
    </message>
    <message>
        <location filename="../engine/media_input.cpp" line="38"/>
        <source>a DASH manifest (MPEG-DASH)</source>
        <translation>ein DASH-Manifest (MPEG-DASH)</translation>
    </message>
    <message>
        <location filename="../engine/media_input.cpp" line="39"/>
        <source>an FFmpeg concat list (ffconcat)</source>
        <translation>eine FFmpeg-Verkettungsliste (ffconcat)</translation>
    </message>
    <message>
        <location filename="../engine/media_input.cpp" line="41"/>
        <source>an image sequence (a picture file name that numbers further pictures)</source>
        <translation>eine Bildfolge (ein Bilddateiname, der weitere Bilder durchnummeriert)</translation>
    </message>
    <message>
        <location filename="../engine/media_input.cpp" line="43"/>
        <source>an IMF composition playlist</source>
        <translation>eine IMF-Composition-Playlist</translation>
    </message>
    <message>
        <location filename="../engine/media_input.cpp" line="44"/>
        <source>a session description (SDP) of a network stream</source>
        <translation>eine Sitzungsbeschreibung (SDP) eines Netzwerkstroms</translation>
    </message>
    <message>
        <location filename="../engine/media_input.cpp" line="45"/>
        <source>an AviSynth script</source>
        <translation>ein AviSynth-Skript</translation>
    </message>
    <message>
        <location filename="../engine/media_input.cpp" line="46"/>
        <source>a VapourSynth script</source>
        <translation>ein VapourSynth-Skript</translation>
    </message>
    <message>
        <location filename="../engine/media_input.cpp" line="73"/>
        <source>The file cannot be read: %1.</source>
        <translation>Die Datei kann nicht gelesen werden: %1.</translation>
    </message>
    <message>
        <location filename="../engine/media_input.cpp" line="96"/>
        <source>The file is empty.</source>
        <translation>Die Datei ist leer.</translation>
    </message>
    <message>
        <location filename="../engine/media_input.cpp" line="105"/>
        <source>a named pipe</source>
        <translation>eine benannte Pipe</translation>
    </message>
    <message>
        <location filename="../engine/media_input.cpp" line="106"/>
        <source>a socket</source>
        <translation>ein Socket</translation>
    </message>
    <message>
        <location filename="../engine/media_input.cpp" line="107"/>
        <source>a device</source>
        <translation>ein Gerät</translation>
    </message>
    <message>
        <location filename="../engine/media_input.cpp" line="109"/>
        <source>The file cannot be read: it is %1, not a regular file.</source>
        <translation>Die Datei kann nicht gelesen werden: Sie ist %1, keine reguläre Datei.</translation>
    </message>
    <message>
        <location filename="../engine/media_input.cpp" line="121"/>
        <source>an %1 file</source>
        <translation>eine %1-Datei</translation>
    </message>
    <message>
        <location filename="../engine/media_input.cpp" line="121"/>
        <source>a %1 file</source>
        <translation>eine %1-Datei</translation>
    </message>
    <message>
        <location filename="../engine/media_input.cpp" line="154"/>
        <source>The file is still being written: it is %1 that ends before its header does, and it grew while it was opened. Index it again when it is complete.</source>
        <translation>Die Datei wird noch geschrieben: Sie ist %1, die bereits innerhalb ihres Dateikopfs endet, und sie ist beim Öffnen gewachsen. Indizieren Sie sie erneut, wenn sie vollständig ist.</translation>
    </message>
    <message>
        <location filename="../engine/media_input.cpp" line="161"/>
        <source>The file is cut short or still being written: it is %1 that ends before its header does, and it was changed a moment ago. Index it again when it is complete.</source>
        <translation>Die Datei ist unvollständig oder wird noch geschrieben: Sie ist %1, die bereits innerhalb ihres Dateikopfs endet, und sie wurde gerade eben geändert. Indizieren Sie sie erneut, wenn sie vollständig ist.</translation>
    </message>
    <message>
        <location filename="../engine/media_input.cpp" line="167"/>
        <source>The file is cut short: it is %1 that ends before its header does.</source>
        <translation>Die Datei ist unvollständig: Sie ist %1, die bereits innerhalb ihres Dateikopfs endet.</translation>
    </message>
    <message>
        <location filename="../engine/media_input.cpp" line="174"/>
        <source>The file is %1 that names other files to read: only the file itself is read.</source>
        <translation>Die Datei ist %1 und nennt weitere zu lesende Dateien: Gelesen wird nur die Datei selbst.</translation>
    </message>
    <message>
        <location filename="../engine/media_input.cpp" line="183"/>
        <source>The file is damaged: it is %1 whose header cannot be read (%2).</source>
        <translation>Die Datei ist beschädigt: Sie ist %1, deren Dateikopf nicht gelesen werden kann (%2).</translation>
    </message>
    <message>
        <location filename="../engine/media_input.cpp" line="211"/>
        <source>an unknown format</source>
        <translation>einem unbekannten Format</translation>
    </message>
    <message>
        <location filename="../engine/media_input.cpp" line="225"/>
        <source>%1 and %2</source>
        <comment>the last two of a list</comment>
        <translation>%1 und %2</translation>
    </message>
    <message>
        <location filename="../engine/media_input.cpp" line="227"/>
        <source>%1, %2</source>
        <comment>a list</comment>
        <translation>%1, %2</translation>
    </message>
    <message>
        <location filename="../engine/media_input.cpp" line="295"/>
        <source>The file is %1, which names other files to read: only the file itself is read.</source>
        <translation>Die Datei ist %1 und nennt weitere zu lesende Dateien: Gelesen wird nur die Datei selbst.</translation>
    </message>
    <message>
        <location filename="../engine/media_input.cpp" line="381"/>
        <source>audio (%1)</source>
        <translation>Audio (%1)</translation>
    </message>
    <message>
        <location filename="../engine/media_input.cpp" line="383"/>
        <source>subtitles</source>
        <translation>Untertitel</translation>
    </message>
    <message>
        <location filename="../engine/media_input.cpp" line="384"/>
        <source>a cover picture</source>
        <translation>ein Titelbild</translation>
    </message>
    <message>
        <location filename="../engine/media_input.cpp" line="385"/>
        <source>data</source>
        <translation>Daten</translation>
    </message>
    <message>
        <location filename="../engine/media_input.cpp" line="387"/>
        <source>The file has no video stream: it holds no streams at all.</source>
        <translation>Die Datei hat keinen Videostrom: Sie enthält überhaupt keine Ströme.</translation>
    </message>
    <message>
        <location filename="../engine/media_input.cpp" line="388"/>
        <source>The file has no video stream: it holds only %1.</source>
        <translation>Die Datei hat keinen Videostrom: Sie enthält nur %1.</translation>
    </message>
    <message>
        <location filename="../engine/media_input.cpp" line="396"/>
        <source>No installed decoder can play this video: the FFmpeg libraries of this system cannot decode %1 video (the codec help page codecs.htm names the Debian packages that bring more decoders).</source>
        <translation>Kein installierter Decoder kann dieses Video abspielen: Die FFmpeg-Bibliotheken dieses Systems können Video in %1 nicht dekodieren (die Codec-Hilfeseite codecs.htm nennt die Debian-Pakete, die weitere Decoder mitbringen).</translation>
    </message>
    <message>
        <location filename="../engine/media_input.cpp" line="402"/>
        <source>The video stream is damaged: it gives no picture size.</source>
        <translation>Der Videostrom ist beschädigt: Er gibt keine Bildgröße an.</translation>
    </message>
    <message>
        <location filename="../engine/media_input.cpp" line="410"/>
        <source>The video&apos;s pictures are too large: %1 x %2 pixels, more than the %3 megapixels a picture may have.</source>
        <translation>Die Bilder des Videos sind zu groß: %1 x %2 Pixel, mehr als die %3 Megapixel, die ein Bild haben darf.</translation>
    </message>
</context>
<context>
    <name>Message</name>
    <message>
        <location filename="../render/xslt_service.cpp" line="533"/>
        <location filename="../render/xslt_service.cpp" line="536"/>
        <location filename="../workflow/regeneration.cpp" line="274"/>
        <location filename="../workflow/workflow_controller.cpp" line="631"/>
        <location filename="../workflow/workflow_outputs.cpp" line="93"/>
        <source>Error</source>
        <translation>Fehler</translation>
    </message>
</context>
<context>
    <name>OutputNaming</name>
    <message>
        <location filename="../project/output_naming.cpp" line="418"/>
        <source>Invalid characters in filename. Name changed to : %1</source>
        <translation>Ungültige Zeichen im Dateinamen. Name geändert in: %1</translation>
    </message>
</context>
<context>
    <name>Playlist</name>
    <message>
        <location filename="../project/playlist.cpp" line="68"/>
        <source>This is no image playlist (no &lt;imageplaylist&gt; element).</source>
        <translation>Dies ist keine Bild-Wiedergabeliste (kein &lt;imageplaylist&gt;-Element).</translation>
    </message>
</context>
<context>
    <name>ProjectFile</name>
    <message>
        <location filename="../project/movie.cpp" line="200"/>
        <location filename="../project/movie.cpp" line="231"/>
        <location filename="../project/project.cpp" line="523"/>
        <source>Missing %1</source>
        <translation>%1 fehlt</translation>
    </message>
    <message>
        <location filename="../project/movie.cpp" line="205"/>
        <location filename="../project/output_settings.cpp" line="28"/>
        <location filename="../project/tag_reader.cpp" line="45"/>
        <location filename="../project/tag_reader.cpp" line="320"/>
        <source>Format error : missing %1</source>
        <translation>Formatfehler: %1 fehlt</translation>
    </message>
    <message>
        <location filename="../project/project.cpp" line="511"/>
        <source>Not a project file</source>
        <translation>Keine Projektdatei</translation>
    </message>
</context>
<context>
    <name>Regeneration</name>
    <message>
        <location filename="../workflow/regeneration.cpp" line="76"/>
        <source>The image %1 was not deleted: it is not one of this video&apos;s thumbnails in its thumbnail folder.</source>
        <translation>Das Bild %1 wurde nicht gelöscht: Es ist keines der Vorschaubilder dieses Videos in dessen Vorschaubildordner.</translation>
    </message>
    <message>
        <location filename="../workflow/regeneration.cpp" line="87"/>
        <source>Failed to delete image %1 : %2</source>
        <translation>Das Bild %1 konnte nicht gelöscht werden: %2</translation>
    </message>
    <message>
        <location filename="../workflow/regeneration.cpp" line="193"/>
        <source>(the output settings name %1)</source>
        <translation>(die Ausgabeeinstellungen nennen %1)</translation>
    </message>
    <message>
        <location filename="../workflow/regeneration.cpp" line="202"/>
        <source>These outputs of %1 were not written again, because they are not where the output settings put them:
%2</source>
        <translation>Diese Ausgaben von %1 wurden nicht neu geschrieben, weil sie nicht dort liegen, wo die Ausgabeeinstellungen sie ablegen:
%2</translation>
    </message>
</context>
<context>
    <name>Report</name>
    <message>
        <location filename="../project/report.h" line="54"/>
        <source>Html report saved</source>
        <translation>HTML-Bericht gespeichert</translation>
    </message>
    <message>
        <location filename="../project/report.h" line="56"/>
        <source>Html report saved

Do you want to view the report now?</source>
        <translation>HTML-Bericht gespeichert

Möchten Sie den Bericht jetzt ansehen?</translation>
    </message>
</context>
<context>
    <name>TemplateCatalogue</name>
    <message>
        <location filename="../render/template_catalogue.cpp" line="101"/>
        <location filename="../render/template_catalogue.cpp" line="106"/>
        <source>Template: %1</source>
        <translation>Vorlage: %1</translation>
    </message>
</context>
<context>
    <name>TemplateData</name>
    <message>
        <location filename="../project/template_data.cpp" line="270"/>
        <source>Failed to open html file (%1) for writing, error : %2</source>
        <translation>Die HTML-Datei (%1) konnte nicht zum Schreiben geöffnet werden, Fehler: %2</translation>
    </message>
</context>
<context>
    <name>ThumbnailGrab</name>
    <message>
        <location filename="../engine/thumbnail_grab.cpp" line="32"/>
        <source>no frame within the time limit</source>
        <translation>kein Bild innerhalb der Zeitgrenze</translation>
    </message>
    <message>
        <location filename="../engine/thumbnail_grab.cpp" line="142"/>
        <source>out of memory</source>
        <translation>nicht genug Arbeitsspeicher</translation>
    </message>
    <message>
        <location filename="../engine/thumbnail_grab.cpp" line="151"/>
        <source>not a media file that can be read</source>
        <translation>keine lesbare Mediendatei</translation>
    </message>
    <message>
        <location filename="../engine/thumbnail_grab.cpp" line="164"/>
        <source>no picture size</source>
        <translation>keine Bildgröße</translation>
    </message>
    <message>
        <location filename="../engine/thumbnail_grab.cpp" line="169"/>
        <source>no video stream that can be decoded</source>
        <translation>kein Videostrom, der sich dekodieren lässt</translation>
    </message>
    <message>
        <location filename="../engine/thumbnail_grab.cpp" line="452"/>
        <source>no frame could be decoded</source>
        <translation>kein Bild ließ sich dekodieren</translation>
    </message>
</context>
<context>
    <name>WorkflowController</name>
    <message>
        <location filename="../workflow/workflow_controller.cpp" line="56"/>
        <source>the file was cut short while it was read (%1 of its %2 bytes are left)</source>
        <translation>die Datei wurde während des Lesens gekürzt (von ihren %2 Bytes sind noch %1 übrig)</translation>
    </message>
    <message>
        <location filename="../workflow/workflow_controller.cpp" line="62"/>
        <source>the file is still being written: it grew from %1 to %2 bytes while it was read. Index it again when it is complete.</source>
        <translation>die Datei wird noch geschrieben: Sie ist während des Lesens von %1 auf %2 Bytes gewachsen. Indizieren Sie sie erneut, wenn sie vollständig ist.</translation>
    </message>
    <message>
        <location filename="../workflow/workflow_controller.cpp" line="68"/>
        <source>the file is still being written: it was changed while it was read. Index it again when it is complete.</source>
        <translation>die Datei wird noch geschrieben: Sie wurde während des Lesens geändert. Indizieren Sie sie erneut, wenn sie vollständig ist.</translation>
    </message>
    <message>
        <location filename="../workflow/workflow_controller.cpp" line="76"/>
        <source>the file is cut short or still being written: it was changed a moment ago, and %1</source>
        <comment>%1 says how many thumbnails were taken</comment>
        <translation>die Datei ist unvollständig oder wird noch geschrieben: Sie wurde gerade eben geändert, und %1</translation>
    </message>
    <message numerus="yes">
        <location filename="../workflow/workflow_controller.cpp" line="91"/>
        <source>%1 of %n thumbnail was taken</source>
        <translation>
            <numerusform>%1 von %n Vorschaubild wurde erfasst</numerusform>
            <numerusform>%1 von %n Vorschaubildern wurden erfasst</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <location filename="../workflow/workflow_controller.cpp" line="92"/>
        <source>%1 of %n thumbnails were taken</source>
        <translation>
            <numerusform>%1 von %n Vorschaubild wurde erfasst</numerusform>
            <numerusform>%1 von %n Vorschaubildern wurden erfasst</numerusform>
        </translation>
    </message>
    <message>
        <location filename="../workflow/workflow_controller.cpp" line="96"/>
        <source>no picture of the video could be read, though its stated length is %1; %2.</source>
        <translation>kein Bild des Videos ließ sich lesen, obwohl seine angegebene Länge %1 beträgt; %2.</translation>
    </message>
    <message>
        <location filename="../workflow/workflow_controller.cpp" line="102"/>
        <source>the video ends at %1, before its stated length of %2; %3.</source>
        <translation>das Video endet bei %1, vor seiner angegebenen Länge von %2; %3.</translation>
    </message>
    <message>
        <location filename="../workflow/workflow_controller.cpp" line="106"/>
        <source>only %1.</source>
        <translation>nur %1.</translation>
    </message>
    <message>
        <location filename="../workflow/workflow_controller.cpp" line="340"/>
        <location filename="../app/indexer/batch_run.cpp" line="435"/>
        <source>Error capturing from &apos;%1&apos; - %2</source>
        <translation>Fehler beim Erfassen von &apos;%1&apos; - %2</translation>
    </message>
    <message>
        <location filename="../workflow/workflow_controller.cpp" line="514"/>
        <source>Error reading from &apos;%1&apos; - %2</source>
        <translation>Fehler beim Lesen von &apos;%1&apos; - %2</translation>
    </message>
    <message numerus="yes">
        <location filename="../workflow/workflow_controller.cpp" line="599"/>
        <source>%n things went wrong while indexing:</source>
        <translation>
            <numerusform>Beim Indizieren ist %n Fehler aufgetreten:</numerusform>
            <numerusform>Beim Indizieren sind %n Fehler aufgetreten:</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <location filename="../workflow/workflow_controller.cpp" line="604"/>
        <source>... and %n more.</source>
        <translation>
            <numerusform>... und %n weiterer.</numerusform>
            <numerusform>... und %n weitere.</numerusform>
        </translation>
    </message>
    <message>
        <location filename="../workflow/workflow_controller.h" line="83"/>
        <source>Grabbing from : %1</source>
        <translation>Erfasse aus: %1</translation>
    </message>
    <message>
        <location filename="../workflow/workflow_controller.h" line="84"/>
        <source>Pausing</source>
        <translation>Wird angehalten</translation>
    </message>
    <message>
        <location filename="../workflow/workflow_controller.h" line="85"/>
        <source>Paused</source>
        <translation>Angehalten</translation>
    </message>
    <message>
        <location filename="../workflow/workflow_controller.h" line="86"/>
        <source>Capturing</source>
        <translation>Erfassung läuft</translation>
    </message>
    <message>
        <location filename="../workflow/workflow_controller.h" line="87"/>
        <source>Stopping</source>
        <translation>Wird beendet</translation>
    </message>
    <message>
        <location filename="../workflow/workflow_controller.h" line="89"/>
        <source>Saving playlist</source>
        <translation>Wiedergabeliste wird gespeichert</translation>
    </message>
    <message>
        <location filename="../workflow/workflow_controller.h" line="91"/>
        <source>Saving webpage</source>
        <translation>Webseite wird gespeichert</translation>
    </message>
    <message>
        <location filename="../workflow/workflow_controller.h" line="93"/>
        <source>Saving index photo</source>
        <translation>Indexfoto wird gespeichert</translation>
    </message>
    <message>
        <location filename="../workflow/workflow_controller.h" line="94"/>
        <source>Ready</source>
        <translation>Bereit</translation>
    </message>
    <message>
        <location filename="../workflow/workflow_outputs.cpp" line="88"/>
        <source>Failed to write the playlist &apos;%1&apos; - %2</source>
        <translation>Die Wiedergabeliste &apos;%1&apos; konnte nicht geschrieben werden - %2</translation>
    </message>
    <message>
        <location filename="../workflow/workflow_outputs.cpp" line="94"/>
        <source>Failed to open playlist file for writing</source>
        <translation>Die Datei der Wiedergabeliste konnte nicht zum Schreiben geöffnet werden</translation>
    </message>
    <message>
        <location filename="../workflow/workflow_outputs.cpp" line="117"/>
        <source>Failed to write the web page &apos;%1&apos; - %2</source>
        <translation>Die Webseite &apos;%1&apos; konnte nicht geschrieben werden - %2</translation>
    </message>
    <message>
        <location filename="../workflow/workflow_outputs.cpp" line="120"/>
        <source>Failed to make the web page &apos;%1&apos; from the template &apos;%2&apos; - %3</source>
        <translation>Die Webseite &apos;%1&apos; konnte nicht aus der Vorlage &apos;%2&apos; erstellt werden - %3</translation>
    </message>
    <message>
        <location filename="../workflow/workflow_outputs.cpp" line="126"/>
        <source>Failed to copy the web page&apos;s companion files: %1</source>
        <translation>Die Begleitdateien der Webseite konnten nicht kopiert werden: %1</translation>
    </message>
    <message>
        <location filename="../workflow/workflow_outputs.cpp" line="149"/>
        <source>the movie is not in the project</source>
        <translation>das Video ist nicht im Projekt</translation>
    </message>
</context>
<context>
    <name>WorkflowPort</name>
    <message>
        <location filename="../workflow/workflow_port.h" line="43"/>
        <source>Indexing finished</source>
        <translation>Indizieren abgeschlossen</translation>
    </message>
    <message numerus="yes">
        <location filename="../workflow/workflow_port.h" line="45"/>
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
        <location filename="../workflow/workflow_port.h" line="49"/>
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
        <location filename="../render/xslt_service.cpp" line="365"/>
        <source>Failed to load xml document for html generation</source>
        <translation>Das XML-Dokument für die HTML-Erzeugung konnte nicht geladen werden</translation>
    </message>
    <message>
        <location filename="../render/xslt_service.cpp" line="386"/>
        <source>Failed to load xslt document for html generation</source>
        <translation>Das XSLT-Dokument für die HTML-Erzeugung konnte nicht geladen werden</translation>
    </message>
    <message>
        <location filename="../render/xslt_service.cpp" line="420"/>
        <source>line %1: %2</source>
        <translation>Zeile %1: %2</translation>
    </message>
    <message>
        <location filename="../render/xslt_service.cpp" line="426"/>
        <source>the transformation failed</source>
        <translation>die Transformation ist fehlgeschlagen</translation>
    </message>
</context>
</TS>
