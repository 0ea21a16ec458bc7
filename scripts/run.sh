#!/usr/bin/env bash
# Installs what is missing, builds the varnex program (Release, build/),
# makes a fast fingerprint database of the sample molecules and prints the
# ten nearest neighbours of a query.
#   scripts/run.sh [SMILES]      default query: aspirin
# VARNEX_BUILD_DIR names another build directory.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh

query="${1:-CC(=O)Oc1ccccc1C(=O)O aspirin}"
build_dir="${VARNEX_BUILD_DIR:-build}"
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build "$build_dir" --target varnex_cli -j "$(nproc)"

varnex="$build_dir/tools/varnex/varnex"
"$varnex" info
"$varnex" create -in data/sample.smi -out "$build_dir/sample.fpbin"
echo "Ten nearest neighbours of: $query"
"$varnex" search -db "$build_dir/sample.fpbin" -mols data/sample.smi -query "$query" -limit 10
