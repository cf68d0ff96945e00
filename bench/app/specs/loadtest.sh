#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Load test of quarrin-dataserver on 127.0.0.1: wrk POSTs valid requests for the bundled data set
# over HTTPS for a bounded time, then the server must still be running and answer correctly.
#   bench/app/specs/loadtest.sh BUILD_DIR [SECONDS=30] [CONNECTIONS=200]
# Needs wrk, curl and the openssl command. Prints wrk's figures and the checks that follow.
set -euo pipefail
build=$(cd "${1:?usage: loadtest.sh BUILD_DIR [SECONDS] [CONNECTIONS]}" && pwd)
seconds=${2:-30}
connections=${3:-200}
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../../.." && pwd)
server_bin=$build/tools/dataserver/quarrin-dataserver
[ -x "$server_bin" ] || { echo "build quarrin-dataserver first: $server_bin" >&2; exit 2; }
if [ "$seconds" -gt 300 ]; then echo "at most 300 seconds" >&2; exit 2; fi

work=$(mktemp -d)
server_pid=
cleanup() {
    [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

cd "$work"
printf 'subjectAltName=IP:127.0.0.1\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n' > san.ext
openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -sha256 -days 1 \
    -subj '/CN=Load test CA' -keyout ca.key -out ca.pem 2>/dev/null
openssl req -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -sha256 -subj '/CN=127.0.0.1' \
    -keyout server.key -out server.csr 2>/dev/null
openssl x509 -req -sha256 -days 1 -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial \
    -extfile san.ext -out server.pem 2>/dev/null
cp "$source_dir/resources/specs.plist" specs.plist

bundle=com.velmora.quarrin
# All of wrk's connections come from 127.0.0.1: lift the per-address limit so the load reaches the server.
"$server_bin" --data specs.plist --cert server.pem --key server.key --port 0 --bundle-id "$bundle" --max-per-address 1024 \
    > server.out 2> server.log &
server_pid=$!
for _ in $(seq 50); do grep -q listening server.out 2>/dev/null && break; sleep 0.1; done
url=$(sed -n 's/^listening on //p' server.out)
[ -n "$url" ] || { echo "the server did not start" >&2; cat server.log >&2; exit 1; }

# The token: MD5 of bundle identifier + seconds since 1 January 2001 printed with six decimals.
mn=$(awk -v now="$(date +%s.%6N)" 'BEGIN { printf "%.6f", now - 978307200 }')
token=$(printf '%s%s' "$bundle" "$mn" | md5sum | cut -c1-32 | tr a-f A-F)
export QUARRIN_REQUEST_BODY="pass=$token&name=specs.plist&mn=$mn"
post() { curl -sS --cacert ca.pem --max-time 30 --data "$1" -o "$2" -w '%{http_code}' "$url"; }
[ "$(post "$QUARRIN_REQUEST_BODY" /dev/null)" = 200 ] || { echo "the body is refused" >&2; exit 1; }

# Beside the load, a new single-request client (as Quarrin makes) every two seconds: how long it
# waits for its handshake and its reply while the server is busy.
(
    sleep 2
    end=$((SECONDS + seconds - 4))
    while [ "$SECONDS" -lt "$end" ]; do
        curl -sS --cacert ca.pem --max-time 60 --data "$QUARRIN_REQUEST_BODY" -o /dev/null \
            -w '%{http_code} %{time_appconnect} %{time_total}\n' "$url" >> probes.txt || echo "failed" >> probes.txt
        sleep 2
    done
) &
probes_pid=$!
wrk -t2 -c"$connections" -d"${seconds}s" --latency -s "$here/getdata.lua" "$url"
wait "$probes_pid" || true
awk '$1 == 200 { n++; t[n] = $3; if ($3 > max) max = $3 } $1 != 200 { bad++ }
     END { for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++) if (t[j] < t[i]) { x = t[i]; t[i] = t[j]; t[j] = x }
           printf "new clients during the load: %d served, %d failed, median %.3f s, slowest %.3f s\n", n, bad, t[int((n + 1) / 2)], max }' probes.txt

echo "--- after the run"
kill -0 "$server_pid" || { echo "FAIL: the server is gone" >&2; exit 1; }
status=$(post "$QUARRIN_REQUEST_BODY" reply.plist)
cmp -s reply.plist specs.plist && [ "$status" = 200 ] || { echo "FAIL: status $status or another body" >&2; exit 1; }
[ "$(post "pass=00&name=specs.plist&mn=$mn" /dev/null)" = 401 ] || { echo "FAIL: a bad token is not refused" >&2; exit 1; }
echo "server still running; it answers 200 with the file and 401 to a bad token"
echo "server: $(ps -o nlwp=,rss= -p "$server_pid" | awk '{print $1 " threads, " $2 " KiB resident"}')"
echo "logged: $(awk '{print $5}' server.log | sort | uniq -c | tr '\n' ' ')"
