#!/usr/bin/env bash
# The demo's last step: QuillmarkLauncher.exe, built with the demo's patch address and key,
# brings an empty game folder up to date under Wine and is photographed on the way and at
# "READY TO PLAY". Run inside scripts/wine-env.sh (a display and a warm Wine).
#
# Usage: demo_launcher.sh LAUNCHER_EXE GAME_FOLDER SCREENSHOT_FOLDER
# Writes SCREENSHOT_FOLDER/launcher-ready.png, and launcher-downloading.png when a frame of
# the download was caught (a fast loopback download may end before one is).
set -uo pipefail
exe=$(realpath "$1")
folder=$2
shots=$3
# shellcheck source=window_shots.sh
source "$(dirname "$(realpath "$0")")/window_shots.sh"

rm -rf "$folder"
mkdir -p "$folder" "$shots"
folder=$(realpath "$folder")
shots=$(realpath "$shots")
rm -f "$shots"/launcher-*.png "$shots"/failed-launcher-*.png
cp "$exe" "$folder/QuillmarkLauncher.exe"
(cd "$folder" && exec wine "$folder/QuillmarkLauncher.exe" </dev/null >"$folder/../launcher-wine.log" 2>&1) &
pid=$!

# One capture every 0.2 s: kept as the download's picture when it shows one, and as the ready
# picture once it shows READY TO PLAY.
passes() {  # IMAGE CHECK...
  local image=$1 check; shift
  for check in "$@"; do
    # shellcheck disable=SC2086
    qm_has_colour "$image" $check || return 1
  done
}
capture="$shots/.capture.png"
end=$((SECONDS + 300))
status=1
while [ $SECONDS -lt $end ] && kill -0 "$pid" 2>/dev/null; do
  if origin=$(qm_window_origin) &&
     import -window root -crop "1130x690+${origin% *}+${origin#* }" +repage "$capture" 2>/dev/null; then
    if [ ! -f "$shots/launcher-downloading.png" ] && passes "$capture" "${qm_download_checks[@]}"; then
      cp "$capture" "$shots/launcher-downloading.png"
      echo "   launcher: a frame of the download: $shots/launcher-downloading.png"
    elif passes "$capture" "${qm_ready_checks[@]}"; then
      mv "$capture" "$shots/launcher-ready.png"
      echo "   launcher: READY TO PLAY: $shots/launcher-ready.png"
      status=0
      break
    fi
  fi
  sleep 0.2
done
if [ $status -ne 0 ]; then
  [ -f "$capture" ] && mv "$capture" "$shots/failed-launcher-ready.png"
  echo "   launcher: did not reach READY TO PLAY; its last frame: $shots/failed-launcher-ready.png" >&2
fi
kill "$pid" 2>/dev/null
wait "$pid" 2>/dev/null
exit $status
