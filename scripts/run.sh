#!/usr/bin/env bash
# The main job, as a photographer meets it: Wemlox under Wine on a virtual
# display, inside a private network namespace, watching two simulated
# FlashAir cards on loopback (one entry each in [TFA] Url) while the first
# camera shoots a JPEG and raw pair every few seconds and the second every
# other time. Every new JPEG arrives in LoRes by itself and is shown in the
# viewer (a stand-in installed where IrfanView would be). Meanwhile a third
# camera uploads by FTP into an inbox folder: one picture under a temporary
# name that is renamed at the end, one under its final name, the writer
# holding it open between pieces; each arrives in LoRes once, whole, and is
# shown. Button 6 then fetches the raw files into HiRes. Then the info
# panel: the journal, the cards' tree (a root for each card) with a file's
# menu open, and the thumbnail grid where three pictures are picked and
# button 1 brings them to the storage folder.
# Screenshots, the journal and the viewer's log land in build/demo/; at the
# end it prints what arrived where and checks that each picture of the cards
# and the inbox arrived once, whole, in its folder, journalled and shown.
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
rm -rf "$out"; mkdir -p "$out/card/$camera" "$out/card-b/$camera" "$out/uploads"
card=$(realpath "$out/card")
card_b=$(realpath "$out/card-b")
user_dir="$WINEPREFIX/drive_c/users/$(whoami)"
store="$user_dir/Wemlox"
# The folder an FTP server would write the camera's uploads into.
inbox="$user_dir/FTP-Inbox"
inbox_win="C:\\users\\$(whoami)\\FTP-Inbox"
inbox_pictures="P2010001.JPG P2010002.JPG"
rm -rf "$inbox"; mkdir -p "$inbox"
drive() { wine "$bin/wemlox_drive.exe" "$@"; }

# Sends one line to a simulator's control port (card A's, or card B's with
# control_b) and prints the reply.
control_at() {
  local address=$1; shift
  (exec 3<>/dev/tcp/"$address"/8080 && printf '%s\n' "$*" >&3 && cat <&3) 2>/dev/null
}
control() { control_at 127.0.0.1 "$@"; }
control_b() { control_at 127.0.0.2 "$@"; }

# Waits up to $2 seconds until folder $1 holds $3 files.
wait_files() {
  for _ in $(seq $(($2 * 5))); do
    [ "$(find "$1" -maxdepth 1 -type f 2>/dev/null | wc -l)" -ge "$3" ] && return 0
    sleep 0.2
  done
  return 1
}

# Card A: a picture from before Wemlox started, which stays on the card.
# Card B, in the second camera: its own network name and CID, its names
# further on (P1010501...), so that the tree's two roots are told apart.
build/native/card_simulator --root "$card" --address 127.0.0.1 --port 80 --control-port 8080 \
  --ssid flashair_camera_a --rate "$rate" --lifetime 900 >"$out/card_simulator.log" 2>&1 &
simulator=$!
build/native/card_simulator --root "$card_b" --address 127.0.0.2 --port 80 --control-port 8080 \
  --ssid flashair_camera_b --cid fedcba9876543210fedcba9876543210 \
  --rate "$rate" --lifetime 900 >"$out/card_simulator_b.log" 2>&1 &
simulator_b=$!
for _ in $(seq 50); do control ping >/dev/null && control_b ping >/dev/null && break; sleep 0.1; done
before=$(control shoot "/$camera" 1 CR2 "$size" | tail -n 1)
control_b counter 501 >/dev/null

# The viewer, where the auto-search looks first.
viewer="$WINEPREFIX/drive_c/Program Files/IrfanView/i_view64.exe"
mkdir -p "$(dirname "$viewer")"
cp "$bin/standin_viewer.exe" "$viewer"
echo "FullScreenClass|IrfanView" >"$viewer.window"

settings_dir="$user_dir/AppData/Roaming/Wemlox"
mkdir -p "$settings_dir"
build/native/make_settings "$settings_dir/Wemlox.ini" \
  "TFA.Url=127.0.0.1;127.0.0.2" "TFA.UrlLastConnect=127.0.0.1;127.0.0.2" TFA.Path=$camera \
  "Inbox.Folders=$inbox_win" \
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
for _ in $(seq 100); do control log | grep -q "op=100" && control_b log | grep -q "op=100" && break; sleep 0.2; done
import -window root "$out/1-bar-watching.png"

echo "Shooting $shots pictures on card A, one every $pause s, and one every other time on card B"
echo "  (cards: $rate bytes/s, $size bytes each), and two FTP uploads into the inbox $inbox_win"
last=""
uploads=()
shots_b=0
for i in $(seq "$shots"); do
  last=$(control shoot "/$camera" 1 CR2 "$size" | tail -n 1)
  echo "  card A shot: $last"
  if [ $((i % 2)) = 0 ]; then
    echo "  card B shot: $(control_b shoot "/$camera" 1 CR2 "$size" | tail -n 1)"
    shots_b=$((shots_b + 1))
  fi
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
wait_files "$store/LoRes" 60 $((shots + shots_b + 2)) || echo "Not every JPEG arrived in LoRes"
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
wait_files "$store/HiRes" 90 $((shots + shots_b)) || echo "Not every raw file arrived in HiRes"
sleep 1
import -window root "$out/3-journal.png"
drive click 8
sleep 2
drive right-click-tree "$last.JPG" && sleep 1
import -window root "$out/4-card-tree-menu.png"
drive escape
sleep 1
# Both cards' roots, "SSID (address)", each with its own pictures.
import -window root "$out/4a-card-tree-two-cards.png"
drive tree-roots | tr -d '\r' >"$out/tree-roots.txt"
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
control_b quit >/dev/null 2>&1 || true
wait "$simulator" || true
wait "$simulator_b" || true
cp "$viewer.log" "$out/viewer.log" 2>/dev/null || true

echo; echo "Journal:"; tr '\r' '\n' <"$out/journal.txt" | sed '/^$/d'
echo; echo "Viewer started with:"
tr -d '\r' <"$out/viewer.log" | sed -n 's/^start: .*"\(.*\)"$/  \1/p'
echo; echo "Picture store ($store):"
(cd "$store" && find . -type f | sort) | while read -r f; do
  printf '  %-40s %9s bytes\n' "$f" "$(stat -c %s "$store/$f")"
done
echo; echo "Inbox ($inbox_win):"
(cd "$inbox" && find . -type f | sort) | sed 's/^/  /'
# Each new picture of either card and each upload: once in the store, whole,
# in the folder of its kind (JPEG in LoRes, raw in HiRes), in the journal
# once under its source's name (a card's network name or address in
# brackets, none for the inbox) and, a JPEG, handed to the viewer once.
echo; echo "Each picture once:"
wrong=0
for f in "$card/$camera"/* "$card_b/$camera"/* "$out/uploads"/*; do
  name=$(basename "$f")
  [ "${name%.*}" != "$before" ] || continue
  case $f in
    "$card_b"/*) from="card B" tag='\[\(flashair_camera_b\|127\.0\.0\.2\)\] ' ;;
    "$card"/*) from="card A" tag='\[\(flashair_camera_a\|127\.0\.0\.1\)\] ' ;;
    *) from="inbox" tag='[0-9] ' ;;
  esac
  folder=LoRes; [ "${name##*.}" = JPG ] || folder=HiRes
  stored=$(find "$store/LoRes" "$store/HiRes" -type f -exec cmp -s {} "$f" \; -print)
  copies=$(printf '%s' "$stored" | grep -c . || true)
  placed=$(printf '%s' "$stored" | grep -c "/$folder/" || true)
  as=$(basename "$stored" 2>/dev/null | head -n 1)
  journalled=0; shown=0
  if [ "$copies" = 1 ]; then
    journalled=$(tr '\r' '\n' <"$out/journal.txt" | grep -c "${tag}Transfer: .*\\\\$folder\\\\$as\$" || true)
    shown=$(tr -d '\r' <"$out/viewer.log" | grep -c "^start: .*\\\\$as\"\?\$" || true)
  fi
  [ "$folder" = LoRes ] || shown="-"
  verdict="ok"
  [ "$copies" = 1 ] && [ "$placed" = 1 ] && [ "$journalled" = 1 ] && { [ "$shown" = 1 ] || [ "$shown" = - ]; } ||
    verdict="NOT AS IT SHOULD BE" wrong=$((wrong + 1))
  printf '  %-7s %-14s %s copy in %s as %-16s %s journal line, shown %s: %s\n' \
    "$from" "$name" "$copies" "$folder" "${as:-nothing}" "$journalled" "$shown" "$verdict"
done
echo; echo "The tree's roots:"
sed 's/^/  /' "$out/tree-roots.txt"
for address in 127.0.0.1 127.0.0.2; do
  grep -q "($address)\$" "$out/tree-roots.txt" || { echo "  no root for the card at $address"; wrong=$((wrong + 1)); }
done
echo; echo "Screenshots: $out/*.png"
[ "$wrong" = 0 ] || { echo "$wrong of the checks above failed"; exit 1; }
