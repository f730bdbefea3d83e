#!/usr/bin/env bash
# Runs every libFuzzer target of tests/fuzz for a while, each with its corpus
# (tests/fuzz/corpus/NAME), after replaying every kept finding
# (tests/fuzz/regressions/NAME). Memory is held to 256 MB per target and every
# input gets a time limit (tests/fuzz/limits.txt). Fails on any crash, leak,
# timeout or out-of-memory; what a target found lands in build-fuzz/findings/.
#
#   scripts/fuzz.sh [--seconds N | --runs N] [--only NAME] [--minimise]
#
# --seconds N   time per target (default 60)
# --runs N      executions per target instead of a time
# --only NAME   one target (pack, levels, settings, sound, scores, png, zip, levelsource)
# --minimise    afterwards, replace the target's corpus in the repository by the
#               minimised union of the old corpus and what the run found
set -euo pipefail
cd "$(dirname "$0")/.."
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
seconds=60 runs="" only="" minimise=0
while [ $# -gt 0 ]; do
  case $1 in
    --seconds) seconds=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --only) only=$2; shift 2 ;;
    --minimise) minimise=1; shift ;;
    *) echo "usage: scripts/fuzz.sh [--seconds N | --runs N] [--only NAME] [--minimise]" >&2; exit 2 ;;
  esac
done

generator=()
if command -v ninja >/dev/null 2>&1; then generator=(-G Ninja); fi
mkdir -p build-fuzz
if ! { cmake -S . -B build-fuzz "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
         -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DKISTORA_FUZZ=ON &&
       cmake --build build-fuzz -j "$(nproc)"; } > build-fuzz/build.log 2>&1; then
  tail -n 30 build-fuzz/build.log >&2
  echo "the fuzz targets did not build" >&2
  exit 1
fi

# The quarantine keeps freed blocks poisoned to catch use after free; its
# default of 256 MB alone would fill the memory limit (the targets also set
# 16 MB themselves, tests/fuzz/fuzz_options.cpp).
export ASAN_OPTIONS=quarantine_size_mb=16:detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
findings=$PWD/build-fuzz/findings
mkdir -p "$findings"
failed=0
printf '%-12s %12s %8s %8s %8s %7s %s\n' target executions cov ft rss_mb seconds result
while read -r name max_len timeout rest; do
  case $name in ''|'#'*) continue ;; esac
  [ -z "$only" ] || [ "$only" = "$name" ] || continue
  fuzzer=build-fuzz/fuzz-$name
  [ -x "$fuzzer" ] || { echo "$fuzzer is not built" >&2; failed=1; continue; }
  limits=(-rss_limit_mb=256 -malloc_limit_mb=256 -timeout="$timeout" -max_len="$max_len")
  # Findings kept in the repository must stay fixed.
  regressions=(tests/fuzz/regressions/"$name"/*)
  if [ -e "${regressions[0]}" ]; then
    if ! "$fuzzer" "${limits[@]}" "${regressions[@]}" > "$findings/$name.regressions.log" 2>&1; then
      echo "$name: a kept finding fails again (see $findings/$name.regressions.log)" >&2
      failed=1
    fi
  fi
  work=$(mktemp -d)
  [ -d tests/fuzz/corpus/$name ] && cp -r tests/fuzz/corpus/$name/. "$work"/
  budget=(-max_total_time="$seconds")
  [ -z "$runs" ] || budget=(-runs="$runs")
  start=$(date +%s)
  status=0
  "$fuzzer" "${limits[@]}" "${budget[@]}" -print_final_stats=1 -artifact_prefix="$findings/$name-" \
    "$work" > "$findings/$name.log" 2>&1 || status=$?
  took=$(( $(date +%s) - start ))
  stat() { sed -n "s/^stat::$1: *//p" "$findings/$name.log" | tail -n 1; }
  line=$(grep -E '^#[0-9]+' "$findings/$name.log" | tail -n 1)
  cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<< "$line")
  ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<< "$line")
  result=ok
  if [ $status -ne 0 ]; then result="FAILED (status $status, see $findings/$name.log)"; failed=1; fi
  printf '%-12s %12s %8s %8s %8s %7s %s\n' "$name" "$(stat number_of_executed_units)" "${cov:-?}" "${ft:-?}" \
    "$(stat peak_rss_mb)" "$took" "$result"
  if [ $minimise -eq 1 ] && [ $status -eq 0 ]; then
    fresh=$(mktemp -d)
    "$fuzzer" "${limits[@]}" -merge=1 "$fresh" tests/fuzz/corpus/$name "$work" > "$findings/$name.merge.log" 2>&1
    rm -rf tests/fuzz/corpus/$name
    mkdir -p tests/fuzz/corpus/$name
    cp "$fresh"/* tests/fuzz/corpus/$name/ 2>/dev/null || true
    rm -rf "$fresh"
  fi
  rm -rf "$work"
done < tests/fuzz/limits.txt
exit $failed
