#!/usr/bin/env bash
# The main job: installs what is missing, builds everything, then runs the
# example that streams an application's own type through Zeto::DataStream.
set -euo pipefail

readonly REPO_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

"$REPO_ROOT/scripts/setup.sh" dev
echo
exec "$REPO_ROOT/build/dev/Examples/01-CustomType/custom-type"
