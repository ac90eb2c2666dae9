#!/bin/sh
# Installs a build tree into a scratch prefix, and unpacks its Debian package,
# and checks the tool and its manual page in both places.
# usage: install_test.sh BUILD_DIR VERSION
set -eu
build=$1 version=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

cmake --install "$build" --prefix "$scratch/prefix" >/dev/null
test "$("$scratch/prefix/bin/fdkeep" --version)" = "fdkeep $version"
page="$scratch/prefix/share/man/man1/fdkeep.1"
grep -q "^.TH FDKEEP 1 .* \"fdkeep $version\"" "$page"
if command -v man >/dev/null; then
  man -l "$page" 2>&1 | grep -q "INPUT FORMAT"
fi

if command -v dpkg-deb >/dev/null; then
  (cd "$build" && cpack -G DEB -B "$scratch/package" >/dev/null)
  package=$(ls "$scratch"/package/fdkeep_"$version"_*.deb)
  test "$(dpkg-deb -f "$package" Version)" = "$version"
  dpkg-deb -x "$package" "$scratch/root"
  test "$("$scratch/root/usr/bin/fdkeep" --version)" = "fdkeep $version"
  test -f "$scratch/root/usr/share/man/man1/fdkeep.1"
fi
