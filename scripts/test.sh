#!/usr/bin/env bash
# Installs what is missing, builds and runs every test.
#   scripts/test.sh              release build in build/
#   scripts/test.sh --sanitize   AddressSanitizer + UBSan build in build-sanitize/, the Python
#                                tests too, with the ASan runtime preloaded
#   scripts/test.sh --tsan       ThreadSanitizer build in build-tsan/ of the library and of the
#                                test programs of threaded code (error sink, molecule files, type
#                                registry, generators, search results, fast database creation
#                                and searches); runs the tests named *Thread* or *Concurrent*
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh

build_dir=build
cmake_args=(-G Ninja -DCMAKE_BUILD_TYPE=Release)
targets=(all)
tests=()
if [ "${1:-}" = "--sanitize" ]; then
  build_dir=build-sanitize
  cmake_args=(-G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARNEX_SANITIZE=ON -DVARNEX_BUILD_BENCH=OFF)
  # RDKit is not instrumented: its containers trip ASan's container-overflow check.
  export ASAN_OPTIONS="detect_container_overflow=0:${ASAN_OPTIONS:-}"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:${UBSAN_OPTIONS:-}"
elif [ "${1:-}" = "--tsan" ]; then
  build_dir=build-tsan
  cmake_args=(-G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARNEX_TSAN=ON -DVARNEX_BUILD_BENCH=OFF
              -DVARNEX_BUILD_TOOLS=OFF -DVARNEX_PYTHON=OFF)
  targets=(system_tests chem_tests core_tests generators_tests database_tests fastdb_tests)
  tests=(-R 'Thread|Concurrent')
  export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:${TSAN_OPTIONS:-}"
fi

cmake -S . -B "$build_dir" "${cmake_args[@]}"
cmake --build "$build_dir" -j "$(nproc)" --target "${targets[@]}"
ctest --test-dir "$build_dir" --output-on-failure -j "$(nproc)" "${tests[@]}"

# The Python package, straight from the build tree, with the interpreter it was built for.
if [ -d "$build_dir/python/varnex" ] && [ "$build_dir" != build-tsan ]; then
  python=$(sed -n 's/^Python3_EXECUTABLE:[A-Z]*=//p' "$build_dir/CMakeCache.txt")
  run=(env PYTHONPATH="$PWD/$build_dir/python")
  if [ "$build_dir" = build-sanitize ]; then
    # The interpreter is not instrumented: the ASan runtime must come first,
    # and the C++ runtime with it, or ASan cannot intercept C++ exceptions.
    # Python's own allocations live to the end, so leaks are not checked.
    cxx=$(sed -n 's/^CMAKE_CXX_COMPILER:[A-Z]*=//p' "$build_dir/CMakeCache.txt")
    runtimes="$("${cxx:-c++}" -print-file-name=libasan.so) $("${cxx:-c++}" -print-file-name=libstdc++.so)"
    run+=(LD_PRELOAD="$runtimes" ASAN_OPTIONS="detect_leaks=0:$ASAN_OPTIONS")
  fi
  "${run[@]}" "${python:-/usr/bin/python3}" -m pytest -q python/tests
fi
