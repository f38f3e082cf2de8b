#!/usr/bin/env bash
# Makes the release files in dist/: the Debian package, the Windows zip and
# SHA256SUMS. The Linux program is built with Debian's hardening flags and
# staged by `cmake --install`, so the package holds what an install puts in
# /usr. Usage: scripts/package.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
. scripts/common.sh
scripts/install-deps.sh package
umask 022

build=$root/build/package
work=$root/build/package-deb
dist=$root/dist
rm -rf "$dist" "$work"
mkdir -p "$dist" "$work/debian"

echo "== Linux program"
flag() { DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get "$1"; }
cmake --preset package \
  -DCMAKE_CXX_FLAGS="$(flag CPPFLAGS) $(flag CXXFLAGS)" -DCMAKE_EXE_LINKER_FLAGS="$(flag LDFLAGS)" >/dev/null
cmake --build "$build" -j "$jobs"

echo "== Debian package"
cp packaging/control "$work/debian/control"
cp "$build/packaging/changelog" "$work/debian/changelog"
version=$(dpkg-parsechangelog -l "$work/debian/changelog" -SVersion)
# Files in the package and the zip carry the release's time, not the build's.
SOURCE_DATE_EPOCH=$(dpkg-parsechangelog -l "$work/debian/changelog" -STimestamp)
export SOURCE_DATE_EPOCH
staged=$work/debian/tallowind
DESTDIR=$staged cmake --install "$build" --strip >/dev/null
# As Debian's own packaging does: these sections only take room.
strip --remove-section=.comment --remove-section=.note "$staged/usr/bin/tallowind"
(
  cd "$work"
  mkdir -p debian/tallowind/DEBIAN
  dpkg-shlibdeps -Tdebian/tallowind.substvars debian/tallowind/usr/bin/tallowind
  dpkg-gencontrol -ptallowind -Pdebian/tallowind -Tdebian/tallowind.substvars
  (cd debian/tallowind && find usr -type f -print0 | LC_ALL=C sort -z | xargs -0 md5sum) \
    > debian/tallowind/DEBIAN/md5sums
)
find "$staged" -exec touch --no-dereference --date="@$SOURCE_DATE_EPOCH" {} +
dpkg-deb --root-owner-group -Zxz --build "$staged" "$dist" >/dev/null

echo "== Windows zip"
scripts/build-windows.sh
zipdir=$work/windows
mkdir -p "$zipdir"
cp "$root/build-win/tallowind.exe" "$root/build-win/README.txt" "$root/build-win/LICENSE.txt" "$zipdir/"
touch -d "@$SOURCE_DATE_EPOCH" "$zipdir"/*
(cd "$zipdir" && TZ=UTC zip -q -X -9 "$dist/tallowind-$version-windows-x64.zip" \
  tallowind.exe README.txt LICENSE.txt)

(cd "$dist" && sha256sum -- *.deb *.zip > SHA256SUMS)
echo "== dist/"
ls -l "$dist"
