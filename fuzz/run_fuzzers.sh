#!/usr/bin/env bash
# Runs every fuzz target for a while on its corpus and prints how many inputs each one ran.
#
#   fuzz/run_fuzzers.sh BUILD SECONDS WORK [TARGET...]
#   fuzz/run_fuzzers.sh BUILD runs=N WORK [TARGET...]
#
# BUILD is the fuzz build folder (make fuzz configures build-fuzz), SECONDS the time of each target,
# WORK a folder for the corpora: WORK/seeds/<target> is written by make_seed_corpus.py and only
# read, WORK/corpus/<target> keeps what the runs found and grows from run to run. An input that
# crashes a target is saved as WORK/crashes/<target>-crash-…; the script then fails once every
# target has run. Without TARGETs, all of them run.
# With runs=N each target runs exactly N inputs from a fixed random seed, starting from the seeds
# alone: the same inputs on every machine, however fast, so the outcome depends only on the code.
set -uo pipefail

if (($# < 3)); then
  sed -n '2,14s/^# \{0,1\}//p' "$0"
  exit 2
fi
build=$1 budget=$2 work=$3
shift 3
if [[ $budget == runs=* ]]; then
  limit=(-runs="${budget#runs=}" -seed=1)
  corpus_of() { rm -rf "$work/fixed/$1" && mkdir -p "$work/fixed/$1" && echo "$work/fixed/$1"; }
  span="${budget#runs=} runs"
else
  limit=(-max_total_time="$budget")
  corpus_of() { mkdir -p "$work/corpus/$1" && echo "$work/corpus/$1"; }
  span="$budget s"
fi
targets=("$@")
((${#targets[@]})) || targets=(open_photo_fuzzer exif_summary_fuzzer profile_file_fuzzer
  private_profile_fuzzer option_parser_fuzzer)

here=$(dirname "${BASH_SOURCE[0]}")
"$here/make_seed_corpus.py" "$work/seeds" || exit 1
mkdir -p "$work/crashes"
failed=0
for target in "${targets[@]}"; do
  corpus=$(corpus_of "$target")
  log="$work/$target.log"
  # Each input gets 10 s; the memory limit stays above what the pixel limit of the targets allows.
  "$build/fuzz/$target" "${limit[@]}" -timeout=10 -rss_limit_mb=2560 \
    -artifact_prefix="$work/crashes/$target-" -print_final_stats=1 \
    "$corpus" "$work/seeds/$target" >"$log" 2>&1
  status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  if ((status == 0)); then
    echo "fuzz: $target: ${runs:-?} inputs ($span), no crash"
  else
    echo "fuzz: $target: FAILED after ${runs:-?} inputs (exit $status); see $log"
    grep -E '^(==[0-9]+==ERROR|SUMMARY)' "$log" | head -5
    failed=1
  fi
done
exit $failed
