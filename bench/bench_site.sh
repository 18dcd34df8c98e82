# Sourced by the benchmark scripts: starts vs_site ($site; search open to guests) on a free
# port in a scratch folder $work, sets $port, and stops the server and removes the folder
# when the script ends.
#   start_bench_site NAME IDLE_SECONDS
start_bench_site() {
  local name=$1 idle=$2
  work=$(mktemp -d)
  site_pid=
  trap 'stop_bench_site' EXIT
  "$site" --port 0 --open-search --idle-exit "$idle" >"$work/port" 2>"$work/stderr" </dev/null &
  site_pid=$!
  for _ in $(seq 100); do grep -q '^port ' "$work/port" 2>/dev/null && break; sleep 0.05; done
  port=$(awk '/^port /{print $2; exit}' "$work/port")
  [[ -n $port ]] || { echo "$name: the server did not start" >&2; exit 1; }
}

stop_bench_site() {
  [[ -n ${site_pid:-} ]] && kill "$site_pid" 2>/dev/null && wait "$site_pid" 2>/dev/null
  rm -rf "$work"
}
