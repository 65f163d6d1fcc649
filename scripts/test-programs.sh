#!/usr/bin/env bash
# Prints the build targets that the tests CTest selects run (the Ninja
# outputs their commands name, as the build's CTestTestfile.cmake files
# give them), one a line, so that a build makes only what its run needs.
#
# Usage: scripts/test-programs.sh BUILD_DIR [CTEST_SELECTION...]   (e.g. -L process)
set -euo pipefail
build=$(realpath "$1")
shift
ctest --test-dir "$build" -N "$@" --show-only=json-v1 | python3 -c '
import json, os, pathlib, re, subprocess, sys
build = sys.argv[1]
selected = {test["name"] for test in json.load(sys.stdin)["tests"]}
targets = subprocess.run(["ninja", "-C", build, "-t", "targets", "all"], capture_output=True,
                         text=True, check=True).stdout.splitlines()
outputs = {line.split(":")[0] for line in targets}
named = set()
for testfile in pathlib.Path(build).rglob("CTestTestfile.cmake"):
    for name, command in re.findall(r"^add_test\(\[=\[(.*?)\]=\] (.*)\)$", testfile.read_text(), re.M):
        if name in selected:
            named |= {os.path.relpath(arg, build) for arg in re.findall(r"\"([^\"]*)\"", command)
                      if arg.startswith(build + "/")}
print(*sorted(named & outputs), sep="\n")' "$build"
