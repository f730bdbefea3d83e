#!/usr/bin/env bash
# One command from a fresh Debian 12 checkout to a running game: installs
# what building and playing need (not the test tools), builds the game and
# its content only, starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh --play
bash scripts/build.sh --play
exec ./build/kistora "$@"
