#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time
# over the seed corpus; any finding (a crash, a sanitizer report, a broken
# property) fails the run.  Usage: fuzz/run.sh [seconds per target]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-30}"

# clang with libFuzzer is not on every machine of this kind.
probe() {
  printf 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }\n' |
    clang++ -fsanitize=fuzzer -x c++ - -o /dev/null 2>/dev/null
}
if ! command -v clang++ >/dev/null || ! probe; then
  echo "fuzz: needs clang with its libFuzzer runtime" \
       "(Debian: apt-get install clang libclang-rt-14-dev)" >&2
  exit 1
fi

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target decoder_fuzz packer_fuzz insert_fuzz

for target in decoder packer insert; do
  work="$(mktemp -d)"
  log="$(mktemp)"
  dict=()  # a target's words, where it has them
  [ -f "fuzz/$target.dict" ] && dict=(-dict="fuzz/$target.dict")
  echo "fuzz: ${target}_fuzz for ${seconds}s"
  if ! "build-fuzz/fuzz/${target}_fuzz" -max_total_time="$seconds" \
      -print_final_stats=1 -artifact_prefix="$work/" "${dict[@]}" \
      "$work" "fuzz/corpus/$target" >"$log" 2>&1; then
    tail -n 60 "$log"
    echo "fuzz: ${target}_fuzz found a problem (input saved in $work)"
    exit 1
  fi
  grep -E '^(Done|stat::number_of_executed_units|stat::peak_rss_mb)' "$log" || true
  rm -rf "$work" "$log"
done
