#!/usr/bin/env bash
# Runs a libFuzzer target on its committed seed corpus without touching it:
# new inputs go to a fresh work folder, findings (crash-*, leak-*) too.
#   run_fuzz.sh TARGET SEED_CORPUS WORK_FOLDER [libFuzzer options...]
set -eu
target=$1 seeds=$2 work=$3
shift 3
rm -rf "$work"
mkdir -p "$work/corpus"
cd "$work"
exec "$target" -artifact_prefix="$work/" -print_final_stats=1 "$@" corpus "$seeds"
