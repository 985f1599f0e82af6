#!/usr/bin/env bash
# End-to-end test of the setup program (its build around the launcher with the test hooks)
# under Wine, silent as an administrator's script runs it:
#
#   signed      the setup program verifies under the test's certificate authority
#   refused     a folder holding other files is refused (exit code 2) and nothing is written
#   install     the launcher, the signed uninstaller, the Start menu and desktop shortcuts and
#               the current user's uninstall entry are in place
#   game        the launcher started from there installs a release served by nginx
#   uninstall   a silent uninstall removes the launcher, the uninstaller, the shortcuts and the
#               entry and keeps the game files
#   again       a setup into the kept game folder is accepted; "/S /REMOVEGAME" removes the
#               game files, without following a link inside the folder
#
# Usage: setup_e2e.sh SETUP_EXE LAUNCHER_E2E_EXE PUBLISH_EXE FAKE_GAME_EXE CA_PEM
# Uses $DISPLAY and $WINEPREFIX when set (scripts/wine-env.sh sets both).
set -uo pipefail

setup_exe=$(realpath "$1")
launcher_exe=$(realpath "$2")
publish_exe=$(realpath "$3")
fake_exe=$(realpath "$4")
ca=$(realpath "$5")

export WINEPREFIX=${WINEPREFIX:-$(dirname "$setup_exe")/setup-wineprefix}
# Shortcuts made under Wine would otherwise become menu entries of this machine's desktop.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=};winemenubuilder.exe=d"
work=$(mktemp -d)
here=$(dirname "$(realpath "$0")")
# shellcheck source=e2e_lib.sh
source "$here/e2e_lib.sh"
e2e_start_wine

# Wine links the prefix's desktop to the user's home folder: while the test runs, the desktop
# is a folder of its own, and the setting goes back at the end.
user_folders='HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\User Shell Folders'
desktop_setting=$(wine reg query "$user_folders" /v Desktop </dev/null 2>/dev/null | tr -d '\r' |
  sed -n 's/^ *Desktop *REG_[A-Z_]* *//p')
set_desktop() { wine reg add "$user_folders" /v Desktop /t REG_EXPAND_SZ /d "$1" /f </dev/null >/dev/null 2>&1; }
restore_desktop() {
  [ -n "$desktop_setting" ] && set_desktop "$desktop_setting"
  e2e_cleanup
}
trap restore_desktop EXIT
mkdir -p "$work/desktop"
set_desktop "$(winpath "$work/desktop")" || fail "could not move the desktop"

uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillmark'
entry() { wine reg query "$uninstall_key" /v "$1" </dev/null 2>/dev/null | tr -d '\r' | sed -n "s/^ *$1 *REG_[A-Z]* *//p"; }
no_entry() { ! wine reg query "$uninstall_key" </dev/null >/dev/null 2>&1; }
shell_folder() {  # the Unix path of one of the user's shell folders
  local windows
  windows=$(wine reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders' /v "$1" \
    </dev/null 2>/dev/null | tr -d '\r' | sed -n "s/^ *$1 *REG_SZ *//p")
  [ -n "$windows" ] || fail "no shell folder $1"
  winepath -u "$windows" 2>/dev/null
}
verifies() { osslsigncode verify -in "$1" -CAfile "$ca" >"$work/verify.log" 2>&1; }
run_setup() { wine "$setup_exe" /S "/D=$(winpath "$1")" </dev/null >/dev/null 2>&1; }
# An earlier run that failed half-way may have left its entry in the prefix.
wine reg delete "$uninstall_key" /f </dev/null >/dev/null 2>&1

# 1. signed
verifies "$setup_exe" || fail "the setup program's signature: $(cat "$work/verify.log")"
echo "ok: signed"

# 2. a release to install, served by nginx
game="$work/game"
mkdir -p "$game/data" "$work/www/patch"
cp "$fake_exe" "$game/Play Quillmark.exe"
head -c 200000 /dev/urandom > "$game/data/level.dat"
e2e_keygen "$publish_exe"
publish build --game "$(winpath "$game")" --out "$(winpath "$work/www/patch")" --version 3 \
  --key "$(winpath "$work/e2e.key")" >"$work/publish.log" 2>&1 || fail "publish build: $(cat "$work/publish.log")"
e2e_start_nginx

# 3. a folder that holds other files is refused before anything is written
mkdir -p "$work/taken"
echo "the player's own file" > "$work/taken/notes.txt"
run_setup "$work/taken"
code=$?
[ $code -eq 2 ] || fail "setup into a folder of other files exited with $code"
[ "$(ls "$work/taken")" = notes.txt ] || fail "setup wrote into a refused folder: $(ls "$work/taken")"
no_entry || fail "a refused setup wrote the uninstall entry"
echo "ok: a foreign folder is refused"

# 4. install
dir="$work/games/quillmark"
run_setup "$dir" || fail "silent setup exited with $?"
cmp -s "$launcher_exe" "$dir/QuillmarkLauncher.exe" || fail "the installed launcher differs"
verifies "$dir/uninstall.exe" || fail "the uninstaller's signature: $(cat "$work/verify.log")"
start_menu=$(shell_folder Programs)
desktop=$work/desktop
for link in "$start_menu/Quillmark.lnk" "$desktop/Quillmark.lnk"; do
  [ -f "$link" ] || fail "no shortcut $link"
done
[ "$(entry InstallLocation)" = "$(winpath "$dir")" ] || fail "InstallLocation: $(entry InstallLocation)"
[ "$(entry UninstallString)" = "\"$(winpath "$dir")\\uninstall.exe\"" ] ||
  fail "UninstallString: $(entry UninstallString)"
[ "$(entry DisplayName)" = Quillmark ] || fail "DisplayName: $(entry DisplayName)"
echo "ok: installed with shortcuts and the uninstall entry"

# 5. the launcher from there installs the game
start_launcher game "$dir" "$base/patch/"
game_pid=$last_pid
wait_for "READY TO PLAY" 120 status_is game $phase_ready 0
cmp -s "$game/data/level.dat" "$dir/data/level.dat" || fail "the game was not installed"
stop_launcher game
wait_for "the launcher to end" 30 bash -c "! kill -0 $game_pid 2>/dev/null"
echo "ok: the installed launcher installs the game"

# 6. a silent uninstall keeps the game files. The uninstaller runs from a copy of itself in
# the temporary folder, so the command returns before it is done: the test waits for the
# entry and the uninstaller to go.
wine "$dir/uninstall.exe" /S </dev/null >/dev/null 2>&1
wait_for "the uninstall entry to go" 60 no_entry
wait_for "the uninstaller to go" 30 bash -c "[ ! -e '$dir/uninstall.exe' ]"
for gone in "$dir/QuillmarkLauncher.exe" "$start_menu/Quillmark.lnk" "$desktop/Quillmark.lnk"; do
  [ ! -e "$gone" ] || fail "left after the uninstall: $gone"
done
for kept in "Play Quillmark.exe" data/level.dat patcher.ini; do
  [ -f "$dir/$kept" ] || fail "a silent uninstall removed the game file $kept"
done
echo "ok: a silent uninstall removes the launcher, shortcuts and entry, and keeps the game"

# 7. the kept game folder takes the launcher again; /REMOVEGAME removes the game files, and a
# link inside it is removed without entering it
run_setup "$dir" || fail "setup into the kept game folder exited with $?"
[ -f "$dir/QuillmarkLauncher.exe" ] || fail "no launcher after the second setup"
mkdir -p "$work/elsewhere"
echo "not the game's" > "$work/elsewhere/keep.txt"
ln -s "$work/elsewhere" "$dir/data/link"
wine "$dir/uninstall.exe" /S /REMOVEGAME </dev/null >/dev/null 2>&1
# Wine cannot remove a Unix link to a folder through the Windows calls (RemoveDirectory says
# the folder is not empty), so here the link and the folder above it stay; Windows removes
# them. Everything else goes.
only_link_left() { [ -z "$(find "$dir" -mindepth 1 -not -path "$dir/data" -not -path "$dir/data/link")" ]; }
wait_for "the game folder to go" 60 only_link_left
no_entry || fail "the uninstall entry is left"
[ -f "$work/elsewhere/keep.txt" ] || fail "the uninstaller removed files through a link"
echo "ok: /REMOVEGAME removes the game files and nothing through a link"
echo "PASS"
