#!/usr/bin/env bash
# Starts the built program with the simulated board as its hardware. Arguments go to the program.
# Without a display it runs under Xvfb, saves a screenshot of the main window, prints its path and
# ends the program (SIGTERM ends it as a confirmed quit does).
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${KV_PRESET:-default}
build=build/$preset
bin=$build/bin

if [ ! -x "$bin/KV310" ]; then
  echo "The program KV310 is not part of this build yet. What the build offers:"
  echo "  $bin/kv-reg          import and export registry values as .reg text"
  ls "$bin"/bench_* 2>/dev/null | sed 's/^/  /' || true
  echo "Run ./test to run every test."
  exit 0
fi

# Machine-wide values of the installation (link library, firmware, simulated hardware) are imported
# when missing; a user's own values are never overwritten.
if [ -f "$build/kv310.reg" ]; then
  "$bin/kv-reg" import --missing-only "$build/kv310.reg"
fi

if [ -n "${DISPLAY:-}" ]; then
  exec "$bin/KV310" "$@"
fi

shot=$(realpath -m "${KV_SCREENSHOT:-$build/screenshot.png}")
rm -f "$shot"
KV_SCREENSHOT=$shot xvfb-run -a -s "-screen 0 1280x1024x24" "$bin/KV310" "$@" &
runner=$!
for _ in $(seq 1 600); do
  [ -s "$shot" ] && break
  kill -0 "$runner" 2>/dev/null || break
  sleep 0.1
done
# xvfb-run starts the program as its own child.
program=$(pgrep -n -x KV310 -P "$runner" 2>/dev/null || true)
if [ -s "$shot" ]; then
  echo "Screenshot of the main window: $shot"
else
  echo "The program ended before its main window was shown." >&2
fi
if [ -n "$program" ]; then
  kill -TERM "$program" 2>/dev/null || true
  # A program held by an open message box (nobody answers it under Xvfb) is ended after 10 s.
  for _ in $(seq 1 100); do
    kill -0 "$program" 2>/dev/null || break
    sleep 0.1
  done
  kill -KILL "$program" 2>/dev/null || true
fi
wait "$runner" || true
