#!/usr/bin/env bash
# The layer check refuses an include of a higher layer, one of a sibling on
# the same layer and a folder missing from the list, and accepts a clean tree.
set -u
CHECK=$1
T=$(mktemp -d)
trap 'rm -rf "$T"' EXIT
mkdir -p "$T/src/utility" "$T/src/events" "$T/src/gfx" "$T/src/audio" "$T/src/ai/sml"
printf 'utility\nevents\nai\ngfx audio\n' > "$T/src/Layers.txt"
printf '#include "utility/U.h"\n' > "$T/src/events/E.h"
printf '#include "events/E.h"\n#include "ai/A.h"\n' > "$T/src/ai/sml/S.cpp"
printf '#include "ai/sml/S.h"\n#include <vector>\n#include "Local.h"\n' > "$T/src/gfx/G.cpp"
touch "$T/src/utility/U.h"
fail=0
"$CHECK" "$T/src" >/dev/null 2>&1 || { echo "a clean tree was refused"; fail=1; }
expect_refused() {
  local out
  if out=$("$CHECK" "$T/src" 2>&1); then echo "not refused: $1"; fail=1; return; fi
  grep -q "$2" <<<"$out" || { echo "refused without naming $2: $out"; fail=1; }
}
printf '#include "ai/A.h"\n' > "$T/src/events/Up.h"
expect_refused "events including ai" "events/Up.h:1: events"
rm "$T/src/events/Up.h"
printf '#include "audio/X.h"\n' > "$T/src/gfx/Side.h"
expect_refused "gfx including its sibling audio" "gfx/Side.h:1"
rm "$T/src/gfx/Side.h"
mkdir -p "$T/src/extra" && touch "$T/src/extra/X.h"
expect_refused "a folder missing from the list" "folder extra is not in"
exit $fail
