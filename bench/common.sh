# Shared by the codec benchmarks (source it).
#
# bench_prepare NAME BUILD_DIR TOOL...
#   Checks that the build has the converter and the picture maker and that
#   the tools the benchmark measures against are installed (NAME says who
#   complains), then sets bin to the build's programs and work to a private
#   folder, removed at exit, holding the benchmark's pictures. The
#   translators run at their defaults: neither the user's settings nor a test
#   environment's TRANSLATORS reach the converter.
bench_prepare()
{
    local name=$1 tool
    bin=$(cd "$2/bin" && pwd)
    shift 2
    for tool in "$bin/tavrin-convert" "$bin/translation_bench"; do
        [ -x "$tool" ] || { echo "$name: $tool is missing; build it first" >&2; exit 1; }
    done
    for tool in "$@"; do
        command -v "$tool" >/dev/null || { echo "$name: $tool is not installed" >&2; exit 1; }
    done
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    export XDG_CONFIG_HOME="$work/config"
    unset TRANSLATORS
    "$bin/translation_bench" --write-images "$work"
}
