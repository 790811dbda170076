#!/usr/bin/env bash
# The files that install Lumbrook into a desktop and a shell, as their own tools see
# them: the desktop entry (desktop-file-validate), the AppStream metadata
# (appstreamcli), the manual pages (groff's warnings) and the bash completion, run
# as bash runs it when Tab is pressed.
#   check-files.sh SOURCE_DIR GENERATED_DIR
set -euo pipefail
src=$1 generated=$2
for tool in desktop-file-validate appstreamcli groff; do
    if ! command -v "$tool" >/dev/null; then
        echo "skipped: $tool is not installed (scripts/setup.sh installs it)"
        exit 77
    fi
done
failed=0
fail() { echo "FAILED: $*"; failed=1; }

desktop-file-validate "$src/app/lumbrook.desktop" || fail "desktop entry"
appstreamcli validate --no-net "$src/packaging/io.github.lumbrook.Lumbrook.metainfo.xml" || fail "AppStream metadata"
for page in "$generated"/*.1; do
    warnings=$(LC_ALL=C.UTF-8 groff -man -ww -z -K utf8 "$page" 2>&1)
    [ -z "$warnings" ] || fail "$page: $warnings"
done
grep -q '^\.SH EXIT STATUS' "$generated/lumbrook-cli.1" || fail "lumbrook-cli.1 has no EXIT STATUS"

# shellcheck source=/dev/null
source "$generated/lumbrook-cli.bash"
# What Tab offers after the words given (the last one is the word being typed).
offered() {
    COMP_WORDS=("$@")
    COMP_CWORD=$(($# - 1))
    COMPREPLY=()
    _lumbrook_cli
    echo "${COMPREPLY[*]}"
}
expect() {
    local want=$1
    shift
    local got
    got=$(offered "$@")
    [ "$got" = "$want" ] || fail "completing '$*': offered '$got', expected '$want'"
}
expect "search" lumbrook-cli se
expect "convert" lumbrook-cli help con
expect "messages" lumbrook-cli --store /tmp me
# Every option of the command and the global ones, whatever others come.
for option in --to --date --store --help; do
    [[ " $(offered lumbrook-cli save Inbox.dbx --) " == *" $option "* ]] || fail "save -- offers no $option"
done
expect "--date" lumbrook-cli save --da
expect "html txt same" lumbrook-cli export Inbox.dbx --format ""
expect "mbox maildir eml" lumbrook-cli convert --format ""
expect "--limit" lumbrook-cli search --l
expect "convert" lumbrook-cli --store=/tmp conv
expect "convert" lumbrook-cli --store = /tmp conv
expect "html txt same" lumbrook-cli export --format = ""
expect "--store" lumbrook-cli --st

if command -v zsh >/dev/null; then zsh -n "$generated/_lumbrook-cli" || fail "zsh completion"; fi
if command -v fish >/dev/null; then fish -n "$generated/lumbrook-cli.fish" || fail "fish completion"; fi
[ "$failed" = 0 ] && echo "desktop entry, AppStream metadata, manual pages and completion are sound"
exit "$failed"
