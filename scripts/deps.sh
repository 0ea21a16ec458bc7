#!/usr/bin/env bash
# Installs the Debian packages the build needs, when any is missing.
set -euo pipefail
packages=(librdkit-dev libboost-dev rdkit-data rapidjson-dev libgtest-dev libbenchmark-dev
          cmake ninja-build g++ zlib1g-dev libexpat1-dev libsqlite3-dev pkg-config libcpp-httplib-dev
          python3-dev pybind11-dev python3-numpy python3-rdkit python3-pytest python3-tqdm
          python3-dask python3-distributed
          python3-requests wrk chromium chromium-driver python3-selenium)
missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if ((${#missing[@]})); then
  echo "Installing missing packages: ${missing[*]}"
  sudo_cmd=()
  if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
