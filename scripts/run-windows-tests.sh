#!/usr/bin/env bash
# Cross-builds the plugin for its real target (zun-clubs.dll, i686 Windows) with the test suite,
# checks the DLL's export and import tables, builds yaml.dll and runs every test program under
# Wine. Installs the cross compiler and Wine (which needs the i386 architecture) when missing.
#
# Usage: scripts/run-windows-tests.sh
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build_dir=$root/build/mingw32
jobs=$(nproc)
[ "$jobs" -gt 2 ] && jobs=2

step() { printf '\n---- %s (%ss)\n' "$*" "$SECONDS"; }
fail() { echo "error: $*" >&2; exit 1; }

sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)

step "Windows packages"
packages=(g++-mingw-w64-i686 binutils-mingw-w64-i686 dpkg-dev wine wine32:i386)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${sudo_cmd[@]}" dpkg --add-architecture i386
  fi
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends \
    "${missing[@]}"
fi

step "yaml.dll"
yaml_dir=$build_dir/yaml
scripts/build-yaml-dll.sh "$yaml_dir"

step "host boundary layout for the Windows target"
# The header's static assertions pin every record's 32-bit size and offsets; they must hold
# for the real target's compiler, as C and as C++.
for header in plugin/host_boundary.h; do
  [ -f "$header" ] || continue
  i686-w64-mingw32-gcc-posix -std=c11 -Wall -Wextra -Werror -fsyntax-only -I. -x c "$header"
  i686-w64-mingw32-g++-posix -std=c++20 -Wall -Wextra -Werror -fsyntax-only -I. -x c++ "$header"
  echo "$header: layout assertions hold"
done

step "cross build (mingw32 preset)"
export CCACHE_DIR="${CCACHE_DIR:-$root/build/.ccache}"
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake --preset mingw32 "${launcher[@]}" -DZC_BUILD_TESTS=ON >/dev/null
cmake --build --preset mingw32 -j "$jobs"

step "export and import tables of zun-clubs.dll"
dll=$build_dir/clubs/zun-clubs.dll
[ -f "$dll" ] || fail "$dll was not built"
table=$(i686-w64-mingw32-objdump -p "$dll")
grep -q '^architecture: i386' <<<"$(i686-w64-mingw32-objdump -f "$dll")" || fail "not an i386 DLL"
exports=$(sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$table" |
  sed -n 's/^[[:space:]]*\[ *[0-9]*\] //p')
[ "$exports" = "load_zun_clubs" ] ||
  fail "the DLL must export exactly load_zun_clubs, it exports: ${exports:-nothing}"
# Only system DLLs may be imported: the C++ run time and winpthread are linked in, and yaml.dll
# is loaded at run time (importing it would be allowed too).
allowed='^(kernel32|msvcrt|ucrtbase|api-ms-win-[a-z0-9-]+|advapi32|user32|ntdll|ws2_32|bcrypt|shell32|ole32|yaml)\.dll$'
imports=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$table")
for name in $imports; do
  grep -qiE "$allowed" <<<"$name" || fail "zun-clubs.dll imports $name, which a client machine lacks"
done
echo "exports: $exports"
echo "imports: $(tr '\n' ' ' <<<"$imports")"

if ! command -v wine >/dev/null; then
  fail "wine is not installed"
fi

step "tests under Wine"
export WINEPREFIX=$root/build/wine-prefix
export WINEDEBUG=-all
# No .NET or HTML engine installers on the first start of the prefix.
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wineboot --init >/dev/null 2>&1
fi
# One persistent wine server for all test programs (a server still running from the prefix's
# set-up is reused), stopped when the script ends.
wineserver -p 2>/dev/null || true
trap 'wineserver -k 2>/dev/null || true' EXIT
# The plugin finds yaml.dll through the DLL search path.
WINEPATH=$(winepath -w "$yaml_dir")
export WINEPATH
# A test program that has finished but does not exit is, rarely and only on a loaded machine,
# seen under Wine; such a run is retried once (a failing test is never retried).
ctest --test-dir "$build_dir" -j "$jobs" --output-on-failure --timeout 120 \
  --repeat after-timeout:2
