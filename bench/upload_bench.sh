#!/usr/bin/env bash
# Upload speed of `lumbrook-cli upload` into a Dovecot on this machine, started here
# with its own configuration, user and certificate (as the tests do): a generated
# store of typical mail (2 to 20 KB, no large attachments), uploaded over TLS on
# 127.0.0.1, once with Dovecot syncing every message to disk (its default) and once
# without (what the upload itself costs). Figures in README.md.
#   bench/upload_bench.sh [COUNT]      default 5000 messages; BUILD=build/release,
#                                      FSYNC="never optimized" (Dovecot's mail_fsync)
set -euo pipefail
cd "$(dirname "$0")/.."
count=${1:-5000}
build=${BUILD:-build/release}
[ -f "$build/CMakeCache.txt" ] || cmake --preset release >/dev/null
cmake --build "$build" -j "$(nproc)" --target lumbrook-cli store_bench_tool >/dev/null

work=$(mktemp -d /tmp/lumbrook-upload-bench-XXXXXX)
chmod 755 "$work"
pid=
cleanup() {
    if [ -n "$pid" ]; then kill -TERM -- "-$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
    rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/store"
"$build/bin/store_bench_tool" store "$work/store" 1 "Bench:$count:0" >/dev/null
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/ca.key" -out "$work/ca.pem" -days 2 \
    -subj '/CN=Lumbrook bench CA' 2>/dev/null
openssl req -newkey rsa:2048 -nodes -keyout "$work/server.key" -out "$work/server.csr" -subj '/CN=127.0.0.1' 2>/dev/null
printf 'subjectAltName=IP:127.0.0.1\n' >"$work/ext.cnf"
openssl x509 -req -in "$work/server.csr" -CA "$work/ca.pem" -CAkey "$work/ca.key" -CAcreateserial \
    -out "$work/server.pem" -days 2 -extfile "$work/ext.cnf" 2>/dev/null
mkdir -p "$work/mail" "$work/run" "$work/state"
chmod 777 "$work/mail"
if [ "$(id -u)" -eq 0 ]; then ids="65534:65534"; login=dovenull; internal=dovecot
else ids="$(id -u):$(id -g)"; login=$(id -un); internal=$login; fi
port=$((20000 + RANDOM % 20000))

run() {  # $1: mail_fsync setting, $2: user
    cat >"$work/dovecot.conf" <<CONF
protocols = imap
listen = 127.0.0.1
base_dir = $work/run
state_dir = $work/run
log_path = $work/dovecot.log
instance_name = lumbrook-bench-$port
default_login_user = $login
default_internal_user = $internal
first_valid_uid = 1
mail_location = maildir:~/Maildir
mail_fsync = $1
ssl = yes
ssl_cert = <$work/server.pem
ssl_key = <$work/server.key
auth_mechanisms = plain
passdb {
  driver = passwd-file
  args = scheme=PLAIN $work/users
}
userdb {
  driver = passwd-file
  args = $work/users
}
service anvil {
  chroot =
}
service imap-login {
  chroot =
  inet_listener imap {
    port = 0
  }
  inet_listener imaps {
    address = 127.0.0.1
    port = $port
    ssl = yes
  }
}
CONF
    echo "$2:{PLAIN}secret:$ids::$work/mail/$2" >"$work/users"
    setsid /usr/sbin/dovecot -F -c "$work/dovecot.conf" &
    pid=$!
    for _ in $(seq 100); do (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break; sleep 0.1; done
    local start end
    start=$(date +%s.%N)
    LUMBROOK_IMAP_PASSWORD=secret XDG_STATE_HOME="$work/state" /usr/bin/time -f '%U %S' -o "$work/cpu" \
        "$build/bin/lumbrook-cli" --store "$work/store" upload --to "imaps://$2@127.0.0.1:$port" \
        --ca "$work/ca.pem" >"$work/out"
    end=$(date +%s.%N)
    grep -E '^(messages|bytes) ' "$work/out" | sed 's/^/    /'
    awk -v s="$start" -v e="$end" -v n="$count" -v b="$(awk '/^bytes/ {print $2}' "$work/out")" \
        -v cpu="$(awk '{print $1 + $2}' "$work/cpu")" \
        'BEGIN { t = e - s; printf "    mail_fsync=%s: %.1f s, %.0f messages/s, %.1f MB/s; lumbrook-cli used %.1f s of processor time\n", "'"$1"'", t, n / t, b / t / 1e6, cpu }'
    kill -TERM -- "-$pid"; wait "$pid" 2>/dev/null || true; pid=
}

echo "$count messages of typical mail into Dovecot $(/usr/sbin/dovecot --version | cut -d' ' -f1) on 127.0.0.1 (TLS):"
for mode in ${FSYNC:-never optimized}; do run "$mode" "bench$mode"; done
