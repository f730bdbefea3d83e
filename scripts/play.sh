#!/usr/bin/env bash
# One command from a fresh Debian 12 checkout to a running game:
# installs what is missing, builds the game and its content, starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh
exec ./build/kistora "$@"
