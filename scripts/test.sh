#!/usr/bin/env bash
# Sets up and builds, then runs every test, of the Linux and of the Windows
# programs (scripts/test-windows.sh); then the Linux tests again under
# AddressSanitizer and UndefinedBehaviorSanitizer (build-asan/), and the fuzz
# target for a minute (build-fuzz/). Tests keep to their own temporary folders;
# HOME and the XDG folders point into one here as well.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
# Every source file as .clang-format lays it out.
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run -Werror
source scripts/scratch-home.sh
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure -j2

# The 32-bit Windows programs, cross-built and tested under Wine.
scripts/test-windows.sh
# The Debian package, installed with apt, used and removed again: on CI only,
# since it installs into the system.
if [ "${CI:-}" = true ] || [ "${TREN_PACKAGE_TEST:-}" = 1 ]; then bash scripts/package_test.sh build; fi

# A report exits with 86, which no program here uses, so no test can take it for
# an expected failure status.
export ASAN_OPTIONS=exitcode=86:detect_stack_use_after_return=1:strict_string_checks=1
export UBSAN_OPTIONS=exitcode=86:print_stacktrace=1:halt_on_error=1
cmake -S . -B build-asan -G Ninja -DTREN_SANITIZE=ON >/dev/null
cmake --build build-asan -j2
ctest --test-dir build-asan --output-on-failure -j2

cmake -S . -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ \
    -DTREN_WITH_QT=OFF -DTREN_WITH_TESTS=OFF -DTREN_WITH_FUZZ=ON >/dev/null
cmake --build build-fuzz -j2 --target tren_pieceset_fuzz tren_par2_fuzz
# TARGET CORPUS SECONDS MAX_LEN: the fuzzer adds what it finds to its corpus, so
# it gets a copy, not the one in fuzz/.
fuzz() {
    local corpus artifacts log status=0
    corpus=$(mktemp -d) artifacts=$(mktemp -d) log=$(mktemp)
    cp "$2"/* "$corpus/"
    "build-fuzz/fuzz/$1" -max_total_time="$3" -max_len="$4" \
        -artifact_prefix="$artifacts/" "$corpus" >"$log" 2>&1 || status=$?
    if ((status)); then
        tail -n 60 "$log"
        # The scratch folder goes on exit; keep the failing inputs in the output.
        for input in "$artifacts"/*; do
            [ -e "$input" ] && echo "fuzz: failing input $(basename "$input"):" && od -A d -t x1 "$input"
        done
        echo "fuzz: $1 FAILED (status $status)"
        exit 1
    fi
    echo "fuzz: $1: $(grep -E '^Done [0-9]+ runs in [0-9]+ second' "$log"), corpus $(ls "$corpus" | wc -l) inputs"
}
# 2051 bytes hold a header and 255 eight-byte lengths; a recovery file's packets
# are found past garbage, so a few of them suffice.
fuzz tren_pieceset_fuzz fuzz/corpus 60 2100
fuzz tren_par2_fuzz fuzz/corpus-par2 45 4096
