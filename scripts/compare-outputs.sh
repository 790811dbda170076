#!/usr/bin/env bash
# Writes every output of one build's lumbrook-cli into OUT_DIR in a form that is the
# same from run to run, so that the outputs of two builds can be compared with diff -r:
#
#   scripts/compare-outputs.sh BIN_DIR OUT_DIR
#   scripts/compare-outputs.sh /tmp/baseline-bin /tmp/cmp-before
#   scripts/compare-outputs.sh build/debug/bin /tmp/cmp-now
#   diff -r /tmp/cmp-before /tmp/cmp-now
#
# BIN_DIR holds lumbrook-cli, lumbrook-make-demo-store and template/. The stores read:
#   samples/<name>  every directory of real store files in ../shared/samples (or in
#                   $LUMBROOK_SAMPLES_DIR); lone .dbx files there form a store of their own
#   demo            the demo store, written from demo/ by lumbrook-make-demo-store
#   damaged         the demo store with each folder file cut at 60 % or with 512 bytes
#                   zeroed in its middle, plus a copy of each with the other damage
# Every command gets OUT_DIR/<store>/.../<case>/ with cmd, stdout, stderr, rc and files/
# (what it wrote). Temporary, output, binary and sample paths in cmd, stdout and stderr
# are replaced by <tmp>, <out>, <bin> and <samples>; so are the two things that differ from
# run to run by design: the index file's name (a hash of the temporary store's path) and the
# random boundary the message model gives an old-style (uuencoded) message. Written files
# are kept as they are.
set -euo pipefail

if [[ $# -ne 2 ]]; then
    echo "usage: $0 BIN_DIR OUT_DIR" >&2
    exit 2
fi
scriptDir=$(cd "$(dirname "$0")" && pwd)
sourceDir=$(dirname "$scriptDir")
binDir=$(cd "$1" && pwd)
cli=$binDir/lumbrook-cli
makeDemoStore=$binDir/lumbrook-make-demo-store
for tool in "$cli" "$makeDemoStore"; do
    [[ -x $tool ]] || { echo "$0: $tool is missing" >&2; exit 2; }
done
# Comparing against outputs left over from another run would hide differences.
if [[ -e $2 && -n $(ls -A "$2") ]]; then
    echo "$0: $2 is not empty" >&2
    exit 2
fi
mkdir -p "$2"
outDir=$(cd "$2" && pwd)

# The samples sit beside the main checkout; a worktree elsewhere finds them through git.
samplesDir=${LUMBROOK_SAMPLES_DIR:-}
if [[ -z $samplesDir ]]; then
    samplesDir=$sourceDir/../shared/samples
    if [[ ! -d $samplesDir ]]; then
        commonDir=$(git -C "$sourceDir" rev-parse --path-format=absolute --git-common-dir 2>/dev/null || true)
        [[ -n $commonDir ]] && samplesDir=$(dirname "$(dirname "$commonDir")")/shared/samples
    fi
fi
[[ -d $samplesDir ]] && samplesDir=$(cd "$samplesDir" && pwd)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

export TZ=Europe/Berlin LC_ALL=C.UTF-8
export HOME=$work/home XDG_CACHE_HOME=$work/cache XDG_CONFIG_HOME=$work/config
export XDG_DATA_HOME=$work/data
unset LANG LANGUAGE LUMBROOK_REGISTRY LUMBROOK_CODEPAGE
mkdir -p "$HOME" "$XDG_CACHE_HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$work/cwd"

normalise() {
    W=$work O=$outDir B=$binDir S=$samplesDir perl -pi -e '
        s/\Q$ENV{O}\E/<out>/g; s/\Q$ENV{W}\E/<tmp>/g; s/\Q$ENV{B}\E/<bin>/g;
        s/\Q$ENV{S}\E/<samples>/g if length $ENV{S};
        s{(<tmp>/cache/lumbrook/)[0-9a-f]{16}(\.sqlite)}{$1<hash of the store path>$2}g;
        s/\bboundary[0-9A-F]{8}\b/boundary<random>/g;' "$@"
}

# run CASE_DIR ARGS...: lumbrook-cli ARGS in an empty directory; "@FILES@" in ARGS
# becomes CASE_DIR/files, where the command is to write.
run() {
    local caseDir=$1
    shift
    mkdir -p "$caseDir"
    local args=()
    for a in "$@"; do args+=("${a//@FILES@/$caseDir/files}"); done
    printf '%s\n' "${args[@]}" >"$caseDir/cmd"
    local rc=0
    (cd "$work/cwd" && timeout 60 "$cli" "${args[@]}" </dev/null >"$caseDir/stdout" 2>"$caseDir/stderr") || rc=$?
    echo "$rc" >"$caseDir/rc"
    normalise "$caseDir/cmd" "$caseDir/stdout" "$caseDir/stderr"
}

# What a directory holds, for seeing that a second convert wrote nothing new.
snapshot() {
    [[ -d $1 ]] || return 0
    (cd "$1" && find . -printf '%P\t%y\t%s\t%T@\n' | LC_ALL=C sort)
}

offsetsOf() {
    grep -o '"DataOffset":[0-9]*' "$1" | cut -d: -f2 || true
}

message() {
    local store=$1 file=$2 offset=$3 dir=$4
    run "$dir/text" --store "$store" text "$file" "$offset"
    run "$dir/parse" parse "$dir/text/stdout"
    run "$dir/render" --store "$store" render "$file" "$offset" --out @FILES@/page.htm
    run "$dir/render-head" --store "$store" render "$file" "$offset" --out @FILES@/page.htm --head
    run "$dir/render-styled" --store "$store" render "$file" "$offset" --out @FILES@/page.htm \
        --design styled
    run "$dir/render-heading-head" --store "$store" render "$file" "$offset" \
        --out @FILES@/page.htm --head --design heading
    run "$dir/render-fields" --store "$store" render "$file" "$offset" --out @FILES@/page.htm \
        --head --fields From,Subject,Date
    run "$dir/attachments" --store "$store" attachments "$file" "$offset"
    run "$dir/attachments-to" --store "$store" attachments "$file" "$offset" --to @FILES@
    run "$dir/attachments-index" --store "$store" attachments "$file" "$offset" --to @FILES@ \
        --index 1
}

folderFile() {
    local store=$1 file=$2 dir=$3
    run "$dir/messages" --store "$store" messages "$file"
    run "$dir/recover" --store "$store" recover "$file"
    run "$dir/recover-to" --store "$store" recover "$file" --to @FILES@
    run "$dir/save" --store "$store" save "$file" --to @FILES@
    run "$dir/save-date" --store "$store" save "$file" --to @FILES@ --date
    local format
    for format in html txt same; do
        run "$dir/export-$format" --store "$store" export "$file" --to @FILES@ --format "$format"
        run "$dir/export-$format-attachments" --store "$store" export "$file" --to @FILES@ \
            --format "$format" --attachments
        run "$dir/export-$format-date" --store "$store" export "$file" --to @FILES@ \
            --format "$format" --date
        run "$dir/export-$format-attachments-date" --store "$store" export "$file" --to @FILES@ \
            --format "$format" --attachments --date
    done
    run "$dir/export-html-head-styled" --store "$store" export "$file" --to @FILES@ \
        --format html --head --design styled
    local offsets
    mapfile -t offsets < <(offsetsOf "$dir/messages/stdout")
    if [[ ${#offsets[@]} -gt 0 ]]; then
        run "$dir/save-first" --store "$store" save "$file" --to @FILES@ "${offsets[0]}"
        run "$dir/export-first" --store "$store" export "$file" --to @FILES@ "${offsets[0]}"
    fi
    local offset
    for offset in "${offsets[@]}"; do
        message "$store" "$file" "$offset" "$dir/message-$offset"
    done
    # Messages found only by the recovery scan are read by offset as well.
    for offset in $(offsetsOf "$dir/recover/stdout"); do
        [[ -d $dir/message-$offset ]] || message "$store" "$file" "$offset" "$dir/recovered-$offset"
    done
}

convertRuns() {
    local store=$1 dir=$2 name=$3
    shift 3
    run "$dir/$name" --store "$store" convert --to @FILES@ "$@"
    snapshot "$dir/$name/files" >"$work/snapshot"
    run "$dir/$name-again" --store "$store" convert --to "$dir/$name/files" "$@"
    diff "$work/snapshot" <(snapshot "$dir/$name/files") >"$dir/$name-again/changes" || true
}

storeOutputs() {
    local store=$1 dir=$2
    run "$dir/folders" --store "$store" folders
    local format
    for format in mbox maildir eml; do
        convertRuns "$store" "$dir" "convert-$format" --format "$format"
    done
    convertRuns "$store" "$dir" convert-mbox-no-status --format mbox --no-status
    convertRuns "$store" "$dir" convert-eml-inbox --format eml --folder Inbox
    run "$dir/search-before-index" --store "$store" search meeting
    run "$dir/index" --store "$store" index
    run "$dir/index-again" --store "$store" index
    local queries=(meeting 'Grüße' 'from:anna' 'subject:"Outlook Express"' 'has:attachment'
                   'after:2003-01-01 before:2004-01-01' 'folder:inbox -meeting' 'report OR plan'
                   'welcome' 'unknown:field' '"unclosed')
    local i=0 query
    for query in "${queries[@]}"; do
        run "$dir/search-$i" --store "$store" search "$query"
        i=$((i + 1))
    done
    run "$dir/search-limit" --store "$store" search a --limit 2
    local file
    while IFS= read -r file; do
        folderFile "$store" "$file" "$dir/file-$file"
    done < <(cd "$store" && find . -maxdepth 1 -type f -iname '*.dbx' -printf '%P\n' | LC_ALL=C sort)
}

start=$SECONDS

# (a) the real stores
if [[ -d $samplesDir ]]; then
    while IFS= read -r entry; do
        if [[ -d $samplesDir/$entry ]]; then
            storeOutputs "$samplesDir/$entry" "$outDir/samples/$entry"
        else
            # A lone file is read as a store of its own, through a link: never copied.
            mkdir -p "$work/lone/$entry"
            ln -s "$samplesDir/$entry" "$work/lone/$entry/$entry"
            storeOutputs "$work/lone/$entry" "$outDir/samples/$entry"
        fi
    done < <(cd "$samplesDir" && find . -mindepth 1 -maxdepth 1 \( -type d -o -iname '*.dbx' \) \
                 -printf '%P\n' | LC_ALL=C sort)
else
    echo "$0: no samples directory; the real stores are skipped" >&2
fi

# (b) the demo store
demoStore=$work/stores/demo
"$makeDemoStore" "$sourceDir/demo" "$demoStore" >/dev/null
storeOutputs "$demoStore" "$outDir/demo"

# (c) the demo store damaged
damagedStore=$work/stores/damaged
cp -r "$demoStore" "$damagedStore"
cutAt60() {
    truncate -s $(($(stat -c %s "$1") * 60 / 100)) "$1"
}
zeroMiddle() {
    dd if=/dev/zero of="$1" bs=1 seek=$(($(stat -c %s "$1") / 2)) count=512 conv=notrunc status=none
}
i=0
while IFS= read -r file; do
    name=${file%.dbx}
    if ((i % 2 == 0)); then
        cp "$damagedStore/$file" "$damagedStore/$name (zeroed).dbx"
        zeroMiddle "$damagedStore/$name (zeroed).dbx"
        cutAt60 "$damagedStore/$file"
    else
        cp "$damagedStore/$file" "$damagedStore/$name (cut).dbx"
        cutAt60 "$damagedStore/$name (cut).dbx"
        zeroMiddle "$damagedStore/$file"
    fi
    i=$((i + 1))
done < <(cd "$demoStore" && find . -maxdepth 1 -type f -name '*.dbx' ! -name Folders.dbx \
             -printf '%P\n' | LC_ALL=C sort)
storeOutputs "$damagedStore" "$outDir/damaged"

echo "$0: $(find "$outDir" -name rc | wc -l) commands in $((SECONDS - start)) s, outputs in $outDir" >&2
