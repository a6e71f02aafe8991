#!/usr/bin/env bash
# Starts the built program with the simulated board as its hardware.
set -euo pipefail
cd "$(dirname "$0")/.."
bin=build/default/bin

if [ ! -x "$bin/KV310" ]; then
  echo "The program KV310 is not part of this build yet. What the build offers:"
  echo "  $bin/kv-reg          import and export registry values as .reg text"
  ls "$bin"/bench_* 2>/dev/null | sed 's/^/  /' || true
  echo "Run ./test to run every test."
  exit 0
fi

# Machine-wide values of the installation (link library, firmware, simulated hardware) are imported
# when missing; a user's own values are never overwritten.
if [ -f install/kv310.reg ]; then
  "$bin/kv-reg" import --missing-only install/kv310.reg
fi

if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$bin/KV310" "$@"
fi
exec "$bin/KV310" "$@"
