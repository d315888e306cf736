#!/usr/bin/env bash
# Installs the build into a scratch prefix, as a user would with --prefix ~/.local, and checks
# that it is a desktop program there: both executables in bin/ with the media engine in
# lib/reelwright, a valid menu entry that opens
# AVI files and projects, the project files' type, the icon in the theme's sizes, and the
# manual under share/doc where Help looks for it (not in bin/).
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null

fail() { echo "$*"; exit 1; }
for exe in reelwright reelwright-cli; do
  [ -x "$prefix/bin/$exe" ] || fail "bin/$exe is missing"
done
[ -e "$prefix/bin/manual.html" ] && fail "the manual lies in bin/"
# The media engine lies in lib/reelwright, where the installed programs find it.
[ -f "$prefix/lib/reelwright/reelwright-engine.so" ] || fail "no media engine in lib/reelwright"
(unset REELWRIGHT_ENGINE; "$prefix/bin/reelwright-cli" compressors >/dev/null) \
  || fail "the installed reelwright-cli does not find its media engine"
[ -s "$prefix/share/doc/reelwright/manual.html" ] || fail "no manual under share/doc/reelwright"
# Every picture the manual shows lies beside it.
doc="$prefix/share/doc/reelwright"
for picture in $(grep -o '<img src="[^"]*"' "$doc/manual.html" | sed 's/^<img src="//; s/"$//'); do
  [ -s "$doc/$picture" ] || fail "the manual shows $picture, which is not beside it"
done

entry="$prefix/share/applications/reelwright.desktop"
[ -f "$entry" ] || fail "no desktop entry"
grep -qx 'Exec=reelwright %F' "$entry" || fail "the entry does not pass the files"
grep -qx 'MimeType=video/x-msvideo;application/x-reelwright-project;' "$entry" \
  || fail "the entry does not open AVI files and projects"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$entry" || fail "desktop-file-validate refuses the entry"
else
  echo "desktop-file-validate is not installed: the entry's check is skipped"
fi

mime="$prefix/share/mime/packages/reelwright.xml"
[ -f "$mime" ] || fail "no MIME type for projects"
grep -q 'type="application/x-reelwright-project"' "$mime" || fail "the project type is not defined"
grep -q '<glob pattern="\*.rwp"/>' "$mime" || fail "the project type does not match .rwp"
if command -v xmllint >/dev/null; then xmllint --noout "$mime" || fail "the MIME file is not XML"; fi
if command -v update-mime-database >/dev/null; then
  # The type registers, and a project file is recognised by it.
  update-mime-database "$prefix/share/mime" >/dev/null 2>&1 || fail "update-mime-database refuses it"
  grep -q 'application/x-reelwright-project' "$prefix/share/mime/globs2" || fail "the glob is not registered"
fi

sizes=0
for size in 16 22 24 32 48 64 128 256; do
  icon="$prefix/share/icons/hicolor/${size}x${size}/apps/reelwright.png"
  [ -f "$icon" ] || fail "no ${size}x${size} icon"
  # A PNG whose header gives the size its folder names.
  [ "$(head -c 8 "$icon" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] || fail "the ${size}x${size} icon is no PNG"
  read -r b0 b1 b2 b3 b4 b5 b6 b7 < <(od -An -tu1 -j16 -N8 "$icon")
  w=$(( (b0 << 24) | (b1 << 16) | (b2 << 8) | b3 )) h=$(( (b4 << 24) | (b5 << 16) | (b6 << 8) | b7 ))
  [ "$w" = "$size" ] && [ "$h" = "$size" ] || fail "the ${size}x${size} icon is ${w}x${h}"
  sizes=$((sizes + 1))
done
echo "ok: $sizes icon sizes"
