#!/bin/sh
# Runs a command and passes when it ends with the expected exit status: ExpectStatus.sh STATUS COMMAND [ARG...]
expected=$1
shift
"$@"
status=$?
if [ "$status" -ne "$expected" ]; then
    echo "exit status $status, expected $expected" >&2
    exit 1
fi
