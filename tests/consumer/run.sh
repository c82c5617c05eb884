#!/usr/bin/env bash
# The front end as an embedder gets it: installs a static and a shared build into temporary
# prefixes, checks what was installed, then builds tests/consumer/main.cpp against each prefix
# with find_package() and with a plain compiler call through pkg-config, and once more with the
# front end added as a subdirectory; runs every program and compares its output with
# expected.txt.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
here="$root/tests/consumer"
work="$root/build-consumer"
rm -rf "$work"
mkdir -p "$work"

fail() { echo "consumer: $*" >&2; exit 1; }

install_build() {  # NAME BUILD_SHARED_LIBS
  cmake -S "$root" -B "$work/build-$1" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
    -DBUILD_SHARED_LIBS="$2" >/dev/null
  cmake --build "$work/build-$1" -j 2 >/dev/null
  cmake --install "$work/build-$1" --prefix "$work/prefix-$1" >/dev/null
}

check_output() {  # LABEL PROGRAM
  "$2" > "$work/$1.out" || fail "$1: the program failed"
  diff -u "$here/expected.txt" "$work/$1.out" || fail "$1: unexpected output"
  echo "consumer: $1 ok"
}

for kind in static shared; do
  shared=OFF; [ "$kind" = shared ] && shared=ON
  install_build "$kind" "$shared"
  prefix="$work/prefix-$kind"
  libdir=$(find "$prefix" -name 'tolu.pc' -printf '%h\n' | head -n 1 | xargs dirname)

  # Only the public headers are installed, and the tools.
  (cd "$prefix/include" && find . -type f | sort) > "$work/headers-$kind"
  (cd "$root/include" && find tolu -name '*.h' -o -name '*.def' | sed 's|^|./|'; echo ./tolu/version.h) \
    | sort > "$work/headers-expected"
  diff -u "$work/headers-expected" "$work/headers-$kind" || fail "$kind: installed headers differ"
  for tool in tolu-parse-files tolu-ast; do
    [ -x "$prefix/bin/$tool" ] || fail "$kind: $tool is not installed"
  done
  "$prefix/bin/tolu-ast" --version | grep -qx 'tolu-ast 0.1.0' || fail "$kind: tolu-ast --version"
  # A release build links the checker statically: it must still find Unicode's character
  # classes (a Greek name) and run its workers.
  "$prefix/bin/tolu-parse-files" "$root/examples" >/dev/null || fail "$kind: the checker on examples/"
  printf 'let \316\243 := 1;\nsay \316\243;\n' > "$work/greek-$kind.tos"
  "$prefix/bin/tolu-parse-files" "$work/greek-$kind.tos" >/dev/null ||
    fail "$kind: the checker on a Greek name"

  if [ "$kind" = shared ]; then
    so="$libdir/libtolu_front_end.so.0"
    [ -e "$so" ] || fail "shared: $so is missing"
    readelf -d "$so" | grep -q 'SONAME.*\[libtolu_front_end.so.0\]' || fail "shared: soname"
    # The interface is exported and the internals are not.
    symbols=$(nm -D --defined-only -C "$so")
    grep -q 'tolu::parse_program(' <<<"$symbols" || fail "shared: parse_program is not exported"
    if grep -qE 'tolu::(Parser|Lexer|TokenStream|validate_program|annotate_program)' <<<"$symbols"; then
      fail "shared: internal symbols are exported"
    fi
  fi

  cmake -S "$here" -B "$work/app-$kind" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
  cmake --build "$work/app-$kind" >/dev/null
  check_output "find_package-$kind" "$work/app-$kind/consumer"

  export PKG_CONFIG_PATH="$libdir/pkgconfig"
  # shellcheck disable=SC2046
  g++ -std=c++20 "$here/main.cpp" -o "$work/pkg-config-$kind" $(pkg-config --cflags --libs tolu)
  LD_LIBRARY_PATH="$libdir" check_output "pkg-config-$kind" "$work/pkg-config-$kind"
  unset PKG_CONFIG_PATH
done
# A project that adds the front end with add_subdirectory() builds it without its tests.
cmake -S "$here/subdirectory" -B "$work/app-subdirectory" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DTOLU_SOURCE_DIR="$root" >/dev/null
cmake --build "$work/app-subdirectory" -j 2 >/dev/null
check_output "add_subdirectory" "$work/app-subdirectory/consumer"
echo "consumer: 5 passed, 0 failed"
