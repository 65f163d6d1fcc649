#!/bin/bash
# The viewer is started without a shell: the real program, installed in a
# folder whose name holds spaces, quotes, ";", "$( )", back quotes, "|" and
# "&", sweeps one loopback address (host name lo-7: 127.0.0.7) inside the
# lab. The recording viewer on PATH must get the log's path as its one and
# only argument, and none of the commands hidden in the name may run.
source "$(dirname "$0")/../support/desktop.sh"
start_desktop
install_program "$1"

# install_program's viewer joins its arguments; this one keeps them apart.
cat >"$work/bin/xdg-open" <<RECORDER
#!/bin/sh
printf '%s\n' "\$#" >>"$viewer_calls"
for argument in "\$@"; do printf '[%s]\n' "\$argument" >>"$viewer_calls"; done
RECORDER

marker="$work/marker"
name="dir with spaces 'single' \"double\" ;touch $marker-semicolon; \$(touch $marker-dollar) \`touch $marker-backquote\` |touch $marker-pipe& x"
# A folder name cannot hold "/", so the markers are made relative to the
# program's working directory, the one a shell would use.
name=${name//"$work/"/}
dir="$work/$name"
mkdir -p "$dir"
install -m 755 "$program" "$work/app/tobrik-echo" "$dir/"
program="$dir/tobrik"
log="$dir/tobrik.log"
mkdir "$work/cwd"
cd "$work/cwd" || fail "no working directory"

open_window
sweep_by_keys # the pre-filled range
wait_until 10 "the viewer" test -s "$viewer_calls"
sleep 0.3 # a shell, had one run, would create its markers meanwhile

[ "$(log_records)" = "127.0.0.7,--> OK," ] || fail "unexpected log: $(cat -A "$log")"
expected=$(printf '1\n[%s]' "$log")
[ "$(cat "$viewer_calls")" = "$expected" ] ||
    fail "the viewer got: $(cat "$viewer_calls") instead of: $expected"
found=$(find "$work" / -maxdepth 2 -name 'marker*' 2>/dev/null)
[ -z "$found" ] || fail "a command in the folder name ran: $found"
echo "viewer started without a shell, with the one argument [$log]: ok"
