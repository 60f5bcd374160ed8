#!/usr/bin/env bash
# A launcher whose full path is longer than MAX_PATH (260 UTF-16 units) still
# finds its own folder: it logs beside itself and reads its configuration
# there. Wine's CreateProcessW cannot start a program that deep, so this test
# starts the launcher from the host side: deep_folder_test.sh PREFIX BIN_DIR
set -u
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=scripts/lib/wine.sh
. "$here/../../scripts/lib/wine.sh"
prefix=$1
bin=$2
wine_use_prefix "$prefix" headless

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
deep=$root
for letter in a b c d e f; do deep="$deep/$(printf "$letter%.0s" $(seq 50))"; done
mkdir -p "$deep"
cp "$bin/OrvelLauncher.exe" "$deep/"
cp "$bin/stand_in_game.exe" "$deep/veldmoor.exe"
printf 'GameArgs=-deep\r\n' >"$deep/Orvel.config.ini"

fail() { echo "FAILED: $*"; cat "$deep/OrvelLauncher.log" 2>/dev/null; exit 1; }

windows_folder="Z:${deep//\//\\}"
[ ${#windows_folder} -gt 260 ] || fail "the folder is only ${#windows_folder} units long"

(cd "$root" && wine "$deep/OrvelLauncher.exe" -dx12 >/dev/null 2>&1 </dev/null)
rc=$?
[ -f "$deep/OrvelLauncher.log" ] || fail "no log beside the launcher (rc=$rc)"
log=$(tr -d '\r' <"$deep/OrvelLauncher.log" | cut -c23-)
first=$(printf '%s\n' "$log" | head -n 1)
[ "$first" = "=== Orvel launcher başladı ===" ] || fail "first line: $first"
printf '%s\n' "$log" | grep -qxF "Config yükleniyor: $windows_folder\\Orvel.config.ini" || fail "configuration not read beside the launcher"
printf '%s\n' "$log" | grep -qxF "Çalıştırılıyor: $windows_folder\\veldmoor.exe -deep -DX12" || fail "no launch line"
# Starting a game from so deep a folder may be refused by the system: that is
# the ordinary failure path, rc 2 with the error line before the closing line.
last=$(printf '%s\n' "$log" | tail -n 1)
case $rc in
    0) [ "$last" = "Orvel launcher çıktı (rc=0)" ] || fail "last line: $last" ;;
    2) [ "$last" = "Orvel launcher çıktı (rc=2)" ] || fail "last line: $last"
       printf '%s\n' "$log" | grep -q '^CreateProcessW başarısız. Hata: [0-9]*$' || fail "no failure line" ;;
    *) fail "exit code $rc" ;;
esac
echo "deep folder (${#windows_folder} units): rc=$rc, log beside the launcher"
