#!/usr/bin/env bash
# Runs the calculator demo on 127.0.0.1: the server in the background, the
# client to completion, then stops the server. Prints both sides and fails
# unless both exit cleanly. With --tls they talk over zetos://, with a
# self-signed certificate made for this run alone, so no key is ever kept.
#
#     run-calculator.sh [--tls] <calculator-server> <calculator-client>
set -uo pipefail

tls=false
if [[ "${1:-}" == --tls ]]; then
    tls=true
    shift
fi
readonly SERVER="$1" CLIENT="$2"
readonly WORK_DIR="$(mktemp -d)"
trap 'rm -rf "$WORK_DIR"' EXIT
readonly SERVER_LOG="$WORK_DIR/server.log"

server_tls=()
client_tls=()
if $tls; then
    readonly CERTIFICATE="$WORK_DIR/certificate.pem" KEY="$WORK_DIR/key.pem"
    if ! openssl req -x509 -newkey rsa:2048 -nodes -keyout "$KEY" -out "$CERTIFICATE" -days 1 \
        -subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1,DNS:localhost 2>"$WORK_DIR/openssl.log"; then
        echo "run-calculator: openssl could not make a certificate" >&2
        cat "$WORK_DIR/openssl.log" >&2
        exit 1
    fi
    server_tls=(--tls "$CERTIFICATE" "$KEY")
    client_tls=(--tls "$CERTIFICATE")
fi

readonly SERVER_OUTPUT="$WORK_DIR/server.fifo"
mkfifo "$SERVER_OUTPUT"
"$SERVER" "${server_tls[@]}" 0 >"$SERVER_OUTPUT" 2>&1 &
readonly SERVER_PID=$!
exec {server_output}<"$SERVER_OUTPUT"

# The server announces its port once it listens. Everything it prints goes
# to the log; reading stops at the end of its output or after 10 s of silence.
: >"$SERVER_LOG"
port=""
while IFS= read -r -t 10 line <&"$server_output"; do
    printf '%s\n' "$line" >>"$SERVER_LOG"
    if [[ "$line" =~ ^listening\ on\ port\ ([0-9]+)$ ]]; then
        port="${BASH_REMATCH[1]}"
        break
    fi
done
if [[ -z "$port" ]]; then
    echo "run-calculator: the server announced no port" >&2
    kill "$SERVER_PID" 2>/dev/null
    cat "$SERVER_LOG" >&2
    exit 1
fi
# The rest, until the server ends.
cat <&"$server_output" >>"$SERVER_LOG" &
readonly LOG_COPY_PID=$!
exec {server_output}<&-

echo "--- client (server on port $port) ---"
"$CLIENT" "${client_tls[@]}" "$port"
client_status=$?

kill -TERM "$SERVER_PID"
wait "$SERVER_PID"
server_status=$?
wait "$LOG_COPY_PID"
echo "--- server ---"
cat "$SERVER_LOG"

echo "--- client exited with $client_status, server with $server_status ---"
[[ $client_status -eq 0 && $server_status -eq 0 ]]
