# Sourced by the test scripts: `step NAME` starts a step and ends the one before, printing its
# time; on exit a table of every step and the total is printed, whether the run passed or failed.
# Set step_marker ("====") and step_title ("step times") before sourcing. A script that needs an
# exit trap of its own calls `summary "$rc"` from it.
step_names=() step_secs=() step_start=$SECONDS
end_step() {
  [ "${#step_secs[@]}" -lt "${#step_names[@]}" ] || return 0
  local took=$((SECONDS - step_start))
  step_secs+=("$took")
  printf '%s %s (done in %s s)\n' "$step_marker" "${step_names[-1]}" "$took"
}
step() {
  end_step
  step_names+=("$*") step_start=$SECONDS
  printf '\n%s %s (%ss)\n' "$step_marker" "$*" "$SECONDS"
}
summary() {
  local rc=${1:-$?} i # the status of the run, passed in by a trap that runs more first
  end_step
  printf '\n%s %s (%s)\n' "$step_marker" "$step_title" \
    "$([ "$rc" = 0 ] && echo passed || echo "failed, status $rc")"
  for i in "${!step_names[@]}"; do printf '%6s s  %s\n' "${step_secs[$i]}" "${step_names[$i]}"; done
  printf '%6s s  total\n' "$SECONDS"
  return "$rc"
}
trap summary EXIT
