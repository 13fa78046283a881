#!/usr/bin/env bash
# Cross-builds the plugin for its real target (zun-clubs.dll, i686 Windows), checks the DLL's
# export and import tables and the host boundary header's 32-bit layout, makes the release
# package and runs the test suite under Wine. Installs the cross compilers and Wine when missing.
#
# Which Windows build runs the tests depends on the machine: Wine's 32-bit loader is itself a
# 32-bit Linux program, so where the kernel runs no 32-bit programs (some containers and
# sandboxes) 32-bit Wine cannot start. The script runs a small 32-bit program to find out.
#   - 32-bit path: the whole i686 build (mingw32 preset) with its test suite under 32-bit Wine.
#   - 64-bit path: only the i686 DLL and its package are built and checked; the same code and
#     test suite are built for x86_64 Windows (mingw64 preset) and run under 64-bit Wine.
# Both paths run the installed-plugin test from the unpacked package of the build they test,
# then the Linux build's host process tests and the console tests against the package's
# zun-clubs-host.exe under Wine (the same tests that prove the Linux host).
#
# Usage: scripts/run-windows-tests.sh
#   ZC_WINDOWS_ARCH=32|64 forces a path instead of the probe (64 works on every machine that
#   runs 64-bit Wine; 32 stops with an error where 32-bit programs cannot run).
#   ZC_WINDOWS_HOST=1 (the default) expects the host emulator in the package and fails without
#   it; 0 builds, packages and tests the plugin alone.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=$(nproc)
[ "$jobs" -gt 2 ] && jobs=2

step_marker="----" step_title="Windows step times"
# shellcheck source=scripts/step-times.sh
source scripts/step-times.sh
fail() { echo "error: $*" >&2; exit 1; }

windows_host=${ZC_WINDOWS_HOST:-1}
case "$windows_host" in
  0 | 1) ;;
  *) fail "ZC_WINDOWS_HOST must be 0 or 1, not '$windows_host'" ;;
esac

sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)

install_missing() { # packages...
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return
  echo "installing: ${missing[*]}"
  if [[ " ${missing[*]}" == *:i386* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${sudo_cmd[@]}" dpkg --add-architecture i386
  fi
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends \
    "${missing[@]}"
}

# Prints 32 when this machine runs a 32-bit Linux program (so 32-bit Wine can run), else 64;
# the reason goes to standard error.
probe_arch() {
  local probe_dir=$root/build/probe-32
  mkdir -p "$probe_dir"
  printf '#include <stdio.h>\nint main(void) { puts("32-bit ok"); return 0; }\n' >"$probe_dir/probe.c"
  if ! gcc -m32 -o "$probe_dir/probe" "$probe_dir/probe.c" 2>"$probe_dir/build.log"; then
    echo "gcc -m32 cannot build a 32-bit program ($(head -n 1 "$probe_dir/build.log"))" >&2
    echo 64
    return
  fi
  local output status=0
  output=$("$probe_dir/probe" 2>&1) || status=$?
  if [ "$status" -eq 0 ] && [ "$output" = "32-bit ok" ]; then
    echo "a 32-bit program runs here" >&2
    echo 32
  else
    echo "a 32-bit program does not run here (exit status $status: $output)" >&2
    echo 64
  fi
}

step "Windows packages"
install_missing g++-mingw-w64-i686 binutils-mingw-w64-i686 dpkg-dev unzip zip

step "which Windows build runs the tests"
case "${ZC_WINDOWS_ARCH:-}" in
  64)
    arch=64
    echo "forced by ZC_WINDOWS_ARCH=64"
    ;;
  32)
    arch=32
    echo "forced by ZC_WINDOWS_ARCH=32"
    [ "$(probe_arch)" = 32 ] ||
      fail "32-bit Wine cannot start on a machine that runs no 32-bit programs; unset" \
        "ZC_WINDOWS_ARCH or set it to 64"
    ;;
  "") arch=$(probe_arch) ;;
  *) fail "ZC_WINDOWS_ARCH must be 32 or 64, not '$ZC_WINDOWS_ARCH'" ;;
esac
if [ "$arch" = 32 ]; then
  echo "path: 32-bit (i686 build and tests under 32-bit Wine)"
  # Only where 32-bit programs run is the i386 architecture worth adding.
  install_missing wine wine32:i386
else
  echo "path: 64-bit (i686 DLL checked; x86_64 build and tests under 64-bit Wine)"
  install_missing wine wine64 g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
fi

export CCACHE_DIR="${CCACHE_DIR:-$root/build/.ccache}"
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

# Configures a preset with yaml.dll built into its build directory (the build copies it beside
# the test programs and packages it). Args: preset triple [cmake options...]
configure() {
  local preset=$1 triple=$2
  shift 2
  scripts/build-yaml-dll.sh "$root/build/$preset/yaml" "$triple"
  cmake --preset "$preset" "${launcher[@]}" "$@" >/dev/null
}

step "host boundary layout for the Windows target"
# The header's static assertions pin every record's 32-bit size and offsets (and the 64-bit
# rules); they must hold for the Windows compilers, as C and as C++.
layout_compilers=(i686-w64-mingw32)
[ "$arch" = 64 ] && layout_compilers+=(x86_64-w64-mingw32)
for triple in "${layout_compilers[@]}"; do
  for source in plugin/host_boundary.h tests/plugin/host_boundary_layout_check.c; do
    "$triple-gcc-posix" -std=c11 -Wall -Wextra -Werror -fsyntax-only -I. -x c "$source"
    "$triple-g++-posix" -std=c++20 -Wall -Wextra -Werror -fsyntax-only -I. -x c++ "$source"
  done
  echo "$triple: layout assertions hold"
done

step "thread_local storage in code built for Windows"
# The mingw-w64 toolchain runs a thread_local object's destructor after it has released the
# object's storage, so a thread that used one corrupts the heap as it ends. Only plain pointers
# and numbers, which need no destructor, may be thread_local.
declarations=$(grep -rnE --include='*.h' --include='*.c' --include='*.cpp' \
  '^[^/]*\bthread_local\b' plugin binding formats api logging clubs platform host tests bench fuzz ||
  true)
pointer='[A-Za-z_][A-Za-z0-9_:]*( const)? *\*'
number='(bool|char|int|unsigned|long|double|float|(std::)?u?int[0-9]+_t|std::size_t) '
offending=$(grep -vE "\bthread_local (const )?($pointer|$number)" <<<"$declarations" || true)
[ -z "$offending" ] ||
  fail "thread_local objects that need a destructor (hold them elsewhere, or a pointer):"$'\n'"$offending"
echo "${declarations:-no thread_local declarations}"

step "i686 build (mingw32 preset)"
if [ "$arch" = 32 ]; then
  configure mingw32 i686-w64-mingw32 -DZC_BUILD_TESTS=ON -DZC_BUILD_HOST=ON
  cmake --build --preset mingw32 -j "$jobs"
elif [ "$windows_host" = 1 ]; then
  # The tests run from the 64-bit build; here only what ships is built.
  configure mingw32 i686-w64-mingw32 -DZC_BUILD_TESTS=OFF -DZC_BUILD_HOST=ON
  cmake --build --preset mingw32 -j "$jobs" --target zun-clubs zun-clubs-host
else
  configure mingw32 i686-w64-mingw32 -DZC_BUILD_TESTS=OFF -DZC_BUILD_HOST=OFF
  cmake --build --preset mingw32 -j "$jobs" --target zun-clubs
fi

step "export and import tables of zun-clubs.dll"
dll=$root/build/mingw32/clubs/zun-clubs.dll
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
grep -q 'zun-clubs plugin' <<<"$(strings -el "$dll")" ||
  fail "zun-clubs.dll carries no version resource with its description"
i686-w64-mingw32-objdump -h "$dll" | grep -q ' \.gnu_debuglink ' ||
  fail "zun-clubs.dll has no debug link to its separate symbols"
echo "exports: $exports"
echo "imports: $(tr '\n' ' ' <<<"$imports")"

# Checks the host emulator as built for a package: its architecture, version resource, debug
# link, and that it imports only system DLLs (a client machine has nothing else: the run times
# are linked in, and nothing ships beside it but the plugin's folder). Args: exe objdump-prefix
check_host_program() {
  local exe=$1 tools=$2 name
  [ -f "$exe" ] || fail "$exe was not built, but the host emulator is expected" \
    "(ZC_WINDOWS_HOST=1; ZC_WINDOWS_HOST=0 tests the plugin alone)"
  "$tools-objdump" -f "$exe" | grep -qE '^architecture: i386' || fail "$exe is not a Windows program"
  local allowed='^(kernel32|msvcrt|ucrtbase|api-ms-win-[a-z0-9-]+|advapi32|ws2_32|shell32|winhttp)\.dll$'
  for name in $("$tools-objdump" -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p'); do
    grep -qiE "$allowed" <<<"$name" || fail "zun-clubs-host.exe imports $name, which a client machine lacks"
  done
  grep -q 'zun-clubs host emulator' <<<"$(strings -el "$exe")" ||
    fail "$exe carries no version resource with its description"
  "$tools-objdump" -h "$exe" | grep -q ' \.gnu_debuglink ' ||
    fail "$exe has no debug link to its separate symbols"
  echo "$exe: a Windows program importing only system DLLs, with a version resource"
}

# Lists a package and checks that it holds what ships, laid out as a host installs the plugin
# (and, when expected, the host emulator at its top, which finds the plugin there), and no
# debug symbols. Args: package
check_package() {
  local package=$1 top listing file
  top=$(basename "$package" .zip)
  echo "$package:"
  unzip -l "$package" | sed -n 's/^ *[0-9]\+ \+[0-9-]\+ [0-9:]\+ \+/  /p'
  listing=$(unzip -Z1 "$package")
  ! grep -q '\.debug$' <<<"$listing" || fail "$package holds debug symbols"
  local expected=(plugins/zun-clubs/zun-clubs.dll plugins/zun-clubs/yaml.dll
    include/host_boundary.h licenses/RapidJSON.txt licenses/libyaml.txt licenses/mingw-w64.txt
    README.txt SHA256SUMS)
  [ "$windows_host" = 0 ] || expected+=(zun-clubs-host.exe worlds/default.json)
  for file in "${expected[@]}"; do
    grep -qxF "$top/$file" <<<"$listing" || fail "$package lacks $top/$file"
  done
}

# The symbols split out of the binaries ship beside the package, in an archive of their own.
# Args: package build-dir
archive_debug_symbols() {
  local package=$1 build=$2 debug_package=${1%.zip}-debug.zip
  local symbols=("$build/clubs/zun-clubs.dll.debug")
  if grep -q '/zun-clubs-host\.exe$' <<<"$(unzip -Z1 "$package")"; then
    symbols+=("$build/host/serving/zun-clubs-host.exe.debug")
  fi
  rm -f "$debug_package"
  zip -qj "$debug_package" "${symbols[@]}" || fail "the debug symbols could not be archived"
  echo "$debug_package: $(unzip -Z1 "$debug_package" | tr '\n' ' ')"
}

step "release package"
(cd build/mingw32 && cpack -G ZIP >/dev/null)
package=$(ls build/mingw32/zun-clubs-*-win32.zip)
if [ "$windows_host" = 1 ]; then
  check_host_program build/mingw32/host/serving/zun-clubs-host.exe i686-w64-mingw32
fi
check_package "$package"
archive_debug_symbols "$package" build/mingw32

if [ "$arch" = 32 ]; then
  build_dir=$root/build/mingw32
  export WINEPREFIX=$root/build/wine-prefix
  wine_loader=wine
  wineboot_command=(wineboot)
else
  step "x86_64 build (mingw64 preset)"
  configure mingw64 x86_64-w64-mingw32 -DZC_BUILD_TESTS=ON
  cmake --build --preset mingw64 -j "$jobs"
  (cd build/mingw64 && cpack -G ZIP >/dev/null)
  check_package "$(ls build/mingw64/zun-clubs-*-win64.zip)"
  archive_debug_symbols "$(ls build/mingw64/zun-clubs-*-win64.zip)" build/mingw64
  build_dir=$root/build/mingw64
  export WINEPREFIX=$root/build/wine64-prefix
  # Debian's wine wrapper would pick the 32-bit loader when it is installed.
  wine_loader=$(command -v wine64 || echo /usr/lib/wine/wine64)
  [ -x "$wine_loader" ] || fail "64-bit Wine is not installed ($wine_loader is missing)"
  export WINELOADER=$wine_loader
  wineboot_command=("$wine_loader" wineboot)
fi

step "starting Wine ($arch-bit)"
export WINEDEBUG=-all
# No .NET or HTML engine installers on the first start of the prefix.
export WINEDLLOVERRIDES="mscoree,mshtml="
# The plugin finds yaml.dll beside itself (the build puts copies beside the test programs too).
unset WINEPATH
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  status=0
  "${wineboot_command[@]}" --init >"$root/build/wineboot.log" 2>&1 || status=$?
  if [ "$status" -ne 0 ]; then
    tail -n 5 "$root/build/wineboot.log" >&2
    rm -rf "$WINEPREFIX"
    fail "$arch-bit Wine cannot start here (wineboot exited with status $status, output above);" \
      "no Windows test can run, so the Windows build is not proven"
  fi
fi
# One persistent wine server for all test programs (a server still running from the prefix's
# set-up is reused), stopped when the script ends.
wineserver -p 2>/dev/null || true
trap 'rc=$?; wineserver -k 2>/dev/null || true; summary "$rc"' EXIT

step "tests under $arch-bit Wine"
# A test program that has finished but does not exit (seen on a loaded machine, once in a while
# under either Wine) gets one more run; a test that fails is never run again. The slowest test
# program takes about a second, so a minute is ample and a hung exit costs no more.
ctest --test-dir "$build_dir" -j "$jobs" --output-on-failure --timeout 60 \
  --repeat after-timeout:2

step "the installed plugin from the unpacked package under $arch-bit Wine"
# As a host installs it: the test program in a folder of its own, the plugin in
# plugins/zun-clubs/ with yaml.dll beside it, and no search path leading there. A second copy
# of the plugin without yaml.dll still serves JSON and MessagePack.
stage=$build_dir/installed
rm -rf "$stage"
mkdir -p "$stage/host" "$stage/plugins/zun-clubs" "$stage/plugins/without-yaml"
unzip -q "$(ls "$build_dir"/zun-clubs-*-win[0-9][0-9].zip)" -d "$stage/package"
unpacked=$(ls -d "$stage"/package/zun-clubs-*)
(cd "$unpacked" && sha256sum --quiet -c SHA256SUMS) || fail "the package's SHA256SUMS do not match"
cp "$unpacked/plugins/zun-clubs/zun-clubs.dll" "$unpacked/plugins/zun-clubs/yaml.dll" \
  "$stage/plugins/zun-clubs/"
cp "$unpacked/plugins/zun-clubs/zun-clubs.dll" "$stage/plugins/without-yaml/"
cp "$build_dir/tests/host/zc_installed_plugin_test.exe" "$stage/host/"
# Wine's exit status after a crash is not reliable, so its crash report fails the step too.
installed_test() { # plugin folder, expected libyaml
  local output status=0
  output=$(cd "$stage/host" &&
    "$wine_loader" zc_installed_plugin_test.exe "../plugins/$1/zun-clubs.dll" "$2" 2>&1) ||
    status=$?
  echo "$output"
  if [ "$status" -ne 0 ] || grep -qE 'wine: Unhandled|wine client error:' <<<"$output"; then
    fail "the installed-plugin test failed with plugins/$1 (exit status $status)"
  fi
}
installed_test zun-clubs beside
installed_test without-yaml missing

# The host emulator from the unpacked package, run by Wine, faces the tests the Linux host does:
# the process tests (built for Linux, they start the host as a child) and the console tests.
host_program=$unpacked/zun-clubs-host.exe
host_launcher=$(command -v "$wine_loader")
if [ ! -f "$host_program" ]; then
  [ "$windows_host" = 0 ] ||
    fail "the package holds no zun-clubs-host.exe, but the host emulator is expected" \
      "(ZC_WINDOWS_HOST=1; ZC_WINDOWS_HOST=0 tests the plugin alone)"
  echo
  echo "the host emulator is NOT tested: ZC_WINDOWS_HOST=0 and the package holds none"
else
  step "host process tests against the packaged zun-clubs-host.exe under $arch-bit Wine"
  # The Linux test program of the default preset (run-tests.sh has built it; alone, this builds
  # what it needs).
  [ -f build/default/CMakeCache.txt ] || cmake --preset default "${launcher[@]}" >/dev/null
  cmake --build --preset default -j "$jobs" --target zc_host_process_tests
  ZC_HOST_PROGRAM=$host_program ZC_HOST_LAUNCHER=$host_launcher \
    build/default/tests/host/serving/zc_host_process_tests ||
    fail "the host process tests failed against $host_program"

  step "console tests against the packaged zun-clubs-host.exe under $arch-bit Wine"
  ZC_HOST_PROGRAM=$host_program ZC_HOST_LAUNCHER=$host_launcher scripts/run-console-tests.sh ||
    fail "the console tests failed against $host_program"
fi

echo
echo "Windows tests passed on the $arch-bit path"
