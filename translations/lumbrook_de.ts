<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de">
<context>
    <name>ErrorReport</name>
    <message>
        <source>Datei %1 kann nicht geöffnet werden</source>
        <translation>Datei %1 kann nicht geöffnet werden</translation>
    </message>
    <message>
        <source>Datei %1 kann nicht erstellt werden</source>
        <translation>Datei %1 kann nicht erstellt werden</translation>
    </message>
    <message>
        <source>Ungültiger Datentyp für &apos;%1&apos;</source>
        <translation>Ungültiger Datentyp für &apos;%1&apos;</translation>
    </message>
    <message>
        <source>%1: MailPart must be owned by a MailMessage</source>
        <translation>%1: Ein Nachrichtenteil muss zu einer Nachricht gehören.</translation>
    </message>
    <message>
        <source>Stopped before the file was complete.</source>
        <translation>Angehalten, bevor die Datei vollständig war.</translation>
    </message>
    <message>
        <source>The printer is still busy with the previous page.</source>
        <translation>Der Drucker ist noch mit der vorigen Seite beschäftigt.</translation>
    </message>
    <message>
        <source>No printer is installed, so nothing can be printed.

Install a printer, or name a directory for PDF files in the environment variable LUMBROOK_PRINT_PDF_DIR: each printed message then becomes a PDF file there.</source>
        <translation>Es ist kein Drucker eingerichtet, daher kann nichts gedruckt werden.

Richten Sie einen Drucker ein oder nennen Sie in der Umgebungsvariablen LUMBROOK_PRINT_PDF_DIR ein Verzeichnis für PDF-Dateien: Jede gedruckte Nachricht wird dann dort eine PDF-Datei.</translation>
    </message>
    <message>
        <source>The page could not be printed on the printer &quot;%1&quot;.</source>
        <translation>Die Seite konnte nicht auf dem Drucker „%1“ gedruckt werden.</translation>
    </message>
    <message>
        <source>The file &quot;%1&quot; could not be created!</source>
        <translation>Die Datei „%1“ konnte nicht erstellt werden.</translation>
    </message>
    <message>
        <source>%1 lies outside the store directory and is not read.</source>
        <translation>%1 liegt außerhalb des Speicherordners und wird nicht gelesen.</translation>
    </message>
    <message>
        <source>Unknown error</source>
        <translation>Unbekannter Fehler</translation>
    </message>
    <message>
        <source>No folder list %1: every folder file is listed by its file name.</source>
        <translation>Keine Ordnerliste %1: Jede Ordnerdatei wird unter ihrem Dateinamen aufgeführt.</translation>
    </message>
    <message>
        <source>The folder list %1 is damaged: every folder file is listed by its file name.</source>
        <translation>Die Ordnerliste %1 ist beschädigt: Jede Ordnerdatei wird unter ihrem Dateinamen aufgeführt.</translation>
    </message>
</context>
<context>
    <name>MainWindowWidgets</name>
    <message>
        <source>Print eMail</source>
        <translation>Drucken</translation>
    </message>
    <message>
        <source>Print out the selected emails</source>
        <translation>Die markierten Nachrichten drucken</translation>
    </message>
    <message>
        <source>Printer setup</source>
        <translation>Drucker</translation>
    </message>
    <message>
        <source>Change the printer settings</source>
        <translation>Die Druckereinstellungen ändern</translation>
    </message>
    <message>
        <source>Save eMail</source>
        <translation>Speichern</translation>
    </message>
    <message>
        <source>Save the selected emails as eml files</source>
        <translation>Die markierten Nachrichten als .eml-Dateien speichern</translation>
    </message>
    <message>
        <source>Export eMail</source>
        <translation>Exportieren</translation>
    </message>
    <message>
        <source>Save the selected emails as html files</source>
        <translation>Die markierten Nachrichten als HTML-Dateien speichern</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Cancel the actual process</source>
        <translation>Die laufende Arbeit abbrechen</translation>
    </message>
    <message>
        <source>Select all</source>
        <translation>Alle markieren</translation>
    </message>
    <message>
        <source>Select all emails</source>
        <translation>Alle Nachrichten markieren</translation>
    </message>
    <message>
        <source>Info</source>
        <translation>Info</translation>
    </message>
    <message>
        <source>Information about the program</source>
        <translation>Informationen über das Programm</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>Beenden</translation>
    </message>
    <message>
        <source>Hereby you leave the program</source>
        <translation>Das Programm beenden</translation>
    </message>
    <message>
        <source>Open store...</source>
        <translation>Speicherordner öffnen...</translation>
    </message>
    <message>
        <source>Open the directory of an Outlook Express store</source>
        <translation>Den Speicherordner von Outlook Express öffnen</translation>
    </message>
    <message>
        <source>Print to PDF...</source>
        <translation>Als PDF drucken...</translation>
    </message>
    <message>
        <source>Print the selected emails into PDF files</source>
        <translation>Die markierten Nachrichten in PDF-Dateien drucken</translation>
    </message>
    <message>
        <source>Export store...</source>
        <translation>Speicherordner exportieren...</translation>
    </message>
    <message>
        <source>The whole store as mbox, Maildir or eml files</source>
        <translation>Den ganzen Speicherordner als mbox, Maildir oder .eml-Dateien</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>Öffnen</translation>
    </message>
    <message>
        <source>Show the message in a window of its own</source>
        <translation>Die Nachricht in einem eigenen Fenster zeigen</translation>
    </message>
    <message>
        <source>Show in folder</source>
        <translation>Im Ordner zeigen</translation>
    </message>
    <message>
        <source>List the folder of the message and select it there</source>
        <translation>Den Ordner der Nachricht zeigen und sie dort markieren</translation>
    </message>
    <message>
        <source>&lt;p&gt;&lt;b&gt;No Outlook Express store is open.&lt;/b&gt;&lt;/p&gt;&lt;p&gt;A store is the directory where Outlook Express 5 or 6 kept its mail: Folders.dbx, Inbox.dbx and one .dbx file for every other folder. Open that directory, or any .dbx file in it, or drop it onto this window. Lumbrook only reads it; nothing is ever changed.&lt;/p&gt;</source>
        <translation>&lt;p&gt;&lt;b&gt;Es ist kein Speicherordner von Outlook Express geöffnet.&lt;/b&gt;&lt;/p&gt;&lt;p&gt;Der Speicherordner ist das Verzeichnis, in dem Outlook Express 5 oder 6 seine Nachrichten ablegte: Folders.dbx, Inbox.dbx und eine .dbx-Datei für jeden weiteren Ordner. Öffnen Sie dieses Verzeichnis oder eine .dbx-Datei darin, oder ziehen Sie es auf dieses Fenster. Lumbrook liest es nur; nichts wird je verändert.&lt;/p&gt;</translation>
    </message>
    <message>
        <source>Show preview with complete design </source>
        <translation>Vorschau mit vollständigem Design zeigen</translation>
    </message>
    <message>
        <source>From field</source>
        <translation>Von</translation>
    </message>
    <message>
        <source>To field</source>
        <translation>An</translation>
    </message>
    <message>
        <source>Date field</source>
        <translation>Datum</translation>
    </message>
    <message>
        <source>Subject field</source>
        <translation>Betreff</translation>
    </message>
    <message>
        <source>Design template:</source>
        <translation>Designvorlage:</translation>
    </message>
    <message>
        <source>Go to the Harlstone homepage...</source>
        <translation>Zur Homepage von Harlstone</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Datei</translation>
    </message>
    <message>
        <source>Open &amp;recent</source>
        <translation>Zu&amp;letzt geöffnet</translation>
    </message>
    <message>
        <source>&amp;Edit</source>
        <translation>&amp;Bearbeiten</translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation>&amp;Ansicht</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Hilfe</translation>
    </message>
    <message>
        <source>&amp;About Lumbrook</source>
        <translation>&amp;Über Lumbrook</translation>
    </message>
    <message>
        <source>Search</source>
        <translation>Suchen</translation>
    </message>
    <message>
        <source>Search every folder: words, &quot;a phrase&quot;, pre*, a OR b, -word,
from: to: subject: folder:, has:attachment, after:YYYY-MM-DD, before:YYYY-MM-DD</source>
        <translation>In allen Ordnern suchen: Wörter, &quot;eine Wendung&quot;, anf*, a OR b, -wort,
from: to: subject: folder:, has:attachment, after:JJJJ-MM-TT, before:JJJJ-MM-TT</translation>
    </message>
    <message>
        <source>&amp;Find</source>
        <translation>&amp;Suchen</translation>
    </message>
    <message>
        <source>Search all folders</source>
        <translation>In allen Ordnern suchen</translation>
    </message>
    <message>
        <source>Back to the folder</source>
        <translation>Zurück zum Ordner</translation>
    </message>
    <message>
        <source>Show deleted and orphaned messages</source>
        <translation>Gelöschte und verwaiste Nachrichten zeigen</translation>
    </message>
    <message>
        <source>Also list the messages the folder&apos;s file holds but its index does not</source>
        <translation>Auch die Nachrichten auflisten, die die Datei des Ordners enthält, sein Index aber nicht</translation>
    </message>
    <message>
        <source>Look for its messages</source>
        <translation>Nach seinen Nachrichten suchen</translation>
    </message>
</context>
<context>
    <name>lumbrook::AboutDialog</name>
    <message>
        <source>Info</source>
        <translation>Info</translation>
    </message>
    <message>
        <source>Harlstone Lumbrook %1</source>
        <translation>Harlstone Lumbrook %1</translation>
    </message>
    <message>
        <source>Reads, prints, saves and exports the mail of Outlook Express 5 and 6 stores.
The store itself is only ever read, never changed.</source>
        <translation>Liest, druckt, speichert und exportiert die Nachrichten von Outlook Express 5 und 6.
Der Speicherordner selbst wird nur gelesen, nie verändert.</translation>
    </message>
    <message>
        <source>Version %1
Copyright © XXXX Harlstone.
Free software under the MIT licence: use, copy, change and pass it on, with the licence text beside it.</source>
        <translation>Version %1
Copyright © XXXX Harlstone.
Freie Software unter der MIT-Lizenz: Sie dürfen sie nutzen, kopieren, ändern und weitergeben, mit dem Lizenztext dabei.</translation>
    </message>
    <message>
        <source>Go to the Harlstone homepage...</source>
        <translation>Zur Homepage von Harlstone</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>lumbrook::AttachmentBar</name>
    <message>
        <source>Open attachment</source>
        <translation>Anhang öffnen</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is a program or script: opening it can run code on this computer.

Open files of this type anyway?</source>
        <translation>„%1“ ist ein Programm oder Skript: Wenn Sie es öffnen, kann es Code auf diesem Computer ausführen.

Dateien dieser Art trotzdem öffnen?</translation>
    </message>
    <message>
        <source>Save attachment</source>
        <translation>Anhang speichern</translation>
    </message>
    <message>
        <source>Save all attachments</source>
        <translation>Alle Anhänge speichern</translation>
    </message>
    <message>
        <source>No program on this computer opens &quot;%1&quot;.

Save it, to open it with a program of your choice?</source>
        <translation>Kein Programm auf diesem Computer öffnet „%1“.

Speichern, um die Datei mit einem Programm Ihrer Wahl zu öffnen?</translation>
    </message>
    <message>
        <source>Save attachment...</source>
        <translation>Anhang speichern...</translation>
    </message>
    <message>
        <source>Save all attachments...</source>
        <translation>Alle Anhänge speichern...</translation>
    </message>
</context>
<context>
    <name>lumbrook::BatchCommands</name>
    <message>
        <source>&quot;%1&quot; at offset %2: %3</source>
        <translation>„%1“ an Position %2: %3</translation>
    </message>
    <message>
        <source>Cancel the search or let it end first</source>
        <translation>Brechen Sie zuerst die Suche ab oder warten Sie ihr Ende ab</translation>
    </message>
    <message numerus="yes">
        <source>%n messages could not be read whole:</source>
        <translation>
            <numerusform>%n Nachricht konnte nicht vollständig gelesen werden:</numerusform>
            <numerusform>%n Nachrichten konnten nicht vollständig gelesen werden:</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>There became %n messages printed!</source>
        <translation>
            <numerusform>%n Nachricht gedruckt.</numerusform>
            <numerusform>%n Nachrichten gedruckt.</numerusform>
        </translation>
    </message>
    <message>
        <source>Printing finished</source>
        <translation>Drucken beendet</translation>
    </message>
    <message>
        <source>Print to PDF</source>
        <translation>Als PDF drucken</translation>
    </message>
    <message>
        <source>PDF files (*.pdf)</source>
        <translation>PDF-Dateien (*.pdf)</translation>
    </message>
    <message numerus="yes">
        <source>There became %n messages saved!</source>
        <translation>
            <numerusform>%n Nachricht gespeichert.</numerusform>
            <numerusform>%n Nachrichten gespeichert.</numerusform>
        </translation>
    </message>
    <message>
        <source>Saving finished</source>
        <translation>Speichern beendet</translation>
    </message>
    <message numerus="yes">
        <source>There became %n messages exported!</source>
        <translation>
            <numerusform>%n Nachricht exportiert.</numerusform>
            <numerusform>%n Nachrichten exportiert.</numerusform>
        </translation>
    </message>
    <message>
        <source>Export finished</source>
        <translation>Export beendet</translation>
    </message>
</context>
<context>
    <name>lumbrook::DirectoryEdit</name>
    <message>
        <source>...</source>
        <translation>...</translation>
    </message>
    <message>
        <source>Choose a directory</source>
        <translation>Ein Verzeichnis wählen</translation>
    </message>
    <message>
        <source>Choose the destination directory</source>
        <translation>Das Zielverzeichnis wählen</translation>
    </message>
</context>
<context>
    <name>lumbrook::ExportStoreDialog</name>
    <message>
        <source>Export store</source>
        <translation>Speicherordner exportieren</translation>
    </message>
    <message>
        <source>mbox (Thunderbird)</source>
        <translation>mbox (Thunderbird)</translation>
    </message>
    <message>
        <source>Maildir</source>
        <translation>Maildir</translation>
    </message>
    <message>
        <source>.eml files</source>
        <translation>.eml-Dateien</translation>
    </message>
    <message>
        <source>Format:</source>
        <translation>Format:</translation>
    </message>
    <message>
        <source>Into directory:</source>
        <translation>In das Verzeichnis:</translation>
    </message>
    <message>
        <source>Folders:</source>
        <translation>Ordner:</translation>
    </message>
    <message>
        <source>Exporting the store...</source>
        <translation>Der Speicherordner wird exportiert...</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>
Cancelled: run it again to go on.</source>
        <translation>
Abgebrochen: Starten Sie den Export erneut, um fortzufahren.</translation>
    </message>
    <message>
        <source>Please note:</source>
        <translation>Bitte beachten Sie:</translation>
    </message>
    <message numerus="yes">
        <source>%n messages written, %1 already there, in %2 folders.</source>
        <translation>
            <numerusform>%n Nachricht geschrieben, %1 schon vorhanden, in %2 Ordnern.</numerusform>
            <numerusform>%n Nachrichten geschrieben, %1 schon vorhanden, in %2 Ordnern.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n could not be written:</source>
        <translation>
            <numerusform>%n konnte nicht geschrieben werden:</numerusform>
            <numerusform>%n konnten nicht geschrieben werden:</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n could not be read whole and were written as far as they could be read:</source>
        <translation>
            <numerusform>%n konnte nicht vollständig gelesen werden und wurde so weit wie möglich geschrieben:</numerusform>
            <numerusform>%n konnten nicht vollständig gelesen werden und wurden so weit wie möglich geschrieben:</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>lumbrook::FindStoresDialog</name>
    <message>
        <source>Find stores</source>
        <translation>Speicherordner suchen</translation>
    </message>
</context>
<context>
    <name>lumbrook::FoundStoresPanel</name>
    <message>
        <source>Find stores...</source>
        <translation>Speicherordner suchen...</translation>
    </message>
    <message>
        <source>%1 (%2)</source>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <source>Store of %1</source>
        <translation>Speicherordner von %1</translation>
    </message>
    <message>
        <source>Store</source>
        <translation>Speicherordner</translation>
    </message>
    <message>
        <source>Messages</source>
        <translation>Nachrichten</translation>
    </message>
    <message>
        <source>Dates</source>
        <translation>Zeitraum</translation>
    </message>
    <message>
        <source>Directory</source>
        <translation>Verzeichnis</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>Öffnen</translation>
    </message>
    <message>
        <source>Looking for stores on mounted disks and in Wine...</source>
        <translation>Speicherordner auf eingebundenen Laufwerken und in Wine werden gesucht...</translation>
    </message>
    <message>
        <source>No store was found on mounted disks or in Wine.</source>
        <translation>Auf eingebundenen Laufwerken und in Wine wurde kein Speicherordner gefunden.</translation>
    </message>
    <message>
        <source>Find stores in</source>
        <translation>Speicherordner suchen in</translation>
    </message>
    <message>
        <source>Looking for stores in %1...</source>
        <translation>Speicherordner in %1 werden gesucht...</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Find stores</source>
        <translation>Speicherordner suchen</translation>
    </message>
    <message>
        <source>%1 directories, %2 files read, %3 stores found</source>
        <translation>Verzeichnisse: %1, gelesene Dateien: %2, gefundene Speicherordner: %3</translation>
    </message>
    <message>
        <source>Stopped: the stores found so far are listed.</source>
        <translation>Angehalten: Die bis dahin gefundenen Speicherordner sind aufgeführt.</translation>
    </message>
    <message>
        <source>No store was found in %1.</source>
        <translation>In %1 wurde kein Speicherordner gefunden.</translation>
    </message>
    <message>
        <source>%1 to %2</source>
        <translation>%1 bis %2</translation>
    </message>
    <message>
        <source>Stores found on this computer: double-click one to open it.</source>
        <translation>Auf diesem Computer gefundene Speicherordner: zum Öffnen doppelklicken.</translation>
    </message>
</context>
<context>
    <name>lumbrook::MainWindow</name>
    <message>
        <source>Harlstone Lumbrook 1.0</source>
        <translation>Harlstone Lumbrook 1.0</translation>
    </message>
    <message>
        <source>There are no Outlook Express folders in %1.</source>
        <translation>In %1 gibt es keine Ordner von Outlook Express.</translation>
    </message>
    <message>
        <source>Open store</source>
        <translation>Speicherordner öffnen</translation>
    </message>
    <message>
        <source>Outlook Express folders (*.dbx *.DBX)</source>
        <translation>Ordner von Outlook Express (*.dbx *.DBX)</translation>
    </message>
    <message>
        <source>%1 is neither a directory nor a .dbx file.</source>
        <translation>%1 ist weder ein Verzeichnis noch eine .dbx-Datei.</translation>
    </message>
    <message>
        <source>eMail message</source>
        <translation>E-Mail-Nachricht</translation>
    </message>
</context>
<context>
    <name>lumbrook::MessageListModel</name>
    <message>
        <source>From:</source>
        <translation>Von</translation>
    </message>
    <message>
        <source>To:</source>
        <translation>An</translation>
    </message>
    <message>
        <source>Subject</source>
        <translation>Betreff</translation>
    </message>
    <message>
        <source>Date</source>
        <translation>Datum</translation>
    </message>
    <message>
        <source>Folder</source>
        <translation>Ordner</translation>
    </message>
    <message>
        <source>Deleted message, found in the folder&apos;s free space</source>
        <translation>Gelöschte Nachricht, im freien Platz des Ordners gefunden</translation>
    </message>
    <message>
        <source>Orphaned message, no longer in the folder&apos;s index</source>
        <translation>Verwaiste Nachricht, nicht mehr im Index des Ordners</translation>
    </message>
    <message>
        <source>High priority</source>
        <translation>Hohe Priorität</translation>
    </message>
    <message>
        <source>Attachment</source>
        <translation>Anhang</translation>
    </message>
    <message>
        <source>Flagged</source>
        <translation>Gekennzeichnet</translation>
    </message>
    <message>
        <source>Could not be read whole: </source>
        <translation>Nicht vollständig lesbar: </translation>
    </message>
    <message>
        <source>Priority</source>
        <translation>Priorität</translation>
    </message>
    <message>
        <source>Flag</source>
        <translation>Kennzeichnung</translation>
    </message>
</context>
<context>
    <name>lumbrook::MessageWindow</name>
    <message>
        <source>From:</source>
        <translation>Von:</translation>
    </message>
    <message>
        <source>Date:</source>
        <translation>Datum:</translation>
    </message>
    <message>
        <source>To:</source>
        <translation>An:</translation>
    </message>
    <message>
        <source>Subject:</source>
        <translation>Betreff:</translation>
    </message>
    <message>
        <source>Go back...</source>
        <translation>Schließen</translation>
    </message>
</context>
<context>
    <name>lumbrook::PageLayoutDialog</name>
    <message>
        <source>Page setup</source>
        <translation>Seite einrichten</translation>
    </message>
    <message>
        <source>Orientation</source>
        <translation>Ausrichtung</translation>
    </message>
    <message>
        <source>&amp;Portrait</source>
        <translation>&amp;Hochformat</translation>
    </message>
    <message>
        <source>&amp;Landscape</source>
        <translation>&amp;Querformat</translation>
    </message>
    <message>
        <source>Margins</source>
        <translation>Ränder</translation>
    </message>
    <message>
        <source>Left:</source>
        <translation>Links:</translation>
    </message>
    <message>
        <source>Top:</source>
        <translation>Oben:</translation>
    </message>
    <message>
        <source>Right:</source>
        <translation>Rechts:</translation>
    </message>
    <message>
        <source>Bottom:</source>
        <translation>Unten:</translation>
    </message>
    <message>
        <source>Paper &amp;size:</source>
        <translation>Papier&amp;format:</translation>
    </message>
</context>
<context>
    <name>lumbrook::RecoveryController</name>
    <message>
        <source>Looking for deleted messages...</source>
        <translation>Suche nach gelöschten Nachrichten...</translation>
    </message>
    <message>
        <source>The index of this folder cannot be read.</source>
        <translation>Der Index dieses Ordners kann nicht gelesen werden.</translation>
    </message>
    <message>
        <source>The index of this folder lists nothing, but its file holds data.</source>
        <translation>Der Index dieses Ordners führt nichts auf, aber seine Datei enthält Daten.</translation>
    </message>
    <message>
        <source>Looking for deleted messages: %1 %</source>
        <translation>Suche nach gelöschten Nachrichten: %1 %</translation>
    </message>
    <message>
        <source>The search for deleted messages failed: </source>
        <translation>Die Suche nach gelöschten Nachrichten ist fehlgeschlagen: </translation>
    </message>
    <message>
        <source>No deleted or orphaned messages found.</source>
        <translation>Keine gelöschten oder verwaisten Nachrichten gefunden.</translation>
    </message>
    <message>
        <source>Found %1 deleted and %2 orphaned messages.</source>
        <translation>Gefundene Nachrichten: %1 gelöscht, %2 verwaist.</translation>
    </message>
    <message>
        <source>The message is no longer listed.</source>
        <translation>Die Nachricht ist nicht mehr aufgeführt.</translation>
    </message>
    <message>
        <source>The index of this folder lists fewer messages than its file counts.</source>
        <translation>Der Index dieses Ordners führt weniger Nachrichten auf, als seine Datei zählt.</translation>
    </message>
    <message>
        <source>%1 more messages were found in its file.</source>
        <translation>Weitere Nachrichten in seiner Datei gefunden: %1.</translation>
    </message>
</context>
<context>
    <name>lumbrook::SaveExportDialog</name>
    <message>
        <source>Save/export eMail</source>
        <translation>Nachrichten speichern oder exportieren</translation>
    </message>
    <message>
        <source>Save or export eMail - choose destination directory</source>
        <translation>Nachrichten speichern oder exportieren: Zielverzeichnis wählen</translation>
    </message>
    <message>
        <source>Destination directory:</source>
        <translation>Zielverzeichnis:</translation>
    </message>
    <message>
        <source>Date as part of the file name</source>
        <translation>Datum als Teil des Dateinamens</translation>
    </message>
    <message>
        <source>Always save as HTML file</source>
        <translation>Immer als HTML-Datei speichern</translation>
    </message>
    <message>
        <source>Always save as TXT file</source>
        <translation>Immer als Textdatei speichern</translation>
    </message>
    <message>
        <source>Save in same format as email</source>
        <translation>Im Format der Nachricht speichern</translation>
    </message>
    <message>
        <source>Attachments beside the page</source>
        <translation>Anhänge neben der Seite</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>&amp;Abbrechen</translation>
    </message>
</context>
<context>
    <name>lumbrook::SearchController</name>
    <message>
        <source>Cannot search: %1</source>
        <translation>Suche nicht möglich: %1</translation>
    </message>
    <message>
        <source>Search when the batch has ended</source>
        <translation>Suchen Sie, wenn die laufende Arbeit beendet ist</translation>
    </message>
    <message>
        <source>No store to search</source>
        <translation>Kein Speicherordner zum Durchsuchen geöffnet</translation>
    </message>
    <message>
        <source>Searching...</source>
        <translation>Suche läuft...</translation>
    </message>
    <message>
        <source>Indexing %1/%2</source>
        <translation>Indizierung %1/%2</translation>
    </message>
    <message>
        <source>Search cancelled</source>
        <translation>Suche abgebrochen</translation>
    </message>
    <message>
        <source>%1 of %2</source>
        <translation>%1 von %2</translation>
    </message>
    <message>
        <source>Search results (%1) - %2</source>
        <translation>Suchergebnisse (%1) - %2</translation>
    </message>
    <message numerus="yes">
        <source>%1 of %n messages found</source>
        <translation>
            <numerusform>%1 von %n Nachricht gefunden</numerusform>
            <numerusform>%1 von %n Nachrichten gefunden</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n messages found</source>
        <translation>
            <numerusform>%n Nachricht gefunden</numerusform>
            <numerusform>%n Nachrichten gefunden</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>; %n could not be indexed</source>
        <translation>
            <numerusform>; %n konnte nicht indiziert werden</numerusform>
            <numerusform>; %n konnten nicht indiziert werden</numerusform>
        </translation>
    </message>
    <message>
        <source>No messages match &quot;%1&quot;.</source>
        <translation>Keine Nachricht passt zu „%1“.</translation>
    </message>
</context>
<context>
    <name>lumbrook::TextEncodingMenu</name>
    <message>
        <source>Western (Windows-1252)</source>
        <translation>Westeuropäisch (Windows-1252)</translation>
    </message>
    <message>
        <source>Central European (Windows-1250)</source>
        <translation>Mitteleuropäisch (Windows-1250)</translation>
    </message>
    <message>
        <source>Cyrillic (Windows-1251)</source>
        <translation>Kyrillisch (Windows-1251)</translation>
    </message>
    <message>
        <source>Greek (Windows-1253)</source>
        <translation>Griechisch (Windows-1253)</translation>
    </message>
    <message>
        <source>Turkish (Windows-1254)</source>
        <translation>Türkisch (Windows-1254)</translation>
    </message>
    <message>
        <source>Baltic (Windows-1257)</source>
        <translation>Baltisch (Windows-1257)</translation>
    </message>
    <message>
        <source>Hebrew (Windows-1255)</source>
        <translation>Hebräisch (Windows-1255)</translation>
    </message>
    <message>
        <source>Arabic (Windows-1256)</source>
        <translation>Arabisch (Windows-1256)</translation>
    </message>
    <message>
        <source>Vietnamese (Windows-1258)</source>
        <translation>Vietnamesisch (Windows-1258)</translation>
    </message>
    <message>
        <source>Thai (Windows-874)</source>
        <translation>Thailändisch (Windows-874)</translation>
    </message>
    <message>
        <source>Japanese (Shift JIS)</source>
        <translation>Japanisch (Shift JIS)</translation>
    </message>
    <message>
        <source>Chinese Simplified (GBK)</source>
        <translation>Chinesisch, vereinfacht (GBK)</translation>
    </message>
    <message>
        <source>Korean (Windows-949)</source>
        <translation>Koreanisch (Windows-949)</translation>
    </message>
    <message>
        <source>Chinese Traditional (Big5)</source>
        <translation>Chinesisch, traditionell (Big5)</translation>
    </message>
    <message>
        <source>Text &amp;encoding</source>
        <translation>&amp;Textkodierung</translation>
    </message>
    <message>
        <source>Automatic</source>
        <translation>Automatisch</translation>
    </message>
    <message>
        <source>Automatic (%1)</source>
        <translation>Automatisch (%1)</translation>
    </message>
</context>
<context>
    <name>lumbrook::UploadDialog</name>
    <message>
        <source>%1 cannot be reached: %2</source>
        <translation>%1 ist nicht erreichbar: %2</translation>
    </message>
    <message>
        <source>The certificate of %1 is not trusted (%2). Nothing was uploaded.</source>
        <translation>Dem Zertifikat von %1 wird nicht vertraut (%2). Es wurde nichts hochgeladen.</translation>
    </message>
    <message>
        <source>The server refused the login (%1). Please check the user name and password.</source>
        <translation>Der Server hat die Anmeldung abgelehnt (%1). Bitte prüfen Sie Benutzername und Passwort.</translation>
    </message>
    <message>
        <source>The connection to %1 broke: %2. Upload again to go on.</source>
        <translation>Die Verbindung zu %1 ist abgebrochen: %2. Laden Sie erneut hoch, um fortzufahren.</translation>
    </message>
    <message>
        <source>The server refused: %1</source>
        <translation>Der Server hat abgelehnt: %1</translation>
    </message>
    <message>
        <source>The upload record: %1</source>
        <translation>Das Protokoll des Hochladens: %1</translation>
    </message>
    <message>
        <source>Upload to mail server</source>
        <translation>Auf den Mailserver hochladen</translation>
    </message>
    <message>
        <source>imap.example.org</source>
        <translation>imap.example.org</translation>
    </message>
    <message>
        <source>Server:</source>
        <translation>Server:</translation>
    </message>
    <message>
        <source>TLS (port 993)</source>
        <translation>TLS (Port 993)</translation>
    </message>
    <message>
        <source>STARTTLS (port 143)</source>
        <translation>STARTTLS (Port 143)</translation>
    </message>
    <message>
        <source>Security:</source>
        <translation>Sicherheit:</translation>
    </message>
    <message>
        <source>Port:</source>
        <translation>Port:</translation>
    </message>
    <message>
        <source>User:</source>
        <translation>Benutzer:</translation>
    </message>
    <message>
        <source>Password:</source>
        <translation>Passwort:</translation>
    </message>
    <message>
        <source>(optional) Old mail/Outlook Express</source>
        <translation>(optional) Alte Mails/Outlook Express</translation>
    </message>
    <message>
        <source>Into folder:</source>
        <translation>In den Ordner:</translation>
    </message>
    <message>
        <source>(optional) certificate authority file for a private server</source>
        <translation>(optional) Zertifizierungsstelle eines eigenen Servers (Datei)</translation>
    </message>
    <message>
        <source>CA file:</source>
        <translation>CA-Datei:</translation>
    </message>
    <message>
        <source>Also the deleted messages the folder files still hold</source>
        <translation>Auch die gelöschten Nachrichten, die die Ordnerdateien noch enthalten</translation>
    </message>
    <message>
        <source>Folders:</source>
        <translation>Ordner:</translation>
    </message>
    <message>
        <source>Upload</source>
        <translation>Hochladen</translation>
    </message>
    <message>
        <source>Connecting to %1...</source>
        <translation>Verbindung zu %1 wird aufgebaut...</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>%1 of %2 messages, %3 of %4 MB, %5 MB/s</source>
        <translation>%1 von %2 Nachrichten, %3 von %4 MB, %5 MB/s</translation>
    </message>
    <message numerus="yes">
        <source>%n messages uploaded, %1 uploaded before, %2 already on the server, in %3 folders.</source>
        <translation>
            <numerusform>%n Nachricht hochgeladen, %1 schon früher, %2 schon auf dem Server, in %3 Ordnern.</numerusform>
            <numerusform>%n Nachrichten hochgeladen, %1 schon früher, %2 schon auf dem Server, in %3 Ordnern.</numerusform>
        </translation>
    </message>
    <message>
        <source>
Cancelled: upload again to go on.</source>
        <translation>
Abgebrochen: Laden Sie erneut hoch, um fortzufahren.</translation>
    </message>
    <message numerus="yes">
        <source>
%n messages are not on the server yet: upload again to go on.</source>
        <translation>
            <numerusform>
%n Nachricht ist noch nicht auf dem Server: Laden Sie erneut hoch, um fortzufahren.</numerusform>
            <numerusform>
%n Nachrichten sind noch nicht auf dem Server: Laden Sie erneut hoch, um fortzufahren.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n were refused by the server:</source>
        <translation>
            <numerusform>%n wurde vom Server abgelehnt:</numerusform>
            <numerusform>%n wurden vom Server abgelehnt:</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n could not be uploaded:</source>
        <translation>
            <numerusform>%n konnte nicht hochgeladen werden:</numerusform>
            <numerusform>%n konnten nicht hochgeladen werden:</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n could not be read whole and were uploaded as far as they could be read:</source>
        <translation>
            <numerusform>%n konnte nicht vollständig gelesen werden und wurde so weit wie möglich hochgeladen:</numerusform>
            <numerusform>%n konnten nicht vollständig gelesen werden und wurden so weit wie möglich hochgeladen:</numerusform>
        </translation>
    </message>
    <message>
        <source>Upload to mail server...</source>
        <translation>Auf den Mailserver hochladen...</translation>
    </message>
    <message>
        <source>The store&apos;s folders into a mail account over IMAP, flags and dates kept</source>
        <translation>Die Ordner des Speicherordners per IMAP in ein Mailkonto, mit Markierungen und Datum</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>%1: the store is read as Windows-1252.</source>
        <translation>%1: Der Speicherordner wird als Windows-1252 gelesen.</translation>
    </message>
</context>
</TS>
