#!/usr/bin/env bash
# Installs the build into a scratch prefix and checks what a user gets: the program folder,
# the launcher, the companion tool reached through bin/, the desktop entry, icon and manual.
# Usage: check_install.sh BUILD_DIR
set -euo pipefail
build="$1"
prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
fail() { echo "FAIL: $*" >&2; exit 1; }

program="$prefix/lib/tavrin"
for f in tavrin tavrin-cli libzip32.so libunzip32.so libmpegdll.so help/index.html \
         ENGLISH.TVK ITALIAN.TVK GERMAN.TVK FRENCH.TVK SPANISH.TVK; do
  [ -e "$program/$f" ] || fail "program folder lacks $f"
done
[ -x "$prefix/bin/tavrin" ] || fail "no launcher"
sh -n "$prefix/bin/tavrin" || fail "launcher is no valid shell script"
grep -q '/../lib/tavrin"' "$prefix/bin/tavrin" || fail "launcher does not name the program folder"
grep -q '^Exec=tavrin$' "$prefix/share/applications/tavrin.desktop" || fail "desktop entry"
[ -s "$prefix/share/icons/hicolor/scalable/apps/tavrin.svg" ] || fail "icon"
gzip -t "$prefix/share/man/man1/tavrin-cli.1.gz" || fail "manual page"

# The companion tool through its link in bin/ finds its engine in the program folder.
out="$("$prefix/bin/tavrin-cli" lang "$program/GERMAN.TVK" | sed -n 10p)"
[ "$out" = "[Menu] 00 = Beenden" ] || fail "tavrin-cli lang gave '$out'"
work="$(mktemp -d)"
trap 'rm -rf "$prefix" "$work"' EXIT
echo hello >"$work/a.txt"
(cd / && env -u LD_LIBRARY_PATH "$prefix/bin/tavrin-cli" zip "$work/a.zip" "$work/a.txt" >/dev/null)
[ "$("$prefix/bin/tavrin-cli" list "$work/a.zip" | wc -l)" = 1 ] || fail "tavrin-cli zip/list"
echo "install layout ok"
