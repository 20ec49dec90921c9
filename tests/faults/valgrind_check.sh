#!/usr/bin/env bash
# Leak check of the store tests and a part of the update tests under valgrind.
# Usage: valgrind_check.sh <test_store> <test_update>
# Fails on errors and on definite leaks that the suppressions beside this script do not
# attribute to the client library, Qt or the font libraries. Exit 77: valgrind missing.
set -u
here=$(cd "$(dirname "$0")" && pwd)
store=$1
update=$2
command -v valgrind >/dev/null || { echo "valgrind not installed"; exit 77; }

# Slow under valgrind; the filters keep the run within a few minutes.
STORE_FILTER=${ZW_VALGRIND_STORE_FILTER:-*}
UPDATE_FILTER=${ZW_VALGRIND_UPDATE_FILTER:-ControlFileTest.*:ControlFileValues.*:EngineFixture.*:FileTransferTest.*:IniFile.*:UnpackTest.*:VersionRules.*}

export QT_QPA_PLATFORM=offscreen
export GTEST_COLOR=no
status=0
run() {
    local name=$1 exe=$2 filter=$3
    local log
    log=$(mktemp "${TMPDIR:-/tmp}/valgrind-$name.XXXXXX")
    echo "== $name ($filter)"
    valgrind --tool=memcheck --leak-check=full --errors-for-leak-kinds=definite \
        --show-leak-kinds=definite --error-exitcode=1 --num-callers=40 \
        --suppressions="$here/valgrind.supp" --gen-suppressions=all --log-file="$log" \
        "$exe" --gtest_filter="$filter" --gtest_brief=1
    local rc=$?
    grep -E "ERROR SUMMARY|definitely lost" "$log"
    if [ $rc -ne 0 ]; then
        echo "== $name failed (exit $rc); valgrind log:"
        cat "$log"
        status=1
    fi
    rm -f "$log"
}
run store "$store" "$STORE_FILTER"
run update "$update" "$UPDATE_FILTER"
exit $status
