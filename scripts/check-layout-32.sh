#!/usr/bin/env bash
# Compiles the host boundary header's layout assertions for a 32-bit target, as C and as C++.
set -euo pipefail
cd "$(dirname "$0")/.."
for check in tests/plugin/host_boundary_layout_check.c; do
  [ -f "$check" ] || continue
  gcc -m32 -std=c11 -Wall -Wextra -Werror -fsyntax-only -I. "$check"
  g++ -m32 -std=c++20 -Wall -Wextra -Werror -fsyntax-only -I. -x c++ "$check"
  gcc -m64 -std=c11 -Wall -Wextra -Werror -fsyntax-only -I. "$check"
done
echo "layout checks compile for 32-bit and 64-bit targets"
