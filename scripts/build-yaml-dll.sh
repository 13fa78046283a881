#!/usr/bin/env bash
# Builds yaml.dll, the YAML event parser the plugin loads at run time on Windows, from Debian's
# libyaml source package with a mingw-w64 cross compiler, and puts libyaml's license beside it
# (libyaml-license.txt, for the release package).
#
# Usage: scripts/build-yaml-dll.sh [output directory] [target triple]
#   output directory: default build/yaml-dll
#   target triple: i686-w64-mingw32 (default, the real target) or x86_64-w64-mingw32
# The source package is fetched once into build/libyaml-src; a DLL newer than its sources is
# left alone, so a second run costs nothing.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out_dir=$(mkdir -p "${1:-build/yaml-dll}" && cd "${1:-build/yaml-dll}" && pwd)
src_root=$root/build/libyaml-src
triple=${2:-i686-w64-mingw32}
cc=$triple-gcc-posix
command -v "$cc" >/dev/null || cc=$triple-gcc

sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)

# apt-get source needs a deb-src entry for the release the binaries come from.
ensure_source_entry() {
  if grep -rqsE '^(Types:.*deb-src|deb-src )' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    return
  fi
  echo "adding a deb-src entry for bookworm"
  "${sudo_cmd[@]}" tee /etc/apt/sources.list.d/zun-clubs-deb-src.sources >/dev/null <<'EOF'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
  "${sudo_cmd[@]}" apt-get update -qq
}

source_dir() { find "$src_root" -mindepth 1 -maxdepth 1 -type d -name 'libyaml-*' | sort | tail -n 1; }

if [ -z "$(source_dir 2>/dev/null)" ]; then
  ensure_source_entry
  mkdir -p "$src_root"
  (cd "$src_root" && apt-get source -qq libyaml >/dev/null)
fi
src=$(source_dir)
[ -f "$src/include/yaml.h" ] || { echo "libyaml sources not found under $src_root" >&2; exit 1; }

cp "$src/License" "$out_dir/libyaml-license.txt"
dll=$out_dir/yaml.dll
if [ -f "$dll" ] && [ -z "$(find "$src/src" "$src/include" -newer "$dll" -print -quit)" ]; then
  echo "yaml.dll is up to date: $dll"
  exit 0
fi

version=$(sed -n 's/^AC_INIT(\[yaml\], *\[\([0-9.]*\)\].*/\1/p' "$src/configure.ac")
[ -n "$version" ] || version=$(dpkg-parsechangelog -l "$src/debian/changelog" -S Version | cut -d- -f1)
IFS=. read -r major minor patch <<<"$version"

# libyaml's own build defines the version macros through its configure script; give them here.
# YAML_DECLARE_EXPORT marks the public entry points as the DLL's exports, and the C runtime
# support is linked in statically so that the DLL needs only system libraries.
"$cc" -shared -O2 -o "$dll" \
  -DYAML_DECLARE_EXPORT \
  -DYAML_VERSION_STRING="\"$version\"" -DYAML_VERSION_MAJOR="$major" \
  -DYAML_VERSION_MINOR="$minor" -DYAML_VERSION_PATCH="$patch" \
  -I"$src/include" "$src"/src/*.c -static-libgcc
echo "built $dll (libyaml $version)"
