#!/usr/bin/env bash
# The demo: a simulated carrier on 127.0.0.1:5001 looping the sample pages, a tap
# on Client A's port 6001 printing every packet, and the relay on demo/.
# Client B (6002) stays away so that its packets pile up in the delayed store.
# A local mosquitto on 127.0.0.1:1885 receives every page as JSON (the demo
# folder's Publishers row). The web console listens on 127.0.0.1:8088; the demo prints a
# password for its account 'operator'. Ctrl-C stops them all.
set -u
cd "$(dirname "$0")/.."
bin=build/src/ombrix
sim=build/tools/sim/ombrix-sim

# demo/ may be left from an earlier run, whose password is long gone: each run sets a
# fresh one for the web console's account and shows it (init's own is replaced at once).
if [ ! -d demo ]; then
    "$bin" init demo --demo > /dev/null || exit 1
    echo "Created demo/ with the demo settings."
fi
password=$(LC_ALL=C tr -dc 'A-HJ-NP-Za-km-z2-9' < /dev/urandom | head -c 16)
printf '%s\n' "$password" | "$bin" passwd demo operator > /dev/null || exit 1

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
mosquitto=$(command -v mosquitto || echo /usr/sbin/mosquitto)
if [ -x "$mosquitto" ]; then
    printf 'listener 1885 127.0.0.1\nallow_anonymous true\npersistence false\n' > demo/mosquitto.conf
    "$mosquitto" -c demo/mosquitto.conf > demo/mosquitto.log 2>&1 &
    pids+=($!)
    echo "MQTT broker on 127.0.0.1:1885. To see the pages arrive as JSON, run in another terminal:"
    echo "  mosquitto_sub -h 127.0.0.1 -p 1885 -t 'ombrix/pages/#' -v"
else
    echo "mosquitto is not installed (make deps): the demo publishes to no broker."
fi

echo "Web console: http://127.0.0.1:8088/  name: operator  password: $password"
echo "Relay starting on demo/ (logs in demo/LOGS). Ctrl-C stops everything."
"$bin" --workdir demo &
pids+=($!)
wait "${pids[-1]}"
