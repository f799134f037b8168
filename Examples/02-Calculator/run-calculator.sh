#!/usr/bin/env bash
# Runs the calculator demo on 127.0.0.1: the server in the background, the
# client to completion, then stops the server. Prints both sides and fails
# unless both exit cleanly. With --tls they talk over zetos://, with a
# self-signed certificate made for this run alone, so no key is ever kept.
# With --restart the server is stopped (it drains) once the client's first
# round is done, and started again on the same port; the client reconnects
# and finishes its conversation.
#
#     run-calculator.sh [--tls] [--restart] <calculator-server> <calculator-client>
set -uo pipefail

tls=false
restart=false
while [[ "${1:-}" == --* ]]; do
    case "$1" in
    --tls) tls=true ;;
    --restart) restart=true ;;
    *) echo "run-calculator: unknown option $1" >&2; exit 2 ;;
    esac
    shift
done
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

# Starts the server on the port given (0: any) and sets server_pid, port and
# log_copy_pid. The server announces its port once it listens; everything it
# prints goes to the log, until it ends or after 10 s of silence.
start_server() {
    local fifo="$WORK_DIR/server.fifo" line
    rm -f "$fifo"
    mkfifo "$fifo"
    "$SERVER" "${server_tls[@]}" "$1" >"$fifo" 2>&1 &
    server_pid=$!
    exec {server_output}<"$fifo"
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
        kill "$server_pid" 2>/dev/null
        cat "$SERVER_LOG" >&2
        exit 1
    fi
    # The rest, until the server ends.
    cat <&"$server_output" >>"$SERVER_LOG" &
    log_copy_pid=$!
    exec {server_output}<&-
}

# SIGTERM makes the server drain; its exit status is returned.
stop_server() {
    local status
    kill -TERM "$server_pid"
    wait "$server_pid"
    status=$?
    wait "$log_copy_pid"
    return $status
}

: >"$SERVER_LOG"
start_server 0
server_status=0

client_options=("${client_tls[@]}")
if $restart; then
    client_options+=(--expect-restart)
fi
echo "--- client (server on port $port) ---"
readonly CLIENT_OUTPUT="$WORK_DIR/client.fifo"
mkfifo "$CLIENT_OUTPUT"
"$CLIENT" "${client_options[@]}" "$port" >"$CLIENT_OUTPUT" 2>&1 &
readonly CLIENT_PID=$!
while IFS= read -r line; do
    printf '%s\n' "$line"
    if $restart && [[ "$line" == "client: first round done, waiting for the server to restart" ]]; then
        stop_server || server_status=$?
        echo "--- server stopped (status $server_status) and started again on port $port ---"
        start_server "$port"
    fi
done <"$CLIENT_OUTPUT"
wait "$CLIENT_PID"
client_status=$?

stop_server || server_status=$?
echo "--- server ---"
cat "$SERVER_LOG"

echo "--- client exited with $client_status, server with $server_status ---"
[[ $client_status -eq 0 && $server_status -eq 0 ]]
