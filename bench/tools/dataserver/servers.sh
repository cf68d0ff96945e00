# SPDX-License-Identifier: MIT
# Sourced by the scripts here: a throw-away certificate authority, and the data set served by
# quarrin-dataserver and by the nginx deployment (tools/dataserver/nginx) on 127.0.0.1.
# Needs the openssl command; nginx with libnginx-mod-http-js for start_nginx.

# make_certs DIR: DIR/ca.pem, DIR/server.pem, DIR/server.key for 127.0.0.1.
make_certs() {
    local dir=$1
    printf 'subjectAltName=IP:127.0.0.1\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n' > "$dir/san.ext"
    openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -sha256 -days 1 \
        -subj '/CN=Bench CA' -keyout "$dir/ca.key" -out "$dir/ca.pem" 2>/dev/null
    openssl req -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -sha256 -subj '/CN=127.0.0.1' \
        -keyout "$dir/server.key" -out "$dir/server.csr" 2>/dev/null
    openssl x509 -req -sha256 -days 1 -in "$dir/server.csr" -CA "$dir/ca.pem" -CAkey "$dir/ca.key" \
        -CAcreateserial -extfile "$dir/san.ext" -out "$dir/server.pem" 2>/dev/null
}

free_port() {
    python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

wait_for_port() {
    for _ in $(seq 100); do
        (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null && return 0
        sleep 0.1
    done
    return 1
}

# start_dataserver BINARY DIR DATA BUNDLE [EXTRA ARGS...]: sets dataserver_pid and dataserver_port.
start_dataserver() {
    local binary=$1 dir=$2 data=$3 bundle=$4
    shift 4
    dataserver_port=$(free_port)
    "$binary" --data "$data" --cert "$dir/server.pem" --key "$dir/server.key" --port "$dataserver_port" \
        --bundle-id "$bundle" "$@" > "$dir/dataserver.out" 2> "$dir/dataserver.log" &
    dataserver_pid=$!
    wait_for_port "$dataserver_port" || { echo "quarrin-dataserver did not start" >&2; cat "$dir/dataserver.log" >&2; return 1; }
}

# start_nginx SOURCE_DIR DIR DATA BUNDLE: the shipped site with its edit lines pointed at DIR;
# sets nginx_pid and nginx_port.
start_nginx() {
    local source=$1 dir=$2 data=$3 bundle=$4
    local prefix=$dir/nginx
    mkdir -p "$prefix/tmp"
    nginx_port=$(free_port)
    sed -e "s#listen 443 ssl;#listen 127.0.0.1:$nginx_port ssl;#" -e '/listen \[::\]:443 ssl;/d' \
        -e "s#/etc/ssl/quarrin/server.pem#$dir/server.pem#" -e "s#/etc/ssl/quarrin/server.key#$dir/server.key#" \
        -e "s#/etc/nginx/quarrin/getdata.js#$source/tools/dataserver/nginx/getdata.js#" \
        -e "s#/srv/quarrin/specs.plist#$data#" -e "s#\"com.velmora.quarrin\"#\"$bundle\"#" \
        "$source/tools/dataserver/nginx/quarrin-data.conf" > "$prefix/site.conf"
    local user=
    [ "$(id -u)" = 0 ] && user="user root;"
    cat > "$prefix/nginx.conf" <<CONF
load_module /usr/lib/nginx/modules/ngx_http_js_module.so;
$user
worker_processes ${NGINX_WORKERS:-auto};
pid $prefix/nginx.pid;
error_log $prefix/error.log;
events { worker_connections 4096; }
http {
    access_log $prefix/access.log;
    sendfile on;
    client_body_temp_path $prefix/tmp; proxy_temp_path $prefix/tmp; fastcgi_temp_path $prefix/tmp;
    uwsgi_temp_path $prefix/tmp; scgi_temp_path $prefix/tmp;
    include $prefix/site.conf;
}
CONF
    nginx -p "$prefix" -c "$prefix/nginx.conf" -e "$prefix/error.log" -g 'daemon off;' &
    nginx_pid=$!
    wait_for_port "$nginx_port" || { echo "nginx did not start" >&2; cat "$prefix/error.log" >&2; return 1; }
}

# stop PID: SIGTERM and wait.
stop() {
    [ -n "${1:-}" ] && kill "$1" 2>/dev/null && wait "$1" 2>/dev/null || true
}

# request_body BUNDLE: a valid request body for now.
request_body() {
    local mn token
    mn=$(awk -v now="$(date +%s.%6N)" 'BEGIN { printf "%.6f", now - 978307200 }')
    token=$(printf '%s%s' "$1" "$mn" | md5sum | cut -c1-32 | tr a-f A-F)
    printf 'pass=%s&name=specs.plist&mn=%s' "$token" "$mn"
}
