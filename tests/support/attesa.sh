# Sourced by the shell tests: `attendi FILE` is true once FILE exists, false
# when the host (or hosts) in `pid` ended first, or after 60 s.
attendi() {
  for _ in $(seq 1 600); do
    [ -e "$1" ] && return 0
    for p in $pid; do
      kill -0 "$p" 2>/dev/null || return 1
    done
    sleep 0.1
  done
  return 1
}
