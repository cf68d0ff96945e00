#!/bin/sh
# SPDX-License-Identifier: MIT
# Builds one fuzzer with clang and libFuzzer, then runs it.
#   tests/fuzz/run-fuzz.sh TARGET [SECONDS] [extra libFuzzer options...]
# TARGET is plist, strings, httpdate, form or netlink. New inputs go to a scratch corpus in the build
# folder; the committed corpus (tests/fuzz/corpus/TARGET) is only read. Crashes are written to
# the build folder. The machine is often shared: run it under `nice`.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
usage="usage: $0 plist|strings|httpdate|form|netlink [seconds] [libFuzzer options...]"
[ $# -ge 1 ] || { echo "$usage" >&2; exit 2; }
target=$1
shift
seconds=${1:-60}
[ $# -gt 0 ] && shift

kit="$root/kit/base"
case "$target" in
plist)
    sources="$here/PropertyListFuzzer.cpp $kit/PropertyList.cpp $kit/Value.cpp $kit/Date.cpp"
    packages="libplist-2.0"
    libs=""
    maxlen=65536 ;;
strings)
    sources="$here/StringsTableFuzzer.cpp $kit/StringsTable.cpp $kit/Strings.cpp $kit/Locale.cpp"
    packages="glib-2.0 icu-uc icu-i18n"
    libs=""
    maxlen=16384 ;;
httpdate)
    sources="$here/HTTPDateFuzzer.cpp $kit/DateFormatter.cpp $kit/Locale.cpp $kit/Date.cpp"
    packages="glib-2.0 icu-uc icu-i18n"
    libs=""
    maxlen=256 ;;
form)
    sources="$here/DataServerFormFuzzer.cpp $root/tools/dataserver/DataServer.cpp"
    packages="cpp-httplib openssl"
    libs="-lpthread"
    maxlen=4096 ;;
netlink)
    device="$root/kit/device"
    sources="$here/NetlinkDumpFuzzer.cpp $device/InterfaceCounterSource.cpp $device/InterfaceConfigurationSource.cpp $device/SystemFile.cpp $kit/Verify.cpp"
    packages=""
    libs=""
    maxlen=8192 ;;
*)
    echo "$usage" >&2
    exit 2 ;;
esac

out=${QUARRIN_FUZZ_BUILD:-$root/build-fuzz}/$target
mkdir -p "$out/corpus" "$out/crashes"

cxx=${CXX_FUZZ:-clang++}
flags="-std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined"
# shellcheck disable=SC2086
deps=""
[ -n "$packages" ] && deps=$(pkg-config --cflags --libs $packages)

binary="$out/fuzzer"
if [ ! -x "$binary" ] || [ -n "$(find "$here" "$kit" "$root/kit/device" "$root/tools/dataserver" -newer "$binary" -name '*.[ch]*' | head -1)" ]; then
    # shellcheck disable=SC2086
    $cxx $flags -I"$root" $sources $deps $libs -o "$binary"
fi

cd "$out/crashes"
exec "$binary" -max_total_time="$seconds" -max_len="$maxlen" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 "$@" "$out/corpus" "$here/corpus/$target"
