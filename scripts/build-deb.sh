#!/usr/bin/env bash
# Builds the Debian package from the project's files and checks it with
# lintian: dist/vantrix_<version>_<arch>.deb. Installs what the build needs
# (apt-get, through sudo when not run as root).
# usage: scripts/build-deb.sh
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
./scripts/install-deps.sh --package

version=$(dpkg-parsechangelog -S Version)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Built from a copy of the project's own files, so that the work tree gets
# no build output and the results no place beside the project.
source_dir="$work/vantrix-$version"
mkdir -p "$source_dir"
git ls-files -z --cached --others --exclude-standard | xargs -0 cp --parents -t "$source_dir"
(cd "$source_dir" && dpkg-buildpackage -us -uc -b)

mkdir -p dist
cp "$work"/vantrix_"$version"_*.deb dist/
deb=$(ls dist/vantrix_"$version"_*.deb)
lintian --fail-on error,warning --suppress-tags-from-file /dev/null "$deb"
echo "$deb"
