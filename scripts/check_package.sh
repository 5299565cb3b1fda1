#!/usr/bin/env bash
# Checks the Debian package that scripts/package.sh built, as a packager
# would, without installing it:
#  - what it installs (dpkg-deb --contents) and its control data (--info);
#  - the program: stripped, answering --version without a display;
#  - the desktop entry (desktop-file-validate prints nothing at all), the
#    icon and the AppStream metainfo (appstreamcli validate --no-net), all
#    under one application id; the man page renders without warnings;
#  - lintian: any error (E:) or warning (W:) fails the check; its notes are
#    printed only.
set -euo pipefail
cd "$(dirname "$0")/.."
app_id=example.varnholt.Quillmere
debs=(build/quillmere_*.deb)
[ -f "${debs[0]}" ] || { echo "check_package: no build/quillmere_*.deb; run scripts/package.sh" >&2; exit 1; }
deb=${debs[0]}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# --- contents -----------------------------------------------------------------
dpkg-deb --contents "$deb" | awk '{print $6}' | sed 's|^\./|/|' | grep -v '/$' | sort >"$work/files"
cat >"$work/expected" <<LIST
/usr/bin/quillmere
/usr/share/applications/$app_id.desktop
/usr/share/doc/quillmere/changelog.gz
/usr/share/doc/quillmere/copyright
/usr/share/icons/hicolor/scalable/apps/$app_id.svg
/usr/share/man/man1/quillmere.1.gz
/usr/share/metainfo/$app_id.metainfo.xml
/usr/share/quillmere/HAND-M.CUR
LIST
diff -u "$work/expected" "$work/files" >&2 || fail "the package installs other files than expected"

# --- control data --------------------------------------------------------------
dpkg-deb --info "$deb" >"$work/info"
version=$(dpkg-deb --field "$deb" Version)
arch=$(dpkg-deb --field "$deb" Architecture)
[ "$(basename "$deb")" = "quillmere_${version}_${arch}.deb" ] || fail "file name $(basename "$deb") is not quillmere_${version}_${arch}.deb"
depends=$(dpkg-deb --field "$deb" Depends)
for lib in libc6 libqt6core6 libqt6widgets6 libqt6svg6 libodbc2 libsqlite3-0; do
  grep -qE "(^|, )$lib( |,|$)" <<<"$depends" || fail "Depends lacks $lib: $depends"
done
grep -q '^ Maintainer: ' "$work/info" || fail "no Maintainer in the control data"
recommends=$(dpkg-deb --field "$deb" Recommends)
for pkg in unixodbc odbcinst; do
  grep -qE "(^|, )$pkg( |,|$)" <<<"$recommends" || fail "Recommends lacks $pkg: $recommends"
done

# --- the program ---------------------------------------------------------------
dpkg-deb -x "$deb" "$work/root"
# grep reads to the end (no -q) in these pipes: with pipefail, a grep that
# stops at its first match would fail the pipe by ending the writer early.
file "$work/root/usr/bin/quillmere" | grep ', stripped' >/dev/null || fail "the program is not stripped"
answer=$(env -u DISPLAY -u WAYLAND_DISPLAY "$work/root/usr/bin/quillmere" --version 2>&1) || fail "--version failed"
[ "$answer" = "quillmere $version" ] || fail "--version printed: $answer"
# The program's texts are UTF-16.
strings -el "$work/root/usr/bin/quillmere" | grep -x "$app_id" >/dev/null || fail "the program does not name its desktop file $app_id"

# --- desktop entry, icon, metainfo, man page -----------------------------------
desktop=$work/root/usr/share/applications/$app_id.desktop
said=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate failed"
[ -z "$said" ] || fail "desktop-file-validate printed: $said"
grep -qx "Icon=$app_id" "$desktop" || fail "the desktop entry names another icon"
grep -qx "Exec=quillmere" "$desktop" || fail "the desktop entry runs another command"
metainfo=$work/root/usr/share/metainfo/$app_id.metainfo.xml
appstreamcli validate --no-net "$metainfo" >"$work/appstream" 2>&1 ||
  { cat "$work/appstream" >&2; fail "appstreamcli validate rejected the metainfo"; }
grep -q "<id>$app_id</id>" "$metainfo" || fail "the metainfo has another id"
grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$metainfo" ||
  fail "the metainfo launches another desktop entry"
warnings=$(MANWIDTH=80 man --warnings -l "$work/root/usr/share/man/man1/quillmere.1.gz" 2>&1 >"$work/man")
[ -z "$warnings" ] || fail "man reported: $warnings"
grep -q 'quillmere' "$work/man" || fail "the man page renders empty"

# --- lintian -------------------------------------------------------------------
if command -v lintian >/dev/null; then
  # Run as root it says so on stderr; that line is no tag and is left out.
  if lintian --fail-on none --tag-display-limit 0 "$deb" >"$work/lintian" 2>"$work/lintian.err"; then
    grep -v 'running with root privileges' "$work/lintian.err" >&2 || true
    cat "$work/lintian"
    tags=$(grep -cE '^[EW]: ' "$work/lintian" || true)
    ((tags == 0)) || fail "lintian reported $tags error or warning tag(s)"
  else
    cat "$work/lintian.err" >&2
    fail "lintian could not check the package"
  fi
else
  fail "lintian is not installed; run scripts/setup.sh"
fi

if ((failures)); then
  echo "check_package.sh: $failures failure(s)" >&2
  exit 1
fi
echo "check_package.sh: $(basename "$deb") OK"
