#!/bin/sh
# debian-source.sh PACKAGE DEST
#
# Unpacks the upstream source of the Debian source package PACKAGE into DEST (the top
# directory of its tarball becomes DEST). The Windows configuration builds the few
# libraries that Debian ships for Linux only (tinyxml2) from their Debian sources this way.
#
# apt-get works on a private state directory beside DEST: the system's apt configuration is
# read, never changed. The source entries are the system's own Debian entries (the deb822
# files of sources.list.d and the lines of sources.list) turned into deb-src entries;
# third-party one-line lists in sources.list.d are left out. The version is the one of the
# installed -dev package when there is one, so headers and sources match.
set -eu
package=$1
dest=$2
work=$dest.apt
rm -rf "$work"
mkdir -p "$work/lists/partial" "$work/cache/archives/partial" "$work/parts" "$work/download"
for f in /etc/apt/sources.list.d/*.sources; do
  [ -f "$f" ] || continue
  sed 's/^Types:.*/Types: deb-src/' "$f" >"$work/parts/$(basename "$f")"
done
: >"$work/sources.list"
if [ -f /etc/apt/sources.list ]; then
  sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' /etc/apt/sources.list >"$work/sources.list"
fi
apt() {
  apt-get -q -o Dir::Etc::SourceList="$work/sources.list" -o Dir::Etc::SourceParts="$work/parts" \
    -o Dir::State::Lists="$work/lists" -o Dir::Cache="$work/cache" \
    -o APT::Sandbox::User="$(id -un)" -o Debug::NoLocking=1 "$@"
}
apt update >"$work/update.log" 2>&1 || { cat "$work/update.log" >&2; exit 1; }
version=$(dpkg-query -W -f='${Version}' "lib${package}-dev" 2>/dev/null || true)
wanted=$package
[ -n "$version" ] && wanted="$package=$version"
(cd "$work/download" && apt source --download-only "$wanted" >"$work/source.log" 2>&1) ||
  (cd "$work/download" && apt source --download-only "$package" >>"$work/source.log" 2>&1) ||
  { cat "$work/source.log" >&2; exit 1; }
tarball=$(ls "$work"/download/"${package}"_*.orig.tar.* | head -n 1)
rm -rf "$dest"
mkdir -p "$dest"
tar -xf "$tarball" -C "$dest" --strip-components=1
rm -rf "$work"
echo "debian-source.sh: $package from $(basename "$tarball") in $dest"
