#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs a command inside a fresh Xvfb server of the given size.
#   with_xvfb.sh WIDTHxHEIGHT COMMAND [ARGS...]
set -euo pipefail
size=$1
shift
exec xvfb-run -a -s "-screen 0 ${size}x24 -nolisten tcp" "$@"
