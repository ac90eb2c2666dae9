#!/bin/sh
# Installs a build tree into a scratch prefix, and unpacks its Debian package,
# and checks both programs and their manual pages in both places.
# usage: install_test.sh BUILD_DIR VERSION
set -eu
build=$1 version=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

cmake --install "$build" --prefix "$scratch/prefix" >/dev/null
for program in fdkeep fdkeep-explain; do
  test "$("$scratch/prefix/bin/$program" --version)" = "$program $version"
  page="$scratch/prefix/share/man/man1/$program.1"
  title=$(echo "$program" | tr a-z A-Z)
  grep -q "^.TH $title 1 .* \"fdkeep $version\"" "$page"
done
hungarian="$scratch/prefix/share/man/hu/man1/fdkeep.1"
grep -q "^.TH FDKEEP 1 .* \"fdkeep $version\"" "$hungarian"
hungarian_explain="$scratch/prefix/share/man/hu/man1/fdkeep-explain.1"
grep -q "^.TH FDKEEP-EXPLAIN 1 .* \"fdkeep $version\"" "$hungarian_explain"
if command -v man >/dev/null; then
  man -l "$scratch/prefix/share/man/man1/fdkeep.1" 2>&1 | grep -q "INPUT FORMAT"
  man -l "$hungarian" 2>&1 | grep -q "A BEMENET FORMÁTUMA"
  man -l "$hungarian_explain" 2>&1 | grep -q "KILÉPÉSI KÓD"
  # where man looks for a Hungarian reader (the locale need not be installed)
  test "$(MANPATH="$scratch/prefix/share/man" man -L hu -w fdkeep)" = "$hungarian"
  test "$(MANPATH="$scratch/prefix/share/man" man -L hu -w fdkeep-explain)" = \
    "$hungarian_explain"
fi

if command -v dpkg-deb >/dev/null; then
  (cd "$build" && cpack -G DEB -B "$scratch/package" >/dev/null)
  package=$(ls "$scratch"/package/fdkeep_"$version"_*.deb)
  test "$(dpkg-deb -f "$package" Version)" = "$version"
  dpkg-deb -x "$package" "$scratch/root"
  for program in fdkeep fdkeep-explain; do
    test "$("$scratch/root/usr/bin/$program" --version)" = "$program $version"
    test -f "$scratch/root/usr/share/man/man1/$program.1"
  done
  test -f "$scratch/root/usr/share/man/hu/man1/fdkeep.1"
  test -f "$scratch/root/usr/share/man/hu/man1/fdkeep-explain.1"
fi
