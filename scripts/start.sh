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
  echo "The build did not produce the program $bin/KV310." >&2
  echo "Rebuild it with:  cmake --preset $preset && cmake --build --preset $preset" >&2
  echo "(./run installs what is missing, builds the default preset and starts the program.)" >&2
  exit 1
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
  # SIGTERM ends the program as a confirmed quit does, also with a dialog or message box open.
  # Should it still run after 10 s, it is killed.
  kill -TERM "$program" 2>/dev/null || true
  for _ in $(seq 1 100); do
    kill -0 "$program" 2>/dev/null || break
    sleep 0.1
  done
  kill -KILL "$program" 2>/dev/null || true
fi
wait "$runner" || true
