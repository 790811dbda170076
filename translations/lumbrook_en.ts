<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>ErrorReport</name>
    <message>
        <source>Datei %1 kann nicht geöffnet werden</source>
        <translation>Cannot open the file %1.</translation>
    </message>
    <message>
        <source>Datei %1 kann nicht erstellt werden</source>
        <translation>Cannot create the file %1.</translation>
    </message>
    <message>
        <source>Ungültiger Datentyp für &apos;%1&apos;</source>
        <translation>Invalid data type for &apos;%1&apos;.</translation>
    </message>
    <message>
        <source>%1: MailPart must be owned by a MailMessage</source>
        <translation>%1: a message part must belong to a message.</translation>
    </message>
    <message>
        <source>Stopped before the file was complete.</source>
        <translation>Stopped before the file was complete.</translation>
    </message>
    <message>
        <source>The printer is still busy with the previous page.</source>
        <translation>The printer is still busy with the previous page.</translation>
    </message>
    <message>
        <source>No printer is installed, so nothing can be printed.

Install a printer, or name a directory for PDF files in the environment variable LUMBROOK_PRINT_PDF_DIR: each printed message then becomes a PDF file there.</source>
        <translation>No printer is installed, so nothing can be printed.

Install a printer, or name a directory for PDF files in the environment variable LUMBROOK_PRINT_PDF_DIR: each printed message then becomes a PDF file there.</translation>
    </message>
    <message>
        <source>The page could not be printed on the printer &quot;%1&quot;.</source>
        <translation>The page could not be printed on the printer &quot;%1&quot;.</translation>
    </message>
    <message>
        <source>The file &quot;%1&quot; could not be created!</source>
        <translation>The file &quot;%1&quot; could not be created.</translation>
    </message>
    <message>
        <source>%1 lies outside the store directory and is not read.</source>
        <translation>%1 lies outside the store directory and is not read.</translation>
    </message>
    <message>
        <source>Unknown error</source>
        <translation>Unknown error</translation>
    </message>
    <message>
        <source>No folder list %1: every folder file is listed by its file name.</source>
        <translation>No folder list %1: every folder file is listed by its file name.</translation>
    </message>
    <message>
        <source>The folder list %1 is damaged: every folder file is listed by its file name.</source>
        <translation>The folder list %1 is damaged: every folder file is listed by its file name.</translation>
    </message>
</context>
<context>
    <name>MainWindowWidgets</name>
    <message>
        <source>Print eMail</source>
        <translation>Print</translation>
    </message>
    <message>
        <source>Print out the selected emails</source>
        <translation>Print the selected messages</translation>
    </message>
    <message>
        <source>Printer setup</source>
        <translation>Printer setup</translation>
    </message>
    <message>
        <source>Change the printer settings</source>
        <translation>Change the printer settings</translation>
    </message>
    <message>
        <source>Save eMail</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>Save the selected emails as eml files</source>
        <translation>Save the selected messages as .eml files</translation>
    </message>
    <message>
        <source>Export eMail</source>
        <translation>Export</translation>
    </message>
    <message>
        <source>Save the selected emails as html files</source>
        <translation>Save the selected messages as HTML files</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Cancel the actual process</source>
        <translation>Cancel the work under way</translation>
    </message>
    <message>
        <source>Select all</source>
        <translation>Select all</translation>
    </message>
    <message>
        <source>Select all emails</source>
        <translation>Select all messages</translation>
    </message>
    <message>
        <source>Info</source>
        <translation>About</translation>
    </message>
    <message>
        <source>Information about the program</source>
        <translation>About this program</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>Quit</translation>
    </message>
    <message>
        <source>Hereby you leave the program</source>
        <translation>Quit the program</translation>
    </message>
    <message>
        <source>Open store...</source>
        <translation>Open store...</translation>
    </message>
    <message>
        <source>Open the directory of an Outlook Express store</source>
        <translation>Open the directory of an Outlook Express store</translation>
    </message>
    <message>
        <source>Print to PDF...</source>
        <translation>Print to PDF...</translation>
    </message>
    <message>
        <source>Print the selected emails into PDF files</source>
        <translation>Print the selected messages into PDF files</translation>
    </message>
    <message>
        <source>Export store...</source>
        <translation>Export store...</translation>
    </message>
    <message>
        <source>The whole store as mbox, Maildir or eml files</source>
        <translation>The whole store as mbox, Maildir or .eml files</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>Show the message in a window of its own</source>
        <translation>Show the message in a window of its own</translation>
    </message>
    <message>
        <source>Show in folder</source>
        <translation>Show in folder</translation>
    </message>
    <message>
        <source>List the folder of the message and select it there</source>
        <translation>List the folder of the message and select it there</translation>
    </message>
    <message>
        <source>&lt;p&gt;&lt;b&gt;No Outlook Express store is open.&lt;/b&gt;&lt;/p&gt;&lt;p&gt;A store is the directory where Outlook Express 5 or 6 kept its mail: Folders.dbx, Inbox.dbx and one .dbx file for every other folder. Open that directory, or any .dbx file in it, or drop it onto this window. Lumbrook only reads it; nothing is ever changed.&lt;/p&gt;</source>
        <translation>&lt;p&gt;&lt;b&gt;No Outlook Express store is open.&lt;/b&gt;&lt;/p&gt;&lt;p&gt;A store is the directory where Outlook Express 5 or 6 kept its mail: Folders.dbx, Inbox.dbx and one .dbx file for every other folder. Open that directory, or any .dbx file in it, or drop it onto this window. Lumbrook only reads it; nothing is ever changed.&lt;/p&gt;</translation>
    </message>
    <message>
        <source>Show preview with complete design </source>
        <translation>Show the preview with its design</translation>
    </message>
    <message>
        <source>From field</source>
        <translation>From</translation>
    </message>
    <message>
        <source>To field</source>
        <translation>To</translation>
    </message>
    <message>
        <source>Date field</source>
        <translation>Date</translation>
    </message>
    <message>
        <source>Subject field</source>
        <translation>Subject</translation>
    </message>
    <message>
        <source>Design template:</source>
        <translation>Design template:</translation>
    </message>
    <message>
        <source>Go to the Harlstone homepage...</source>
        <translation>Visit the Harlstone homepage</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>Open &amp;recent</source>
        <translation>Open &amp;recent</translation>
    </message>
    <message>
        <source>&amp;Edit</source>
        <translation>&amp;Edit</translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation>&amp;View</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>&amp;About Lumbrook</source>
        <translation>&amp;About Lumbrook</translation>
    </message>
    <message>
        <source>Search</source>
        <translation>Search</translation>
    </message>
    <message>
        <source>Search every folder: words, &quot;a phrase&quot;, pre*, a OR b, -word,
from: to: subject: folder:, has:attachment, after:YYYY-MM-DD, before:YYYY-MM-DD</source>
        <translation>Search every folder: words, &quot;a phrase&quot;, pre*, a OR b, -word,
from: to: subject: folder:, has:attachment, after:YYYY-MM-DD, before:YYYY-MM-DD</translation>
    </message>
    <message>
        <source>&amp;Find</source>
        <translation>&amp;Find</translation>
    </message>
    <message>
        <source>Search all folders</source>
        <translation>Search all folders</translation>
    </message>
    <message>
        <source>Back to the folder</source>
        <translation>Back to the folder</translation>
    </message>
    <message>
        <source>Show deleted and orphaned messages</source>
        <translation>Show deleted and orphaned messages</translation>
    </message>
    <message>
        <source>Also list the messages the folder&apos;s file holds but its index does not</source>
        <translation>Also list the messages the folder&apos;s file holds but its index does not</translation>
    </message>
    <message>
        <source>Look for its messages</source>
        <translation>Look for its messages</translation>
    </message>
</context>
<context>
    <name>lumbrook::AboutDialog</name>
    <message>
        <source>Info</source>
        <translation>About Lumbrook</translation>
    </message>
    <message>
        <source>Harlstone Lumbrook %1</source>
        <translation>Harlstone Lumbrook %1</translation>
    </message>
    <message>
        <source>Reads, prints, saves and exports the mail of Outlook Express 5 and 6 stores.
The store itself is only ever read, never changed.</source>
        <translation>Reads, prints, saves and exports the mail of Outlook Express 5 and 6 stores.
The store itself is only ever read, never changed.</translation>
    </message>
    <message>
        <source>Version %1
Copyright © XXXX Harlstone.
Free software under the MIT licence: use, copy, change and pass it on, with the licence text beside it.</source>
        <translation>Version %1
Copyright © XXXX Harlstone.
Free software under the MIT licence: use, copy, change and pass it on, with the licence text beside it.</translation>
    </message>
    <message>
        <source>Go to the Harlstone homepage...</source>
        <translation>Visit the Harlstone homepage</translation>
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
        <translation>Open attachment</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is a program or script: opening it can run code on this computer.

Open files of this type anyway?</source>
        <translation>&quot;%1&quot; is a program or script: opening it can run code on this computer.

Open files of this type anyway?</translation>
    </message>
    <message>
        <source>Save attachment</source>
        <translation>Save attachment</translation>
    </message>
    <message>
        <source>Save all attachments</source>
        <translation>Save all attachments</translation>
    </message>
    <message>
        <source>No program on this computer opens &quot;%1&quot;.

Save it, to open it with a program of your choice?</source>
        <translation>No program on this computer opens &quot;%1&quot;.

Save it, to open it with a program of your choice?</translation>
    </message>
    <message>
        <source>Save attachment...</source>
        <translation>Save attachment...</translation>
    </message>
    <message>
        <source>Save all attachments...</source>
        <translation>Save all attachments...</translation>
    </message>
</context>
<context>
    <name>lumbrook::BatchCommands</name>
    <message>
        <source>&quot;%1&quot; at offset %2: %3</source>
        <translation>&quot;%1&quot; at offset %2: %3</translation>
    </message>
    <message>
        <source>Cancel the search or let it end first</source>
        <translation>Cancel the search or let it end first</translation>
    </message>
    <message numerus="yes">
        <source>%n messages could not be read whole:</source>
        <translation>
            <numerusform>%n message could not be read whole:</numerusform>
            <numerusform>%n messages could not be read whole:</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>There became %n messages printed!</source>
        <translation>
            <numerusform>%n message printed.</numerusform>
            <numerusform>%n messages printed.</numerusform>
        </translation>
    </message>
    <message>
        <source>Printing finished</source>
        <translation>Printing finished</translation>
    </message>
    <message>
        <source>Print to PDF</source>
        <translation>Print to PDF</translation>
    </message>
    <message>
        <source>PDF files (*.pdf)</source>
        <translation>PDF files (*.pdf)</translation>
    </message>
    <message numerus="yes">
        <source>There became %n messages saved!</source>
        <translation>
            <numerusform>%n message saved.</numerusform>
            <numerusform>%n messages saved.</numerusform>
        </translation>
    </message>
    <message>
        <source>Saving finished</source>
        <translation>Saving finished</translation>
    </message>
    <message numerus="yes">
        <source>There became %n messages exported!</source>
        <translation>
            <numerusform>%n message exported.</numerusform>
            <numerusform>%n messages exported.</numerusform>
        </translation>
    </message>
    <message>
        <source>Export finished</source>
        <translation>Export finished</translation>
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
        <translation>Choose a directory</translation>
    </message>
    <message>
        <source>Choose the destination directory</source>
        <translation>Choose the destination directory</translation>
    </message>
</context>
<context>
    <name>lumbrook::ExportStoreDialog</name>
    <message>
        <source>Export store</source>
        <translation>Export store</translation>
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
        <translation>.eml files</translation>
    </message>
    <message>
        <source>Format:</source>
        <translation>Format:</translation>
    </message>
    <message>
        <source>Into directory:</source>
        <translation>Into directory:</translation>
    </message>
    <message>
        <source>Folders:</source>
        <translation>Folders:</translation>
    </message>
    <message>
        <source>Exporting the store...</source>
        <translation>Exporting the store...</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>
Cancelled: run it again to go on.</source>
        <translation>
Cancelled: run it again to go on.</translation>
    </message>
    <message>
        <source>Please note:</source>
        <translation>Please note:</translation>
    </message>
    <message numerus="yes">
        <source>%n messages written, %1 already there, in %2 folders.</source>
        <translation>
            <numerusform>%n message written, %1 already there, in %2 folders.</numerusform>
            <numerusform>%n messages written, %1 already there, in %2 folders.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n could not be written:</source>
        <translation>
            <numerusform>%n could not be written:</numerusform>
            <numerusform>%n could not be written:</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n could not be read whole and were written as far as they could be read:</source>
        <translation>
            <numerusform>%n could not be read whole and was written as far as it could be read:</numerusform>
            <numerusform>%n could not be read whole and were written as far as they could be read:</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>lumbrook::FindStoresDialog</name>
    <message>
        <source>Find stores</source>
        <translation>Find stores</translation>
    </message>
</context>
<context>
    <name>lumbrook::FoundStoresPanel</name>
    <message>
        <source>Find stores...</source>
        <translation>Find stores...</translation>
    </message>
    <message>
        <source>%1 (%2)</source>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <source>Store of %1</source>
        <translation>Store of %1</translation>
    </message>
    <message>
        <source>Store</source>
        <translation>Store</translation>
    </message>
    <message>
        <source>Messages</source>
        <translation>Messages</translation>
    </message>
    <message>
        <source>Dates</source>
        <translation>Dates</translation>
    </message>
    <message>
        <source>Directory</source>
        <translation>Directory</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>Looking for stores on mounted disks and in Wine...</source>
        <translation>Looking for stores on mounted disks and in Wine...</translation>
    </message>
    <message>
        <source>No store was found on mounted disks or in Wine.</source>
        <translation>No store was found on mounted disks or in Wine.</translation>
    </message>
    <message>
        <source>Find stores in</source>
        <translation>Find stores in</translation>
    </message>
    <message>
        <source>Looking for stores in %1...</source>
        <translation>Looking for stores in %1...</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Find stores</source>
        <translation>Find stores</translation>
    </message>
    <message>
        <source>%1 directories, %2 files read, %3 stores found</source>
        <translation>%1 directories, %2 files read, %3 stores found</translation>
    </message>
    <message>
        <source>Stopped: the stores found so far are listed.</source>
        <translation>Stopped: the stores found so far are listed.</translation>
    </message>
    <message>
        <source>No store was found in %1.</source>
        <translation>No store was found in %1.</translation>
    </message>
    <message>
        <source>%1 to %2</source>
        <translation>%1 to %2</translation>
    </message>
    <message>
        <source>Stores found on this computer: double-click one to open it.</source>
        <translation>Stores found on this computer: double-click one to open it.</translation>
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
        <translation>There are no Outlook Express folders in %1.</translation>
    </message>
    <message>
        <source>Open store</source>
        <translation>Open store</translation>
    </message>
    <message>
        <source>Outlook Express folders (*.dbx *.DBX)</source>
        <translation>Outlook Express folders (*.dbx *.DBX)</translation>
    </message>
    <message>
        <source>%1 is neither a directory nor a .dbx file.</source>
        <translation>%1 is neither a directory nor a .dbx file.</translation>
    </message>
    <message>
        <source>eMail message</source>
        <translation>Email message</translation>
    </message>
</context>
<context>
    <name>lumbrook::MessageListModel</name>
    <message>
        <source>From:</source>
        <translation>From</translation>
    </message>
    <message>
        <source>To:</source>
        <translation>To</translation>
    </message>
    <message>
        <source>Subject</source>
        <translation>Subject</translation>
    </message>
    <message>
        <source>Date</source>
        <translation>Date</translation>
    </message>
    <message>
        <source>Folder</source>
        <translation>Folder</translation>
    </message>
    <message>
        <source>Deleted message, found in the folder&apos;s free space</source>
        <translation>Deleted message, found in the folder&apos;s free space</translation>
    </message>
    <message>
        <source>Orphaned message, no longer in the folder&apos;s index</source>
        <translation>Orphaned message, no longer in the folder&apos;s index</translation>
    </message>
    <message>
        <source>High priority</source>
        <translation>High priority</translation>
    </message>
    <message>
        <source>Attachment</source>
        <translation>Attachment</translation>
    </message>
    <message>
        <source>Flagged</source>
        <translation>Flagged</translation>
    </message>
    <message>
        <source>Could not be read whole: </source>
        <translation>Could not be read whole: </translation>
    </message>
    <message>
        <source>Priority</source>
        <translation>Priority</translation>
    </message>
    <message>
        <source>Flag</source>
        <translation>Flag</translation>
    </message>
</context>
<context>
    <name>lumbrook::MessageWindow</name>
    <message>
        <source>From:</source>
        <translation>From:</translation>
    </message>
    <message>
        <source>Date:</source>
        <translation>Date:</translation>
    </message>
    <message>
        <source>To:</source>
        <translation>To:</translation>
    </message>
    <message>
        <source>Subject:</source>
        <translation>Subject:</translation>
    </message>
    <message>
        <source>Go back...</source>
        <translation>Close</translation>
    </message>
</context>
<context>
    <name>lumbrook::PageLayoutDialog</name>
    <message>
        <source>Page setup</source>
        <translation>Page setup</translation>
    </message>
    <message>
        <source>Orientation</source>
        <translation>Orientation</translation>
    </message>
    <message>
        <source>&amp;Portrait</source>
        <translation>&amp;Portrait</translation>
    </message>
    <message>
        <source>&amp;Landscape</source>
        <translation>&amp;Landscape</translation>
    </message>
    <message>
        <source>Margins</source>
        <translation>Margins</translation>
    </message>
    <message>
        <source>Left:</source>
        <translation>Left:</translation>
    </message>
    <message>
        <source>Top:</source>
        <translation>Top:</translation>
    </message>
    <message>
        <source>Right:</source>
        <translation>Right:</translation>
    </message>
    <message>
        <source>Bottom:</source>
        <translation>Bottom:</translation>
    </message>
    <message>
        <source>Paper &amp;size:</source>
        <translation>Paper &amp;size:</translation>
    </message>
</context>
<context>
    <name>lumbrook::RecoveryController</name>
    <message>
        <source>Looking for deleted messages...</source>
        <translation>Looking for deleted messages...</translation>
    </message>
    <message>
        <source>The index of this folder cannot be read.</source>
        <translation>The index of this folder cannot be read.</translation>
    </message>
    <message>
        <source>The index of this folder lists nothing, but its file holds data.</source>
        <translation>The index of this folder lists nothing, but its file holds data.</translation>
    </message>
    <message>
        <source>Looking for deleted messages: %1 %</source>
        <translation>Looking for deleted messages: %1 %</translation>
    </message>
    <message>
        <source>The search for deleted messages failed: </source>
        <translation>The search for deleted messages failed: </translation>
    </message>
    <message>
        <source>No deleted or orphaned messages found.</source>
        <translation>No deleted or orphaned messages found.</translation>
    </message>
    <message>
        <source>Found %1 deleted and %2 orphaned messages.</source>
        <translation>Messages found: %1 deleted, %2 orphaned.</translation>
    </message>
    <message>
        <source>The message is no longer listed.</source>
        <translation>The message is no longer listed.</translation>
    </message>
    <message>
        <source>The index of this folder lists fewer messages than its file counts.</source>
        <translation>The index of this folder lists fewer messages than its file counts.</translation>
    </message>
    <message>
        <source>%1 more messages were found in its file.</source>
        <translation>More messages found in its file: %1.</translation>
    </message>
</context>
<context>
    <name>lumbrook::SaveExportDialog</name>
    <message>
        <source>Save/export eMail</source>
        <translation>Save or export messages</translation>
    </message>
    <message>
        <source>Save or export eMail - choose destination directory</source>
        <translation>Save or export messages: choose the destination directory</translation>
    </message>
    <message>
        <source>Destination directory:</source>
        <translation>Destination directory:</translation>
    </message>
    <message>
        <source>Date as part of the file name</source>
        <translation>Date as part of the file name</translation>
    </message>
    <message>
        <source>Always save as HTML file</source>
        <translation>Always save as HTML file</translation>
    </message>
    <message>
        <source>Always save as TXT file</source>
        <translation>Always save as text file</translation>
    </message>
    <message>
        <source>Save in same format as email</source>
        <translation>Save in the format of the message</translation>
    </message>
    <message>
        <source>Attachments beside the page</source>
        <translation>Attachments beside the page</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>&amp;Cancel</translation>
    </message>
</context>
<context>
    <name>lumbrook::SearchController</name>
    <message>
        <source>Cannot search: %1</source>
        <translation>Cannot search: %1</translation>
    </message>
    <message>
        <source>Search when the batch has ended</source>
        <translation>Search once the work under way has ended</translation>
    </message>
    <message>
        <source>No store to search</source>
        <translation>No store is open to search</translation>
    </message>
    <message>
        <source>Searching...</source>
        <translation>Searching...</translation>
    </message>
    <message>
        <source>Indexing %1/%2</source>
        <translation>Indexing %1/%2</translation>
    </message>
    <message>
        <source>Search cancelled</source>
        <translation>Search cancelled</translation>
    </message>
    <message>
        <source>%1 of %2</source>
        <translation>%1 of %2</translation>
    </message>
    <message>
        <source>Search results (%1) - %2</source>
        <translation>Search results (%1) - %2</translation>
    </message>
    <message numerus="yes">
        <source>%1 of %n messages found</source>
        <translation>
            <numerusform>%1 of %n message found</numerusform>
            <numerusform>%1 of %n messages found</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n messages found</source>
        <translation>
            <numerusform>%n message found</numerusform>
            <numerusform>%n messages found</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>; %n could not be indexed</source>
        <translation>
            <numerusform>; %n could not be indexed</numerusform>
            <numerusform>; %n could not be indexed</numerusform>
        </translation>
    </message>
    <message>
        <source>No messages match &quot;%1&quot;.</source>
        <translation>No messages match &quot;%1&quot;.</translation>
    </message>
</context>
<context>
    <name>lumbrook::TextEncodingMenu</name>
    <message>
        <source>Western (Windows-1252)</source>
        <translation>Western (Windows-1252)</translation>
    </message>
    <message>
        <source>Central European (Windows-1250)</source>
        <translation>Central European (Windows-1250)</translation>
    </message>
    <message>
        <source>Cyrillic (Windows-1251)</source>
        <translation>Cyrillic (Windows-1251)</translation>
    </message>
    <message>
        <source>Greek (Windows-1253)</source>
        <translation>Greek (Windows-1253)</translation>
    </message>
    <message>
        <source>Turkish (Windows-1254)</source>
        <translation>Turkish (Windows-1254)</translation>
    </message>
    <message>
        <source>Baltic (Windows-1257)</source>
        <translation>Baltic (Windows-1257)</translation>
    </message>
    <message>
        <source>Hebrew (Windows-1255)</source>
        <translation>Hebrew (Windows-1255)</translation>
    </message>
    <message>
        <source>Arabic (Windows-1256)</source>
        <translation>Arabic (Windows-1256)</translation>
    </message>
    <message>
        <source>Vietnamese (Windows-1258)</source>
        <translation>Vietnamese (Windows-1258)</translation>
    </message>
    <message>
        <source>Thai (Windows-874)</source>
        <translation>Thai (Windows-874)</translation>
    </message>
    <message>
        <source>Japanese (Shift JIS)</source>
        <translation>Japanese (Shift JIS)</translation>
    </message>
    <message>
        <source>Chinese Simplified (GBK)</source>
        <translation>Chinese Simplified (GBK)</translation>
    </message>
    <message>
        <source>Korean (Windows-949)</source>
        <translation>Korean (Windows-949)</translation>
    </message>
    <message>
        <source>Chinese Traditional (Big5)</source>
        <translation>Chinese Traditional (Big5)</translation>
    </message>
    <message>
        <source>Text &amp;encoding</source>
        <translation>Text &amp;encoding</translation>
    </message>
    <message>
        <source>Automatic</source>
        <translation>Automatic</translation>
    </message>
    <message>
        <source>Automatic (%1)</source>
        <translation>Automatic (%1)</translation>
    </message>
</context>
<context>
    <name>lumbrook::UploadDialog</name>
    <message>
        <source>%1 cannot be reached: %2</source>
        <translation>%1 cannot be reached: %2</translation>
    </message>
    <message>
        <source>The certificate of %1 is not trusted (%2). Nothing was uploaded.</source>
        <translation>The certificate of %1 is not trusted (%2). Nothing was uploaded.</translation>
    </message>
    <message>
        <source>The server refused the login (%1). Please check the user name and password.</source>
        <translation>The server refused the login (%1). Please check the user name and password.</translation>
    </message>
    <message>
        <source>The connection to %1 broke: %2. Upload again to go on.</source>
        <translation>The connection to %1 broke: %2. Upload again to go on.</translation>
    </message>
    <message>
        <source>The server refused: %1</source>
        <translation>The server refused: %1</translation>
    </message>
    <message>
        <source>The upload record: %1</source>
        <translation>The upload record: %1</translation>
    </message>
    <message>
        <source>Upload to mail server</source>
        <translation>Upload to mail server</translation>
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
        <translation>TLS (port 993)</translation>
    </message>
    <message>
        <source>STARTTLS (port 143)</source>
        <translation>STARTTLS (port 143)</translation>
    </message>
    <message>
        <source>Security:</source>
        <translation>Security:</translation>
    </message>
    <message>
        <source>Port:</source>
        <translation>Port:</translation>
    </message>
    <message>
        <source>User:</source>
        <translation>User:</translation>
    </message>
    <message>
        <source>Password:</source>
        <translation>Password:</translation>
    </message>
    <message>
        <source>(optional) Old mail/Outlook Express</source>
        <translation>(optional) Old mail/Outlook Express</translation>
    </message>
    <message>
        <source>Into folder:</source>
        <translation>Into folder:</translation>
    </message>
    <message>
        <source>(optional) certificate authority file for a private server</source>
        <translation>(optional) certificate authority file for a private server</translation>
    </message>
    <message>
        <source>CA file:</source>
        <translation>CA file:</translation>
    </message>
    <message>
        <source>Also the deleted messages the folder files still hold</source>
        <translation>Also the deleted messages the folder files still hold</translation>
    </message>
    <message>
        <source>Folders:</source>
        <translation>Folders:</translation>
    </message>
    <message>
        <source>Upload</source>
        <translation>Upload</translation>
    </message>
    <message>
        <source>Connecting to %1...</source>
        <translation>Connecting to %1...</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>%1 of %2 messages, %3 of %4 MB, %5 MB/s</source>
        <translation>%1 of %2 messages, %3 of %4 MB, %5 MB/s</translation>
    </message>
    <message numerus="yes">
        <source>%n messages uploaded, %1 uploaded before, %2 already on the server, in %3 folders.</source>
        <translation>
            <numerusform>%n message uploaded, %1 uploaded before, %2 already on the server, in %3 folders.</numerusform>
            <numerusform>%n messages uploaded, %1 uploaded before, %2 already on the server, in %3 folders.</numerusform>
        </translation>
    </message>
    <message>
        <source>
Cancelled: upload again to go on.</source>
        <translation>
Cancelled: upload again to go on.</translation>
    </message>
    <message numerus="yes">
        <source>
%n messages are not on the server yet: upload again to go on.</source>
        <translation>
            <numerusform>
%n message is not on the server yet: upload again to go on.</numerusform>
            <numerusform>
%n messages are not on the server yet: upload again to go on.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n were refused by the server:</source>
        <translation>
            <numerusform>%n was refused by the server:</numerusform>
            <numerusform>%n were refused by the server:</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n could not be uploaded:</source>
        <translation>
            <numerusform>%n could not be uploaded:</numerusform>
            <numerusform>%n could not be uploaded:</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n could not be read whole and were uploaded as far as they could be read:</source>
        <translation>
            <numerusform>%n could not be read whole and was uploaded as far as it could be read:</numerusform>
            <numerusform>%n could not be read whole and were uploaded as far as they could be read:</numerusform>
        </translation>
    </message>
    <message>
        <source>Upload to mail server...</source>
        <translation>Upload to mail server...</translation>
    </message>
    <message>
        <source>The store&apos;s folders into a mail account over IMAP, flags and dates kept</source>
        <translation>The store&apos;s folders into a mail account over IMAP, flags and dates kept</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>%1: the store is read as Windows-1252.</source>
        <translation>%1: the store is read as Windows-1252.</translation>
    </message>
</context>
</TS>
