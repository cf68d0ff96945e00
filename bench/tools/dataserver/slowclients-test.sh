#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The slow-client test: quarrin-dataserver on 127.0.0.1 with its default limits, 300 clients from
# 127.0.0.2 trickling their request heads, and a fresh client from 127.0.0.1 that must be answered
# within a second throughout. Bounded: loopback only, SECONDS (default 20).
#   slowclients-test.sh BUILD_DIR [SECONDS=20] [nginx]
# With "nginx" the nginx deployment takes quarrin-dataserver's place.
set -euo pipefail
build=$(cd "${1:?usage: slowclients-test.sh BUILD_DIR [SECONDS] [nginx]}" && pwd)
seconds=${2:-20}
target=${3:-dataserver}
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
if [ "$target" = nginx ]; then
    NGINX_WORKERS=1 start_nginx "$source_dir" "$work" "$work/specs.plist" "$bundle"
    port=$nginx_port
else
    start_dataserver "$build/tools/dataserver/quarrin-dataserver" "$work" "$work/specs.plist" "$bundle"
    port=$dataserver_port
fi
python3 "$here/slowclients.py" "$port" "$work/ca.pem" "$bundle" --clients 300 --interval 4 --seconds "$seconds"
status=$?
if [ "$target" != nginx ]; then
    echo "server log: $(grep -c 'refusing connections' "$work/dataserver.log" || true) refusal lines, $(grep -c 'closed a connection' "$work/dataserver.log" || true) deadline lines"
    kill -0 "$dataserver_pid" || { echo "FAIL: the server is gone" >&2; exit 1; }
fi
exit $status
