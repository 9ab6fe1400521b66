#!/bin/sh
# SPDX-License-Identifier: MIT
# The soak twice with one seed: the same run both times, up to the heap figure
# (which follows malloc, not the game).
#   tests/soak/replay.sh PELLOVAR_SOAK TICKS SEED
set -eu
first=$("$1" "$2" "$3" | cut -d';' -f1)
second=$("$1" "$2" "$3" | cut -d';' -f1)
echo "$first"
[ "$first" = "$second" ] || { echo "replay differs:"; echo "$second"; exit 1; }
