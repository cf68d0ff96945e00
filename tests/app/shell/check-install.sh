#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs the build into a temporary prefix and checks what a desktop gets: stripped programs,
# the bundles, the desktop entries, metainfo, man pages, completion, the autostart entry, and
# no data server unless its component is asked for.
set -euo pipefail
build_dir=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build_dir" --prefix "$prefix" >/dev/null
fail() { echo "check-install: $*" >&2; exit 1; }
for program in quarrin vistrel; do
    [[ -x $prefix/bin/$program ]] || fail "bin/$program missing"
    if objdump -h "$prefix/bin/$program" | grep -q '\.debug_info'; then
        fail "bin/$program carries debug information"
    fi
done
[[ ! -e $prefix/bin/quarrin-dataserver ]] || fail "the data server was installed with the app"
for file in share/quarrin/Info.plist share/quarrin/specs.plist share/vistrel/Info.plist \
    share/applications/com.velmora.quarrin.desktop share/applications/com.velmora.vistrel.desktop \
    share/metainfo/com.velmora.quarrin.metainfo.xml share/man/man1/quarrin.1 share/man/man1/vistrel.1 \
    share/bash-completion/completions/quarrin share/bash-completion/completions/vistrel \
    share/icons/hicolor/scalable/apps/quarrin.svg etc/xdg/autostart/com.velmora.vistrel.desktop \
    share/doc/quarrin/LICENSE; do
    [[ -e $prefix/$file ]] || fail "$file missing"
done
[[ ! -e $prefix/share/quarrin/man && ! -e $prefix/share/quarrin/desktop ]] || fail "packaging sources copied into the bundle"
# The installed program finds its bundle.
"$prefix/bin/quarrin" --version | grep -Eq '^quarrin [0-9]+\.[0-9]+' || fail "installed quarrin --version"
cmake --install "$build_dir" --prefix "$prefix" --component dataserver >/dev/null
[[ -x $prefix/bin/quarrin-dataserver ]] || fail "the dataserver component installs no server"
cmake --install "$build_dir" --prefix "$prefix" --component debug >/dev/null
[[ -s $prefix/lib/debug/quarrin.debug || -n $(find "$prefix" -name quarrin.debug) ]] || fail "the debug component has no debug file"
echo "check-install: the install into a prefix has what a desktop needs"
