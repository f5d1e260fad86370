# SPDX-License-Identifier: GPL-3.0-or-later
# What the ostralectl tests that go on after a failed check share (sourced once $lavoro exists):
# the helpers they start, in $figli, stopped and $lavoro removed on exit; failures counted; and
# the verdict at the end.
figli=()
fine() {
    for p in "${figli[@]}"; do kill -TERM "$p" 2>/dev/null && wait "$p" 2>/dev/null; done
    rm -rf "$lavoro"
}
trap fine EXIT
errori=0
fallito() {
    echo "FAILED: $*"
    errori=$((errori + 1))
}
passo() { echo "ok: $*"; }
# verdetto_finale "WHAT PASSED": exit 1 after a failure, else that line.
verdetto_finale() {
    if [ "$errori" -gt 0 ]; then
        echo "$errori failures"
        exit 1
    fi
    echo "$1: all passed"
}
