#!/usr/bin/env bash
# Fails on an #include that runs upward between the layers of src/:
# base <- model <- win <- ui <- app (each folder may include only itself and
# the folders before it), and on <windows.h> in base or model outside the
# file-system edge's Windows implementation, and on a reach for the running
# program (TheApp()) anywhere: App builds its parts and hands each what it
# uses, and only main owns the one App. Also fails on a settings key spelt
# outside its table (model/settings/setting_keys.cpp): a second spelling
# drifts from it.
#
# Inside model each subsystem has a folder, with the same rule among them:
# common <- settings <- pictures <- card, viewer, bar (the last three do not
# include one another). Every model file lives in one of them.
set -u
cd "$(dirname "$0")/.."
rank() { case "$1" in base) echo 0;; model) echo 1;; win) echo 2;; ui) echo 3;; app) echo 4;; *) echo -1;; esac; }
part_rank() { case "$1" in common) echo 0;; settings) echo 1;; pictures) echo 2;; card|viewer|bar) echo 3;; *) echo -1;; esac; }
bad=0
for file in $(git ls-files 'src/*.h' 'src/*.cpp' 2>/dev/null || find src -name '*.h' -o -name '*.cpp'); do
  layer=$(echo "$file" | cut -d/ -f2)
  own=$(rank "$layer")
  if [ "$own" -lt 0 ]; then echo "$file: not in a layer folder"; bad=1; continue; fi
  part=$(echo "$file" | cut -d/ -f3)
  if [ "$layer" = model ] && [ "$(part_rank "$part")" -lt 0 ]; then echo "$file: not in a model subsystem folder"; bad=1; fi
  while IFS= read -r inc; do
    target=$(echo "$inc" | sed -E 's/^#include "([^/"]+)\/.*/\1/')
    [ "$target" = "$inc" ] && continue
    t=$(rank "$target")
    if [ "$t" -gt "$own" ]; then echo "$file: includes $target ($inc)"; bad=1; fi
    if [ "$layer" = model ] && [ "$target" = model ]; then
      to=$(echo "$inc" | sed -E 's/^#include "model\/([^/"]+)\/.*/\1/')
      [ "$to" = "$part" ] && continue
      if [ "$(part_rank "$to")" -lt 0 ] || [ "$(part_rank "$to")" -ge "$(part_rank "$part")" ]; then
        echo "$file: model/$part includes model/$to ($inc)"; bad=1
      fi
    fi
  done < <(grep -E '^#include "' "$file")
  if [ "$own" -le 1 ] && [ "$file" != src/base/fs_win.cpp ] && grep -qE '^#include <(windows|winsock2|wininet|commctrl)\.h>' "$file"; then
    echo "$file: Win32 header in a platform-free layer"; bad=1
  fi
done
reaches=$(grep -rln 'TheApp *(' src 2>/dev/null)
if [ -n "$reaches" ]; then
  echo "$reaches" | sed 's/$/: reaches for the running program (TheApp); hand the part what it uses instead/'
  bad=1
fi
table=src/model/settings/setting_keys.cpp
for key in $(grep -oE '(\.key = |Picture\()L"[A-Za-z_0-9]+"' "$table" | sed -E 's/.*L"([^"]+)"/\1/' | sort -u); do
  # A settings window tab's title is text on the screen, whatever key shares its word.
  for file in $(grep -rF "\"$key\"" src | grep -v 'case SettingsTab::' | cut -d: -f1 | sort -u | grep -vx "$table"); do
    echo "$file: spells the settings key \"$key\"; read it through the table (KeyId, SettingKeys)"; bad=1
  done
done
[ $bad = 0 ] && echo "layers: every include runs downward (among the model's subsystems too), nothing reaches for the running program, every settings key is spelt in its table alone"
exit $bad
