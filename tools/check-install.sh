#!/usr/bin/env bash
# Installs a build into a scratch prefix and checks that every file lands at
# its place and that the installed capture tool names the version.
# Usage: tools/check-install.sh BUILD_DIR VERSION
set -euo pipefail
build=$1 version=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
status=0
for f in bin/tapehiss bin/tapehiss-capture share/applications/tapehiss.desktop \
  share/icons/hicolor/256x256/apps/tapehiss.png share/icons/hicolor/48x48/apps/tapehiss.png \
  share/doc/tapehiss/README.md share/doc/tapehiss/LICENSE; do
  [ -s "$prefix/$f" ] || { echo "missing: $f"; status=1; }
done
[ -x "$prefix/bin/tapehiss" ] || { echo "bin/tapehiss is not executable"; status=1; }
"$prefix/bin/tapehiss-capture" --help | head -n1 | grep -qF "tapehiss-capture $version" ||
  { echo "capture --help does not name version $version"; status=1; }
grep -qx 'Exec=tapehiss' "$prefix/share/applications/tapehiss.desktop" ||
  { echo "desktop entry does not start tapehiss"; status=1; }
exit $status
