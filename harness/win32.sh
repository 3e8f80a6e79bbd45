# Helpers of the Windows scenarios in tests/win32, sourced after
# scripts/wine-env:
#
#   run_probe ARGS...        the window probe ($probe) in the prefix, its
#                            output without carriage returns
#   winepath_of PATH         the Windows name of a Linux path (drive Z:)
# and check and wait_for of checks.sh.
. "${BASH_SOURCE[0]%/*}/checks.sh"

run_probe() { wine_exe "$probe" "$@" 2>/dev/null | tr -d '\r'; }
winepath_of() { echo "Z:${1//\//\\}"; }
