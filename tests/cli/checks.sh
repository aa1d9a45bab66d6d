# The checks the command-line tests share, sourced once $work exists.
#   check DESCRIPTION COMMAND...   counts a pass, or prints the failure
#   expect_code CODE COMMAND...    COMMAND's output goes to $work/out and
#                                  $work/err; fails unless it exits with CODE
#   says PATTERN                   fails unless $work/err matches PATTERN
#   report                         prints the tally; its status is the run's
failures=0
passes=0

check() {
  local what=$1
  shift
  if "$@"; then passes=$((passes + 1)); else echo "FAILED: $what"; failures=$((failures + 1)); fi
}

expect_code() {
  local want=$1
  shift
  "$@" >"$work/out" 2>"$work/err"
  local got=$?
  [ "$got" = "$want" ] || { echo "  exit code $got, wanted $want: $*"; cat "$work/err"; return 1; }
}

says() { grep -q -- "$1" "$work/err" || { echo "  no '$1' in:"; cat "$work/err"; return 1; }; }

report() {
  echo "$passes passed, $failures failed"
  [ "$failures" = 0 ]
}
