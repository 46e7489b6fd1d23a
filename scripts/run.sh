#!/usr/bin/env bash
# Installs what is missing, builds, and starts the tool.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh release
echo "The core is built. The window and its demo (quorvane-demo) are not part of the tree yet."
