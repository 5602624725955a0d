#!/usr/bin/env bash
# Times whole runs of fhprereqhandler writing one REG_DWORD into hives that
# already hold 1000 and 100000 values, and prints the mean time per run.
#
#   bench/tool_run_bench.sh [runs] [tool]
#
# runs defaults to 50; tool to build/gcc/fhprereqhandler (as scripts/test builds it). Each run is a complete
# process: start logging (the agent's settings are read from the hive), write
# the value (the hive is read, changed and committed with fsync), log, exit.
set -euo pipefail

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
runs="${1:-50}"
tool="${2:-$repo/build/gcc/fhprereqhandler}"
[[ -x "$tool" ]] || { echo "no tool at $tool (build it first)" >&2; exit 1; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# Writes a hive in the registry's text form: the agent's settings and one key
# with `count` REG_DWORD values, all in the redirected (WOW6432Node) view.
write_hive() {
  local count="$1" hive="$2" agent_dir="$3"
  awk -v count="$count" -v agent="$agent_dir" 'BEGIN {
    root = "HKEY_LOCAL_MACHINE\\Software\\WOW6432Node"
    print "Windows Registry Editor Version 5.00"
    print ""
    print "[HKEY_LOCAL_MACHINE\\Software]"; print ""
    print "[" root "]"; print ""
    print "[" root "\\Quillon]"; print ""
    print "[" root "\\Quillon\\Fernhall]"; print ""
    print "[" root "\\Quillon\\Fernhall\\FHAgent]"
    print "\"FHAgentInstallDir\"=\"" agent "\""
    print "\"FHAgentLogLevel\"=dword:00000002"
    print ""
    print "[" root "\\Quillon\\Bench]"
    for (i = 0; i < count; i++) printf "\"value%d\"=dword:%08x\n", i, i
    print ""
  }' >"$hive"
}

now_ns() { date +%s%N; }

for count in 1000 100000; do
  dir="$work/$count"
  mkdir -p "$dir/registry" "$dir/agent"
  write_hive "$count" "$dir/registry/HKLM.reg" "$dir/agent/"
  export FH_REGISTRY_DIR="$dir/registry"
  # One run outside the timing, which also checks that the hive is accepted.
  "$tool" -op w -path 'Software\Quillon\Bench' -name target -type DWORD -value 0
  grep -q '"target"=dword:00000000' "$dir/registry/HKLM.reg" ||
    { echo "the tool did not accept the generated hive of $count values" >&2; exit 1; }
  start=$(now_ns)
  for ((i = 1; i <= runs; i++)); do
    "$tool" -op w -path 'Software\Quillon\Bench' -name target -type DWORD -value "$i"
  done
  end=$(now_ns)
  grep -q "\"target\"=dword:$(printf '%08x' "$runs")" "$dir/registry/HKLM.reg" ||
    { echo "the last write of the $count-value run is missing" >&2; exit 1; }
  awk -v count="$count" -v runs="$runs" -v ns="$((end - start))" \
    'BEGIN { printf "%7d values: %6.2f ms per run (mean of %d runs)\n", count, ns / runs / 1e6, runs }'
done
