#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# quarrin-dataserver and the nginx deployment (tools/dataserver/nginx) side by side on 127.0.0.1:
# the same bundled data set, certificate and valid request, wrk for SECONDS against each in turn,
# then the slow-client test against each. Bounded and loopback only.
#   bench/tools/dataserver/compare.sh BUILD_DIR [SECONDS=20] [CONNECTIONS=32]
# wrk's connections all come from 127.0.0.1, and both servers let one address hold 32 at once
# (quarrin-dataserver refuses more at the handshake, which wrk counts as connect errors), so more
# than 32 measures the limit rather than the server.
# Needs wrk (scripts/setup's optional list), nginx with libnginx-mod-http-js, curl and openssl.
set -euo pipefail
build=$(cd "${1:?usage: compare.sh BUILD_DIR [SECONDS] [CONNECTIONS]}" && pwd)
seconds=${2:-20}
connections=${3:-32}
if [ "$seconds" -gt 120 ]; then echo "at most 120 seconds" >&2; exit 2; fi
command -v wrk >/dev/null || { echo "wrk is missing: apt-get install wrk" >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../../.." && pwd)
. "$here/servers.sh"
work=$(mktemp -d)
dataserver_pid= nginx_pid=
cleanup() { stop "$dataserver_pid"; stop "$nginx_pid"; rm -rf "$work"; }
trap cleanup EXIT
make_certs "$work"
cp "$source_dir/resources/specs.plist" "$work/specs.plist"
bundle=com.velmora.quarrin

start_dataserver "$build/tools/dataserver/quarrin-dataserver" "$work" "$work/specs.plist" "$bundle"
start_nginx "$source_dir" "$work" "$work/specs.plist" "$bundle"
echo "machine: $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg); data set $(stat -c %s "$work/specs.plist") bytes; wrk -t2 -c$connections -d${seconds}s"

check() { # NAME PORT: one valid request answered with the file
    local status
    status=$(curl -sS --cacert "$work/ca.pem" --max-time 10 --data "$(request_body "$bundle")" -o "$work/reply.plist" \
        -w '%{http_code}' "https://127.0.0.1:$2/getdata.pl")
    [ "$status" = 200 ] && cmp -s "$work/reply.plist" "$work/specs.plist" || { echo "FAIL: $1 answers $status or another body" >&2; exit 1; }
}
check quarrin-dataserver "$dataserver_port"
check nginx "$nginx_port"

for target in quarrin-dataserver nginx; do
    port=$dataserver_port
    [ "$target" = nginx ] && port=$nginx_port
    echo "=== $target"
    export QUARRIN_REQUEST_BODY=$(request_body "$bundle")
    wrk -t2 -c"$connections" -d"${seconds}s" --latency -s "$source_dir/bench/app/specs/getdata.lua" \
        "https://127.0.0.1:$port/getdata.pl" | grep -E "Requests/sec|Transfer/sec|latency p50|errors:|Non-2xx|requests in"
    check "$target" "$port"
done
[ "$(grep -c ' POST /getdata.pl 200 ' "$work/dataserver.log")" -gt 0 ] || { echo "FAIL: quarrin-dataserver logged no requests" >&2; exit 1; }

for target in quarrin-dataserver nginx; do
    echo "=== slow clients against $target"
    port=$dataserver_port
    [ "$target" = nginx ] && port=$nginx_port
    python3 "$here/slowclients.py" "$port" "$work/ca.pem" "$bundle" --clients 300 --interval 4 --seconds 15 || true
done
