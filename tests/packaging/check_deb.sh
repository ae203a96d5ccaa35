#!/usr/bin/env bash
# check_deb.sh <build dir>
# Builds the Debian package from the build tree, checks what it holds and what
# it depends on, then starts the packaged program from an unpacked copy as an
# unprivileged user with a home of its own.
set -euo pipefail
build=$1
work=$(mktemp -d)
chmod 0755 "$work"
group=
cleanup() {
  # The program and whatever it started in its session, at once.
  if [ -n "$group" ]; then kill -KILL -- "-$group" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 \
  || { cat "$work/cpack.log" >&2; fail "cpack did not build the package"; }
deb=$(ls "$work"/out/marrowbeck_*.deb)
[ "$(basename "$deb")" = "marrowbeck_7.0.0.0_amd64.deb" ] || fail "unexpected file name $(basename "$deb")"

[ "$(dpkg-deb -f "$deb" Package)" = marrowbeck ] || fail "package name"
[ "$(dpkg-deb -f "$deb" Version)" = 7.0.0.0 ] || fail "version $(dpkg-deb -f "$deb" Version)"
depends=$(dpkg-deb -f "$deb" Depends)
for needed in libqt6widgets6 libqt6gui6 libqt6core6 qt6-qpa-plugins libfbclient2 \
              firebird3.0-server-core libreoffice-calc fonts-liberation libc6 libuchardet0 libxlsxwriter4 libisal2; do
  grep -Eq "(^|, )$needed( |,|$)" <<<"$depends" || fail "Depends lacks $needed: $depends"
done
# Every dependency must be a package Debian actually has.
for name in $(tr ',|' '\n\n' <<<"$depends" | sed 's/(.*)//; s/ //g' | sort -u); do
  apt-cache show "$name" >/dev/null 2>&1 || fail "Depends names $name, which Debian does not have"
done

listing=$(dpkg-deb -c "$deb")
prog=./usr/lib/marrowbeck
for f in "$prog/marrowbeck" "$prog/HAND-M.CUR" "$prog/x/o.cjs" "$prog/Samples/sample.fdb" \
         ./usr/bin/marrowbeck ./usr/share/applications/marrowbeck.desktop ./usr/share/man/man1/marrowbeck.1 \
         ./usr/share/icons/hicolor/{32x32,48x48,128x128,256x256}/apps/marrowbeck.png; do
  grep -Eq " $f( |$)" <<<"$listing" || fail "package lacks $f"
done

root="$work/root"
dpkg-deb -x "$deb" "$root"
desktop="$root/usr/share/applications/marrowbeck.desktop"
grep -qx 'Exec=marrowbeck' "$desktop" && grep -qx 'Icon=marrowbeck' "$desktop" \
  && grep -qx 'X-Tenvara-Version=7.0.0.0' "$desktop" || fail "desktop entry"
if command -v desktop-file-validate >/dev/null; then desktop-file-validate "$desktop"; fi

# The launcher must lead to the program folder, where the program's files are.
[ "$(readlink -f "$root/usr/bin/marrowbeck")" = "$(readlink -f "$root/usr/lib/marrowbeck/marrowbeck")" ] \
  || fail "launcher does not lead to the program"

home="$work/home"
mkdir -p "$home"
chown nobody:nogroup "$home"
setsid setpriv --reuid=nobody --regid=nogroup --clear-groups \
  env -i HOME="$home" PATH="$root/usr/bin:/usr/bin:/bin" QT_QPA_PLATFORM=offscreen \
  marrowbeck >"$work/program.log" 2>&1 &
group=$!
settings=
for _ in $(seq 1 100); do
  kill -0 "$group" 2>/dev/null || { cat "$work/program.log" >&2; fail "the program ended at start-up"; }
  settings=$(grep -rl '^FireBirdUser=SYSDBA$' "$home/.config" 2>/dev/null || true)
  [ -n "$settings" ] && break
  sleep 0.1
done
[ -n "$settings" ] || { cat "$work/program.log" >&2; fail "no first-run settings under the user's home"; }
[ "$(stat -c %U "$settings")" = nobody ] || fail "settings file not owned by the user"
sleep 3
kill -0 "$group" 2>/dev/null || { cat "$work/program.log" >&2; fail "the program did not stay up"; }
echo "package $(basename "$deb") checked; Depends: $depends"
