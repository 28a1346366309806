#!/usr/bin/env bash
# clang-tidy with the repository's .clang-tidy over the sources under src/ and tests/ (or the files
# given), two at a time. Reads the compile commands of a configured build (default: build/, which
# the top-level CMakeLists.txt always exports), so run it after a build: the sources that include
# moc output need it generated. Prints every finding once and fails when there is any.
#   scripts/tidy.sh [build-dir] [file...]        VELMORA_TIDY_JOBS=n to change the parallelism
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$here/build}"
[ $# -gt 0 ] && shift
if [ ! -f "$build/compile_commands.json" ]; then
    echo "tidy: no $build/compile_commands.json; configure and build first" >&2
    exit 2
fi
tidy="$(command -v clang-tidy || command -v clang-tidy-14)"
jobs="${VELMORA_TIDY_JOBS:-2}"

cd "$here"
if [ $# -gt 0 ]; then
    files=("$@")
else
    mapfile -t files < <(git ls-files 'src/*.cpp' 'tests/*.cpp')
fi

logs="$(mktemp -d)"
trap 'rm -rf "$logs"' EXIT
# One log per source, so that findings of parallel runs never interleave.
printf '%s\n' "${files[@]}" | nl -ba -w1 -s' ' |
    xargs -P "$jobs" -L1 sh -c '"$0" -p "$1" --quiet "$4" >"$2/$3.log" 2>&1 || echo "tidy: $4 failed" >>"$2/$3.log"' \
        "$tidy" "$build" "$logs"
# A header's finding is reported by every source that includes it: each is printed once.
findings="$(cat "$logs"/*.log | grep -E '^(/|[^ ]+:[0-9]+:[0-9]+: )|^tidy: ' | grep -E ': (warning|error): |^tidy: ' | sort -u || true)"
if [ -n "$findings" ]; then
    printf '%s\n' "$findings"
    echo "tidy: $(printf '%s\n' "$findings" | wc -l) finding(s) in ${#files[@]} source(s)" >&2
    exit 1
fi
echo "tidy: ${#files[@]} source(s), no findings"
