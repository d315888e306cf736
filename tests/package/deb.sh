#!/usr/bin/env bash
# Builds the Debian package as a user would (a Release build of the source tree, then
# `cpack -G DEB`) and checks it: its name, version and architecture; a file list with the
# executables, the media engine, the menu entry, the icons, the file type and the manual, all
# root's and none writable but by root although the package is made under a umask of 002; a
# Depends field that names the Qt 6 and FFmpeg library packages, the fonts the window is laid
# out for and, for every library the package's programs and engine link, a package that holds
# it. Then the package's files,
# unpacked into a scratch root, work from their own bin/ as they do from /usr/bin: reelwright-cli
# joins by stream copy and, with the engine it finds in ../lib/reelwright, by recompression, and
# reelwright starts (offscreen) and exits on SIGTERM. Nothing is installed on the system.
# Arguments: the source tree, a build folder of its own (kept between runs), the version.
set -euo pipefail
src=$1 build=$2 version=$3
for tool in dpkg-deb dpkg-shlibdeps readelf ffmpeg ffprobe; do
  command -v "$tool" >/dev/null || { echo "$tool is not installed: skipped"; exit 77; }
done
fail() { echo "$*"; exit 1; }
source "$(dirname "$0")/../support/window-program.sh"

cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DRW_SANITIZE=OFF -DRW_TESTS=OFF -DRW_BENCH=OFF -DRW_FUZZ=OFF -DRW_GUI=ON >/dev/null
cmake --build "$build" -j2 >"$work/build.log" 2>&1 \
  || { cat "$work/build.log"; fail "the build fails"; }
(cd "$build" && umask 0002 && cpack -G DEB -B "$work/out" >"$work/cpack.log" 2>&1) \
  || { cat "$work/cpack.log"; fail "cpack fails"; }
arch=$(dpkg --print-architecture)
deb="$work/out/reelwright_${version}_${arch}.deb"
[ -f "$deb" ] || { ls "$work/out"; fail "no reelwright_${version}_${arch}.deb"; }

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = reelwright ] || fail "the package is named $(field Package)"
[ "$(field Version)" = "$version" ] || fail "the package's version is $(field Version)"
[ "$(field Architecture)" = "$arch" ] || fail "the package's architecture is $(field Architecture)"
[ -n "$(field Maintainer)" ] && [ -n "$(field Description)" ] || fail "no maintainer or description"

# Every file in its place, root's, writable only by root.
dpkg-deb -c "$deb" >"$work/contents"
expect() {  # MODE PATH
  grep -qE "^$1 root/root +[0-9]+ [-0-9]+ [:0-9]+ \./$2\$" "$work/contents" \
    || fail "no $1 ./$2 in the package"
}
expect -rwxr-xr-x usr/bin/reelwright
expect -rwxr-xr-x usr/bin/reelwright-cli
expect -rw-r--r-- usr/lib/reelwright/reelwright-engine.so
expect -rw-r--r-- usr/share/applications/reelwright.desktop
expect -rw-r--r-- usr/share/mime/packages/reelwright.xml
expect -rw-r--r-- usr/share/doc/reelwright/manual.html
expect -rw-r--r-- usr/share/doc/reelwright/manual-window.png
for size in 16 22 24 32 48 64 128 256; do
  expect -rw-r--r-- "usr/share/icons/hicolor/${size}x${size}/apps/reelwright.png"
done
awk '$2 != "root/root" || substr($1, 6, 1) == "w" || substr($1, 9, 1) == "w" ||
     $6 !~ /^\.\/usr\//' "$work/contents" >"$work/odd"
[ -s "$work/odd" ] && { cat "$work/odd"; fail "entries not root's, writable by others, off /usr"; }

# The dependencies: Qt 6 and FFmpeg by name, and a package named for every library linked.
depends=$(field Depends)
echo "Depends: $depends"
for lib in libqt6core6 libqt6gui6 libqt6widgets6 'libavformat[0-9]+' 'libavcodec[0-9]+' \
           'libavfilter[0-9]+' 'libavutil[0-9]+' 'libswscale[0-9]+' 'libswresample[0-9]+'; do
  grep -qE "(^|, )$lib( |,|$)" <<<"$depends" || fail "Depends names no $lib"
done
grep -qE "(^|, )fonts-liberation2( |,|$)" <<<"$depends" || fail "Depends names no fonts-liberation2"
dependency_names=$(tr ',|' '\n\n' <<<"$depends" | sed 's/^ *//; s/[ (].*//')
named() { grep -qxF "$1" <<<"$dependency_names"; }
root="$work/root"
dpkg-deb -x "$deb" "$root"
for elf in "$root/usr/bin/reelwright" "$root/usr/bin/reelwright-cli" \
           "$root/usr/lib/reelwright/reelwright-engine.so"; do
  for soname in $(readelf -d "$elf" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'); do
    holders=$(dpkg -S "*/$soname" 2>/dev/null | grep -v '^diversion' | sed 's/: .*//' \
      | tr ',' '\n' | sed 's/^ *//; s/:.*//' | sort -u) || true
    [ -n "$holders" ] || fail "no installed package holds $soname (linked by ${elf#"$root"})"
    ok=
    for p in $holders; do named "$p" && ok=1; done
    [ -n "$ok" ] || fail "${elf#"$root"} links $soname, of $holders, which Depends does not name"
  done
done

# The unpacked programs, as installed: clips joined by copy and by recompression.
unset REELWRIGHT_ENGINE
for name in a b; do
  ffmpeg -nostdin -v error -f lavfi -i testsrc=size=64x48:rate=25 -f lavfi -i sine=r=22050 \
    -t 0.4 -c:v mpeg4 -c:a pcm_s16le "$work/$name.avi" || fail "ffmpeg could not make a clip"
done
frames() {
  ffprobe -v error -count_packets -select_streams v:0 -show_entries stream=nb_read_packets \
    -of csv=p=0 "$1"
}
cli="$root/usr/bin/reelwright-cli"
"$cli" join -o "$work/copy.avi" "$work/a.avi" "$work/b.avi" || fail "the stream-copy join fails"
[ "$(frames "$work/copy.avi")" = 20 ] || fail "the copy has $(frames "$work/copy.avi") frames"
"$cli" join --recompress --vcodec mpeg4 --acodec pcm_s16le -o "$work/rec.avi" \
  "$work/a.avi" "$work/b.avi" || fail "the recompressing join fails (the engine in lib/reelwright)"
[ "$(frames "$work/rec.avi")" = 20 ] || fail "recompressed: $(frames "$work/rec.avi") frames"

# The window program comes up and, asked by the session to stop, exits with 128 + SIGTERM.
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/config" QT_QPA_PLATFORM=offscreen
mkdir -p "$HOME"
"$root/usr/bin/reelwright" "$work/a.avi" >"$work/app.log" 2>&1 &
app_pid=$!
wait_program_up "$app_pid" || { cat "$work/app.log"; fail "the packaged reelwright did not come up"; }
stop_program "$app_pid" || fail "the packaged reelwright still runs 30 s after SIGTERM"
status=$stop_status
app_pid=
[ "$status" -eq 143 ] || { cat "$work/app.log"; fail "reelwright exited with $status, not 143"; }
echo "ok: $(basename "$deb")"
