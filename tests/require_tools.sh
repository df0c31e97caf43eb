# What a test needs that a machine may lack; sourced by the test scripts.
#   missing WHAT         one line naming WHAT, then status 77 (skipped) on a
#                        developer's machine, or 1 (failed) under CI
#                        (CI=true), where nothing may be missing
#   require_tools TOOL...  `missing` for the first TOOL not on the PATH
missing() {
    echo "missing: $*"
    [ "${CI:-}" = true ] && exit 1
    exit 77
}

require_tools() {
    for tool in "$@"; do
        command -v "$tool" >/dev/null 2>&1 || missing "$tool (tools/dev.sh test installs it)"
    done
}
