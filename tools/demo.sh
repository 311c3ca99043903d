#!/usr/bin/env bash
# The demo: a simulated carrier on 127.0.0.1:5001 looping the sample pages, a tap
# on Client A's port 6001 printing every packet, and the relay on demo/.
# Client B (6002) stays away so that its packets pile up in the delayed store.
# Ctrl-C stops all three.
set -u
cd "$(dirname "$0")/.."
bin=build/src/ombrix
sim=build/tools/sim/ombrix-sim

[ -d demo ] || "$bin" init demo --demo || exit 1

pids=()
stop() {
    trap - INT TERM EXIT
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
    wait 2>/dev/null
}
trap stop EXIT
trap 'exit 130' INT TERM

"$sim" serve --listen 127.0.0.1:5001 tools/sim/demo-pages.txt --speed 2 --loop > >(sed -u 's/^/[carrier] /') &
pids+=($!)
"$sim" tap 127.0.0.1:6001 > >(sed -u 's/^/[Client A] /') &
pids+=($!)

echo "Relay starting on demo/ (logs in demo/LOGS). Ctrl-C stops everything."
"$bin" --workdir demo &
pids+=($!)
wait "${pids[2]}"
