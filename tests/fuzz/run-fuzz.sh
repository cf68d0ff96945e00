#!/bin/sh
# Builds the property-list fuzzer with clang and libFuzzer, then runs it.
#   tests/fuzz/run-fuzz.sh [seconds] [extra libFuzzer options...]
# New inputs go to a scratch corpus in the build folder; the committed corpus
# (tests/fuzz/corpus/plist) is only read. Crashes are written to the build folder.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
seconds=${1:-60}
[ $# -gt 0 ] && shift
out=${QUARRIN_FUZZ_BUILD:-$root/build-fuzz}
mkdir -p "$out/corpus" "$out/crashes"

cxx=${CXX_FUZZ:-clang++}
flags="-std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined"
deps=$(pkg-config --cflags --libs libplist-2.0)

if [ ! -x "$out/plist-fuzzer" ] || [ -n "$(find "$here" "$root/kit/base" -newer "$out/plist-fuzzer" -name '*.[ch]*' | head -1)" ]; then
    # shellcheck disable=SC2086
    $cxx $flags -I"$root" \
        "$here/PropertyListFuzzer.cpp" \
        "$root/kit/base/PropertyList.cpp" "$root/kit/base/Value.cpp" "$root/kit/base/Date.cpp" \
        $deps -o "$out/plist-fuzzer"
fi

cd "$out/crashes"
exec "$out/plist-fuzzer" -max_total_time="$seconds" -max_len=65536 -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 "$@" "$out/corpus" "$here/corpus/plist"
