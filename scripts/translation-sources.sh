# Shared by update-translations.sh and check-translations.sh: where the window's
# texts are, the translations of them, and how lupdate reads the code.
LUPDATE=/usr/lib/qt6/bin/lupdate
[ -x "$LUPDATE" ] || LUPDATE=$(command -v lupdate6 || command -v lupdate)
# The window's code; the command line speaks English only and has no tr().
TRANSLATED_DIRS=(app mainwindow windows platform/browser)
TS_FILES=(translations/lumbrook_en.ts translations/lumbrook_de.ts)
# -I .: the includes resolve, so tr() contexts carry their namespace as at run time.
# No line numbers: a text moved in the code changes no .ts file.
LUPDATE_OPTIONS=(-I . -extensions cpp,h -no-obsolete -locations none -silent)
