#!/usr/bin/env bash
# starvane-replay at the process level: a script that cannot be read, and
# standard output that cannot be written, each give a failure status and
# one line on stderr.
#   replay_io.sh REPLAY WORKDIR
set -u
replay=$1
work=$2
mkdir -p "$work"
failures=0

# check NAME EXPECTED_STATUS EXPECTED_STDERR_PREFIX STATUS STDERR_FILE
check() {
  local lines
  lines=$(wc -l < "$5")
  if [ "$4" -ne "$2" ] || [ "$lines" -ne 1 ] || ! grep -q "^$3" "$5"; then
    echo "FAIL $1: status $4 (expected $2), stderr: $(head -c 300 "$5")"
    failures=$((failures + 1))
  else
    echo "ok   $1"
  fi
}

printf 'start 1\nframe\nstate\n' > "$work/script"

"$replay" "$work" > "$work/out" 2> "$work/err"
check directory-as-script 2 "line 1: cannot read the script" $? "$work/err"

"$replay" < "$work" > "$work/out" 2> "$work/err"
check directory-as-input 2 "line 1: cannot read the script" $? "$work/err"

if [ -w /dev/full ]; then
  "$replay" "$work/script" > /dev/full 2> "$work/err"
  check stdout-full 1 "starvane-replay: cannot write the output" $? "$work/err"
fi

"$replay" "$work/script" >&- 2> "$work/err"
check stdout-closed 1 "starvane-replay: cannot write the output" $? "$work/err"

exit $((failures > 0))
