#!/usr/bin/env bash
# The main job: installs what is missing, builds everything, streams an
# application's own type through Zeto::DataStream, then runs the calculator
# demo on 127.0.0.1: a server process and a client process that calls its
# slots and links signals across the connection, first plain, then over TLS.
# Midway the server is stopped, drains and starts again: the client
# reconnects, its links are made again, and it finishes its conversation.
set -euo pipefail

readonly REPO_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
readonly EXAMPLES="$REPO_ROOT/build/dev/Examples"

"$REPO_ROOT/scripts/setup.sh" dev
echo
"$EXAMPLES/01-CustomType/custom-type"
echo
readonly CALCULATOR=("$EXAMPLES/02-Calculator/calculator-server" "$EXAMPLES/02-Calculator/calculator-client")
"$REPO_ROOT/Examples/02-Calculator/run-calculator.sh" --restart "${CALCULATOR[@]}"
echo
exec "$REPO_ROOT/Examples/02-Calculator/run-calculator.sh" --tls --restart "${CALCULATOR[@]}"
