#!/bin/sh
# tool-options.sh TOOL...: each tool, run in an empty temporary folder, answers --help and -h with
# its usage on standard output and exit 0, refuses an unknown option with its usage on standard
# error and exit 64, and in no case writes anything (a folder named after the option, above all).
set -u
work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT
failed=0
check() { # tool, args, expected exit, stream that must hold the usage
    tool=$1 args=$2 want=$3 stream=$4
    run="$work/run"
    rm -rf "$run" && mkdir "$run" || exit 1
    # shellcheck disable=SC2086  # args are split on purpose
    (cd "$run" && exec "$tool" $args >"$work/out" 2>"$work/err")
    got=$?
    name=$(basename "$tool")
    if [ "$got" -ne "$want" ]; then
        echo "FAIL $name $args: exit $got, expected $want"; failed=1
    fi
    if ! grep -q "^usage: $name" "$work/$stream"; then
        echo "FAIL $name $args: no usage on std$stream"; failed=1
    fi
    if [ -n "$(ls -A "$run")" ]; then
        echo "FAIL $name $args: wrote $(ls -A "$run")"; failed=1
    fi
}
for tool in "$@"; do
    check "$tool" --help 0 out
    check "$tool" -h 0 out
    check "$tool" "--bogus" 64 err
    check "$tool" "--bogus target" 64 err
    check "$tool" "-x target" 64 err
    check "$tool" "" 64 err
done
[ "$failed" -eq 0 ] && echo "all options answered"
exit "$failed"
