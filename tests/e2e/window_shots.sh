# Screenshots of the launcher window under X (sourced by run_e2e.sh and demo_launcher.sh).
#
#   qm_window_id                  the visible window titled "Quillmark", or nothing
#   qm_window_origin              "X Y" of that window on the screen
#   qm_has_colour IMAGE X Y W H COLOUR
#                                 at least 4 pixels of the area lie within 10 % of COLOUR
#   qm_screenshot FILE SECONDS CHECK...
#                                 the window (1130 x 690 at 96 dpi) cut out of the screen with
#                                 ImageMagick's import, taken again every 0.2 s until every
#                                 check ("X Y W H COLOUR", canvas units) holds: the X server
#                                 shows a frame a moment after it was painted. 1 when SECONDS
#                                 pass first; the last capture is then kept as failed-FILE.
#   qm_ready_checks, qm_error_checks, qm_download_checks, qm_paused_checks
#                                 what the main screen shows in those states, and where
#   qm_front_checks, qm_expanded_checks, qm_language_list_checks
#                                 the header and news panel filled, the card expanded over
#                                 the list, the language list open
#   qm_news_row_focus_checks, qm_play_focus_checks
#                                 the keyboard's focus ring round the first news row, PLAY

qm_window_id() { xdotool search --onlyvisible --name '^Quillmark$' 2>/dev/null | head -1; }

qm_window_origin() {
  local id geometry
  id=$(qm_window_id)
  [ -n "$id" ] || return 1
  geometry=$(xdotool getwindowgeometry --shell "$id") || return 1
  echo "$(sed -n 's/^X=//p' <<<"$geometry") $(sed -n 's/^Y=//p' <<<"$geometry")"
}

qm_has_colour() {
  local n
  n=$(convert "$1" -crop "$4x$5+$2+$3" +repage -alpha off -fuzz 10% -fill '#010203' -opaque "$6" \
        -fuzz 0 -fill white -opaque '#010203' -fill black +opaque white \
        -format '%[fx:round(mean*w*h)]' info: 2>/dev/null)
  [ "${n:-0}" -ge 4 ]
}

qm_screenshot() {
  local file=$1 seconds=$2; shift 2
  local end=$((SECONDS + seconds)) origin capture ok check
  capture="$(dirname "$file")/.capture-$$.png"
  while :; do
    if origin=$(qm_window_origin); then
      import -window root -crop "1130x690+${origin% *}+${origin#* }" +repage "$capture" 2>/dev/null
      ok=1
      for check in "$@"; do
        # shellcheck disable=SC2086
        qm_has_colour "$capture" $check || { ok=0; break; }
      done
      if [ $ok = 1 ]; then
        mv "$capture" "$file"
        return 0
      fi
    fi
    if [ $SECONDS -ge $end ]; then
      [ -f "$capture" ] && mv "$capture" "$(dirname "$file")/failed-$(basename "$file")"
      return 1
    fi
    sleep 0.2
  done
}

# READY TO PLAY in green, the percentage, the version at the right end of the title line, the
# gold PLAY button with its dark label, the full bar.
qm_ready_checks=("160 598 140 18 #7BD88F" "36 592 124 72 #F4EEDF" "640 600 130 16 #B9A8A0"
                 "820 600 260 50 #E8B04B" "900 610 100 40 #2A1A05" "300 626 470 10 #A8701F")
# "!" and ERROR in red, the error text after the title, the gold RETRY button.
qm_error_checks=("36 592 124 72 #FF6B6B" "160 598 60 18 #FF6B6B" "230 596 340 20 #FF6B6B"
                 "820 600 260 50 #E8B04B")
# UPDATING in gold, the bar's light start, the time left ending at x 770 and the speed before
# it, the transfer line, the percentage, the dimmed WAIT label.
qm_download_checks=("160 598 80 18 #E8B04B" "160 626 200 10 #FFD98A" "700 600 70 16 #B9A8A0"
                    "560 599 130 17 #ECE4DC" "160 642 400 18 #B9A8A0" "36 592 124 72 #F4EEDF"
                    "820 600 260 50 #9A8983")
# Paused: PAUSED in gold with its message after it, the bar's light start, the resume
# triangle in light gold in the control at the bar's end, the transfer line, the percentage,
# the dimmed WAIT label.
qm_paused_checks=("160 598 50 18 #E8B04B" "240 596 300 20 #E2D6CC" "160 626 200 10 #FFD98A"
                  "745 620 20 22 #FFD98A" "160 642 400 18 #B9A8A0" "36 592 124 72 #F4EEDF"
                  "820 600 260 50 #9A8983")
# The news heading's gold, the selected "All" tab's border, the window buttons' faint peach,
# the card's title text.
qm_front_checks=("68 196 40 18 #FFD98A" "56 232 40 24 #E8B04B" "1060 16 30 30 #ECE4DC"
                 "56 306 300 28 #ECE4DC")
# Expanded: the card's title runs on one line where the list was (collapsed, the list's first
# row shows only its date there, in SecondaryText).
qm_expanded_checks=("412 310 60 20 #ECE4DC")
# The focus ring left of the first news row, and left of PLAY (where nothing else is gold).
qm_news_row_focus_checks=("400 282 5 40 #FFD98A")
qm_play_focus_checks=("794 606 4 40 #FFD98A")
# The list's card below the selector with its rows' text.
qm_language_list_checks=("840 90 170 340 #ECE4DC" "898 16 78 30 #FFD98A")
