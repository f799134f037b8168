#!/usr/bin/env bash
# Runs the calculator demo on 127.0.0.1: the server in the background, the
# client to completion, then stops the server. Prints both sides and fails
# unless both exit cleanly.
#
#     run-calculator.sh <calculator-server> <calculator-client>
set -uo pipefail

readonly SERVER="$1" CLIENT="$2"
readonly SERVER_LOG="$(mktemp)"
trap 'rm -f "$SERVER_LOG"' EXIT

"$SERVER" 0 >"$SERVER_LOG" 2>&1 &
readonly SERVER_PID=$!

port=""
for _ in $(seq 100); do
    port="$(sed -n 's/^listening on port \([0-9]\+\)$/\1/p' "$SERVER_LOG")"
    [[ -n "$port" ]] && break
    kill -0 "$SERVER_PID" 2>/dev/null || break
    sleep 0.1
done
if [[ -z "$port" ]]; then
    echo "run-calculator: the server announced no port" >&2
    kill "$SERVER_PID" 2>/dev/null
    cat "$SERVER_LOG" >&2
    exit 1
fi

echo "--- client (server on port $port) ---"
"$CLIENT" "$port"
client_status=$?

kill -TERM "$SERVER_PID"
wait "$SERVER_PID"
server_status=$?
echo "--- server ---"
cat "$SERVER_LOG"

echo "--- client exited with $client_status, server with $server_status ---"
[[ $client_status -eq 0 && $server_status -eq 0 ]]
