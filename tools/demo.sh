#!/usr/bin/env bash
# Installs what is needed, builds the Windows programs and shows them working
# under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/setup.sh
cmake --preset win64 >/dev/null
cmake --build --preset win64 >/dev/null
python3 tools/demo.py
