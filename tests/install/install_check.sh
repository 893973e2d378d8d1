#!/usr/bin/env bash
# Installs the build into a temporary DESTDIR and checks it the way a distribution would: the
# files in place, the desktop entry and metainfo validators, the man pages, the completion,
# both programs' --version, the maintainer scripts, and lintian on the Debian package cpack
# makes, whose zovex-render must render a pattern straight from the unpacked package. The
# package, once checked, is left in the build folder.
# usage: install_check.sh CMAKE CPACK BUILD_DIR VERSION APP_ID
set -euo pipefail
cmake=$1 cpack=$2 build=$3 version=$4 app_id=$5

work=$(mktemp -d "${TMPDIR:-/tmp}/zovex-install-check.XXXXXX")
trap 'rm -rf "$work"' EXIT
root=$work/root
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
# No display for the programs: --version and zovex-render must not need one.
nodisplay() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$@"; }

DESTDIR=$root "$cmake" --install "$build" --prefix /usr >/dev/null

# Files in place.
for f in usr/lib/zovex/zovex usr/bin/zovex-render \
         usr/share/applications/$app_id.desktop usr/share/metainfo/$app_id.metainfo.xml \
         usr/share/icons/hicolor/scalable/apps/$app_id.svg \
         usr/share/icons/hicolor/48x48/apps/$app_id.png usr/share/icons/hicolor/128x128/apps/$app_id.png \
         usr/share/man/man1/zovex.1.gz usr/share/man/man1/zovex-render.1.gz \
         usr/share/bash-completion/completions/zovex-render \
         usr/share/zovex/zovex-render-array.sbatch \
         usr/share/doc/zovex/copyright usr/share/doc/zovex/changelog.gz; do
  [ -f "$root/$f" ] || fail "$f is not installed"
done
[ "$(readlink "$root/usr/bin/zovex")" = ../lib/zovex/zovex ] || fail "usr/bin/zovex is not a relative link to ../lib/zovex/zovex"
for size in 48 128; do
  got=$(identify -format '%wx%h' "$root/usr/share/icons/hicolor/${size}x${size}/apps/$app_id.png" 2>/dev/null || true)
  [ "$got" = "${size}x${size}" ] || fail "the ${size}x${size} icon is $got"
done

# The password file: the empty password, readable by all, writable by its owner; a second
# install keeps a password that was set.
pw=$root/usr/lib/zovex/wvkcom.cct
[ "$(od -An -c "$pw" | tr -s ' ')" = ' " " \r \n' ] || fail "wvkcom.cct does not hold the empty password"
[ "$(stat -c %a "$pw")" = 644 ] || fail "wvkcom.cct has mode $(stat -c %a "$pw"), not 644"
printf '"\225\230\233"\r\n' > "$pw"
DESTDIR=$root "$cmake" --install "$build" --prefix /usr >/dev/null
[ "$(od -An -c "$pw" | tr -s ' ')" = ' " 225 230 233 " \r \n' ] || fail "a reinstall reset the password"

# The job-array script: executable, and bash reads it.
sbatch_script=$root/usr/share/zovex/zovex-render-array.sbatch
[ "$(stat -c %a "$sbatch_script" 2>/dev/null)" = 755 ] || fail "zovex-render-array.sbatch is not mode 755"
bash -n "$sbatch_script" || fail "zovex-render-array.sbatch does not parse"

# Desktop entry and metainfo.
desktop-file-validate "$root/usr/share/applications/$app_id.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net --pedantic "$root/usr/share/metainfo/$app_id.metainfo.xml" >"$work/as.log" 2>&1 \
  || { cat "$work/as.log" >&2; fail "appstreamcli validate"; }
exec_line=$(sed -n 's/^Exec=//p' "$root/usr/share/applications/$app_id.desktop")
[ -x "$root/usr/bin/${exec_line%% *}" ] || fail "the desktop entry runs '$exec_line', which is not in usr/bin"
icon=$(sed -n 's/^Icon=//p' "$root/usr/share/applications/$app_id.desktop")
[ "$icon" = "$app_id" ] || fail "the desktop entry's icon is '$icon', not $app_id"
grep -q "<release version=\"$version\"" "$root/usr/share/metainfo/$app_id.metainfo.xml" \
  || fail "the metainfo names no release $version"
first=$(zcat "$root/usr/share/doc/zovex/changelog.gz" | head -1)
[[ $first == "zovex ($version) "* ]] || fail "the changelog's newest entry is '$first', not version $version"

# Man pages: man formats them without a warning.
for page in zovex zovex-render; do
  out=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$root/usr/share/man/man1/$page.1.gz" 2>&1 >/dev/null)
  [ -z "$out" ] || fail "man $page: $out"
done

# Both programs' --version, without a display.
[ "$(nodisplay "$root/usr/bin/zovex" --version)" = "zovex $version" ] || fail "zovex --version"
[ "$(nodisplay "$root/usr/bin/zovex-render" --version)" = "zovex-render $version" ] || fail "zovex-render --version"

# The completion offers exactly the options zovex-render's usage lists.
completion=$root/usr/share/bash-completion/completions/zovex-render
offered=$(bash -c 'source "$1"; COMP_WORDS=(zovex-render --); COMP_CWORD=1; _zovex_render; printf "%s\n" "${COMPREPLY[@]}"' _ "$completion" | sort)
listed=$({ nodisplay "$root/usr/bin/zovex-render" --help | grep -o -- '--[a-z0-9-]*'; echo --help; echo --version; } | sort -u)
[ "$offered" = "$listed" ] || fail "the completion offers $(echo $offered), the usage lists $(echo $listed)"
formats=$(bash -c 'source "$1"; COMP_WORDS=(zovex-render --format ""); COMP_CWORD=2; _zovex_render; echo "${COMPREPLY[@]}"' _ "$completion")
[ "$formats" = "bmp png" ] || fail "--format completes to '$formats'"

# The maintainer scripts, pointed at a folder of the test's own: postinst creates the empty
# password only where none is, postrm removes it on purge only.
scripts=$build/packaging/debian
sed "s|^dir=.*|dir=$work/pkgdir|" "$scripts/postinst" >"$work/postinst"
sed "s|^dir=.*|dir=$work/pkgdir|" "$scripts/postrm" >"$work/postrm"
mkdir "$work/pkgdir"
sh "$work/postinst" configure
[ "$(od -An -c "$work/pkgdir/wvkcom.cct" 2>/dev/null | tr -s ' ')" = ' " " \r \n' ] || fail "postinst did not create the empty password"
[ "$(stat -c %a "$work/pkgdir/wvkcom.cct")" = 644 ] || fail "postinst made wvkcom.cct mode $(stat -c %a "$work/pkgdir/wvkcom.cct")"
printf '"\225"\r\n' > "$work/pkgdir/wvkcom.cct"
sh "$work/postinst" configure 1.0
[ "$(od -An -c "$work/pkgdir/wvkcom.cct" | tr -s ' ')" = ' " 225 " \r \n' ] || fail "postinst replaced a password that was set"
[ "$(ls -A "$work/pkgdir")" = wvkcom.cct ] || fail "postinst left $(ls -A "$work/pkgdir")"
sh "$work/postrm" remove
[ -f "$work/pkgdir/wvkcom.cct" ] || fail "postrm remove deleted the password"
sh "$work/postrm" purge
[ ! -e "$work/pkgdir" ] || fail "postrm purge left $(ls -A "$work/pkgdir")"

# The Debian package.
(cd "$build" && "$cpack" -G DEB -B "$work/pkg" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log" >&2; fail "cpack"; }
deb=$work/pkg/zovex_${version}_$(dpkg --print-architecture).deb
if [ -f "$deb" ]; then
  dpkg-deb -c "$deb" | grep -q 'wvkcom\.cct' && fail "the package carries the password file"
  dpkg-deb -c "$deb" | grep -q '^-rwxr-xr-x .* \./usr/share/zovex/zovex-render-array\.sbatch$' \
    || fail "the package lacks the executable job-array script"
  depends=$(dpkg-deb -f "$deb" Depends)
  [[ $depends == *libqt6widgets6* && $depends == *libc6* ]] || fail "Depends lacks the libraries: $depends"
  [ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "the package's version is not $version"
  lintian --fail-on error,warning "$deb" >"$work/lintian.log" 2>&1 \
    || { cat "$work/lintian.log" >&2; fail "lintian"; }
  dpkg-deb -x "$deb" "$work/unpacked"
  (cd "$work" && nodisplay "$work/unpacked/usr/bin/zovex-render" --count 1 --out "$work/rendered" >/dev/null) \
    || fail "zovex-render from the package did not render"
  [ "$(head -c 2 "$work/rendered"/zovex-1-000001.bmp 2>/dev/null)" = BM ] || fail "zovex-render wrote no bitmap"
else
  fail "cpack made no $deb"
fi

[ "$failures" -eq 0 ] || { echo "$failures install checks failed" >&2; exit 1; }
# The package that passed stays in the build folder, for `apt install ./zovex_…deb` (copied
# beside its final name first, so that name only ever holds a whole package).
trap 'rm -rf "$work" "$build/.${deb##*/}.new"' EXIT
cp "$deb" "$build/.${deb##*/}.new"
mv -f "$build/.${deb##*/}.new" "$build/${deb##*/}"
echo "install checks passed; the package is $build/${deb##*/}"
