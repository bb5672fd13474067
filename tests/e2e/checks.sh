# The end-to-end scripts' checks (source it): check NAME GOT EXPECTED prints
# "ok: NAME", or a failure, which it counts in failures.
failures=0
check()
{
    if [ "$2" != "$3" ]; then
        echo "FAIL: $1: expected '$3', got '$2'" >&2
        failures=$((failures + 1))
    else
        echo "ok: $1"
    fi
}
