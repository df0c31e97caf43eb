#!/bin/sh
# Stands in for a test this build could not make: says what is missing.
#   tests/missing.sh WHAT
. "$(dirname "$0")/require_tools.sh"
missing "$1"
