#!/usr/bin/env bash
# The main job, as a photographer meets it: Wemlox under Wine on a virtual
# display, inside a private network namespace, watching a simulated FlashAir
# card on loopback while the camera shoots a JPEG and raw pair every few
# seconds. Every new JPEG arrives in LoRes by itself and is shown in the
# viewer (a stand-in installed where IrfanView would be). Meanwhile a second
# camera uploads by FTP into an inbox folder: one picture under a temporary
# name that is renamed at the end, one under its final name, the writer
# holding it open between pieces; each arrives in LoRes once, whole, and is
# shown. Button 6 then fetches the raw files into HiRes. Then the info
# panel: the journal, the card's tree with a file's menu open, and the
# thumbnail grid where three pictures are picked and button 1 brings them to
# the storage folder.
# Screenshots, the journal and the viewer's log land in build/demo/; at the
# end it prints what arrived where and checks the inbox's pictures.
#
# Environment: WEMLOX_DEMO_SHOTS (default 5), WEMLOX_DEMO_PAUSE seconds
# between shots (default 4), WEMLOX_DEMO_RATE card bytes per second (default
# 2500000), WEMLOX_DEMO_SIZE bytes per picture (default 2500000),
# WEMLOX_DEMO_SETTINGS extra Section.Key=Value settings.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${WEMLOX_SANDBOX:-}" != "1" ]; then
  bash scripts/setup.sh
  export WEMLOX_DEPS=/var/cache/wemlox-deps/current
  cmake --preset native >/dev/null && cmake --build --preset native --target make_settings card_simulator >/dev/null
  cmake --preset windows >/dev/null && cmake --build --preset windows --target Wemlox wemlox_drive standin_viewer >/dev/null
  exec bash scripts/sandbox.sh bash "$0" "$@"
fi

shots=${WEMLOX_DEMO_SHOTS:-5}
pause=${WEMLOX_DEMO_PAUSE:-4}
rate=${WEMLOX_DEMO_RATE:-2500000}
size=${WEMLOX_DEMO_SIZE:-2500000}
camera=DCIM/101_PANA
out=build/demo
bin=build/windows
rm -rf "$out"; mkdir -p "$out/card/$camera" "$out/uploads"
card=$(realpath "$out/card")
user_dir="$WINEPREFIX/drive_c/users/$(whoami)"
store="$user_dir/Wemlox"
# The folder an FTP server would write the camera's uploads into.
inbox="$user_dir/FTP-Inbox"
inbox_win="C:\\users\\$(whoami)\\FTP-Inbox"
inbox_pictures="P2010001.JPG P2010002.JPG"
rm -rf "$inbox"; mkdir -p "$inbox"
drive() { wine "$bin/wemlox_drive.exe" "$@"; }

# Sends one line to the simulator's control port and prints the reply.
control() {
  (exec 3<>/dev/tcp/127.0.0.1/8080 && printf '%s\n' "$*" >&3 && cat <&3) 2>/dev/null
}

# Waits up to $2 seconds until folder $1 holds $3 files.
wait_files() {
  for _ in $(seq $(($2 * 5))); do
    [ "$(find "$1" -maxdepth 1 -type f 2>/dev/null | wc -l)" -ge "$3" ] && return 0
    sleep 0.2
  done
  return 1
}

# The card: a picture from before Wemlox started, which stays on the card.
build/native/card_simulator --root "$card" --address 127.0.0.1 --port 80 --control-port 8080 \
  --rate "$rate" --lifetime 900 >"$out/card_simulator.log" 2>&1 &
simulator=$!
for _ in $(seq 50); do control ping >/dev/null && break; sleep 0.1; done
control shoot "/$camera" 1 CR2 "$size" >/dev/null

# The viewer, where the auto-search looks first.
viewer="$WINEPREFIX/drive_c/Program Files/IrfanView/i_view64.exe"
mkdir -p "$(dirname "$viewer")"
cp "$bin/standin_viewer.exe" "$viewer"
echo "FullScreenClass|IrfanView" >"$viewer.window"

settings_dir="$user_dir/AppData/Roaming/Wemlox"
mkdir -p "$settings_dir"
build/native/make_settings "$settings_dir/Wemlox.ini" \
  TFA.Url=127.0.0.1 TFA.UrlLastConnect=127.0.0.1 TFA.Path=$camera "Inbox.Folders=$inbox_win" \
  ${WEMLOX_DEMO_SETTINGS:-}

# The second camera's pictures, as they will come over FTP.
seed=1
for name in $inbox_pictures; do
  convert -seed $seed -size 1600x1200 plasma:fractal -quality 92 "$out/uploads/$name"
  seed=$((seed + 1))
done

echo "Starting Wemlox (settings: $settings_dir/Wemlox.ini)"
wine "$bin/Wemlox.exe" &
wemlox=$!
# A fresh Wine prefix on a busy machine can take longer than half a minute.
drive wait-bar 90000
for _ in $(seq 100); do control log | grep -q "op=100" && break; sleep 0.2; done
import -window root "$out/1-bar-watching.png"

echo "Shooting $shots pictures, one every $pause s (card: $rate bytes/s, $size bytes each)"
echo "  and two FTP uploads into the inbox $inbox_win"
last=""
uploads=()
for i in $(seq "$shots"); do
  last=$(control shoot "/$camera" 1 CR2 "$size" | tail -n 1)
  echo "  shot: $last"
  # As FileZilla Server and many others do: written under a temporary name
  # in pieces as the bytes come in, renamed once complete.
  if [ "$i" = 1 ]; then
    echo "  upload: P2010001.JPG.filepart in 8 pieces, then renamed P2010001.JPG"
    drive upload "build\\demo\\uploads\\P2010001.JPG" "$inbox_win\\P2010001.JPG.filepart" 8 400 \
      "$inbox_win\\P2010001.JPG" &
    uploads+=($!)
  fi
  # Written under its final name, the writer holding it open between pieces;
  # with the last shot: it usually comes in after the card's JPEG, so the
  # viewer ends on it.
  if [ "$i" = "$shots" ]; then
    echo "  upload: P2010002.JPG in 8 pieces, held open until the last"
    drive upload "build\\demo\\uploads\\P2010002.JPG" "$inbox_win\\P2010002.JPG" 8 400 &
    uploads+=($!)
  fi
  sleep "$pause"
done
for u in "${uploads[@]}"; do wait "$u" || echo "An upload into the inbox failed"; done
wait_files "$store/LoRes" 60 $((shots + 2)) || echo "Not every JPEG arrived in LoRes"
sleep 1
# The viewer shows the last picture that came in (usually the inbox's).
import -window root "$out/2-viewer-last-shot.png"
# The journal, with the inbox's pictures among the card's; it stays open.
drive click 8
sleep 1
import -window root "$out/2a-journal-inbox.png"

echo "Button 6: the raw files"
drive click 6
# The mouse rests on the button: its tooltip and progress bar follow the download.
drive hover 6
sleep 1.5
import -window root "$out/2b-card-button-progress.png"
wait_files "$store/HiRes" 90 "$shots" || echo "Not every raw file arrived in HiRes"
sleep 1
import -window root "$out/3-journal.png"
drive click 8
sleep 2
drive right-click-tree "$last.JPG" && sleep 1
import -window root "$out/4-card-tree-menu.png"
drive escape
drive click 8
sleep 3
import -window root "$out/5-thumbnails.png"
echo "Picking three pictures in the grid (click, Shift-click) and pressing button 1"
drive toggle 2 && drive toggle 4 shift
sleep 1
import -window root "$out/6-thumbnails-picked.png"
drive click 1
wait_files "$store/Storage" 30 3 || echo "Not every picked picture arrived in Storage"
sleep 1
import -window root "$out/7-thumbnails-stored.png"
drive journal >"$out/journal.txt"
drive close
wait "$wemlox" || true
control quit >/dev/null 2>&1 || true
wait "$simulator" || true
cp "$viewer.log" "$out/viewer.log" 2>/dev/null || true

echo; echo "Journal:"; tr '\r' '\n' <"$out/journal.txt" | sed '/^$/d'
echo; echo "Viewer started with:"
tr -d '\r' <"$out/viewer.log" | sed -n 's/^start: .*"\(.*\)"$/  \1/p'
echo; echo "Picture store ($store):"
(cd "$store" && find . -type f | sort) | while read -r f; do
  name=$(basename "$f")
  verdict=""
  if [ -f "$card/$camera/$name" ]; then
    if cmp -s "$store/$f" "$card/$camera/$name"; then verdict="identical to the card"; else verdict="DIFFERS from the card"; fi
  elif [ -f "$out/uploads/$name" ]; then
    if cmp -s "$store/$f" "$out/uploads/$name"; then verdict="identical to the FTP upload"; else verdict="DIFFERS from the FTP upload"; fi
  fi
  printf '  %-40s %9s bytes  %s\n' "$f" "$(stat -c %s "$store/$f")" "$verdict"
done
echo; echo "Inbox ($inbox_win):"
(cd "$inbox" && find . -type f | sort) | sed 's/^/  /'
# Each upload once in the store (no second copy, no cut one), whole, in the
# journal once and handed to the viewer once.
for name in $inbox_pictures; do
  copies=$(cd "$store" && find . -type f -name "${name%.JPG}*" | wc -l)
  whole=$(find "$store" -type f -exec cmp -s {} "$out/uploads/$name" \; -print | wc -l)
  journalled=$(tr '\r' '\n' <"$out/journal.txt" | grep -c "^.*Transfer: .*\\\\$name\$" || true)
  shown=$(tr -d '\r' <"$out/viewer.log" | grep -c "^start: .*\\\\$name\"\?\$" || true)
  verdict="ok"
  [ "$copies" = 1 ] && [ "$whole" = 1 ] && [ "$journalled" = 1 ] && [ "$shown" = 1 ] || verdict="NOT AS IT SHOULD BE"
  printf '  %-14s %s copy in the store, %s whole, %s journal line, shown %s time: %s\n' \
    "$name" "$copies" "$whole" "$journalled" "$shown" "$verdict"
done
echo; echo "Screenshots: $out/*.png"
