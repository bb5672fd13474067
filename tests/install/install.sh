#!/usr/bin/env bash
# tavrin as users get it: installed with cmake --install into a prefix of its
# own (then moved, since the installed tree must not care where it lives),
# started from its desktop entry the way a file manager starts it, and packed
# as a Debian package that is unpacked into a fresh root and run from there.
# Nothing of the build tree is used by the installed programs: LD_LIBRARY_PATH
# and TRANSLATORS are unset and HOME is empty.
#
# Usage: install.sh prefix|package BUILD-DIR LIST-INPUT-TYPES
# "prefix" checks cmake --install and the desktop integration, "package" the
# Debian package (slower: it strips, compresses and runs lintian).
set -u
MODE=$1
BUILD=$2
LIST_TYPES=$3
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../e2e/xvfb.sh"

skipped=()
skip()
{
    echo "SKIP: $*"
    skipped+=("$*")
}
have()
{
    command -v "$1" >/dev/null 2>&1
}

start_xvfb || exit 1
# Inside the build folder: an installed ASan build is too big for a small /tmp.
work=$(mktemp -d "$BUILD/install-test.XXXXXX")
trap 'kill $XVFB_PID 2>/dev/null; rm -rf "$work" "$XDG_RUNTIME_DIR"' EXIT
mkdir -p "$work/home"

# Runs a command as a user with a fresh home would, outside the build tree
# (env execs the command, so a background run's $! is the program's pid).
as_user=(env -u LD_LIBRARY_PATH -u TRANSLATORS -u XDG_DATA_DIRS HOME="$work/home"
    XDG_DATA_HOME="$work/home/.local/share" XDG_CONFIG_HOME="$work/home/.config"
    XDG_CACHE_HOME="$work/home/.cache")

# Two pictures as PPM (written byte by byte, so nothing but the program under
# test reads or writes a picture format), and a file that is no picture.
make_ppm()
{
    local file=$1 width=$2 height=$3
    {
        printf 'P6\n%d %d\n255\n' "$width" "$height"
        head -c $((width * height * 3)) /dev/urandom
    } >"$file"
}
make_ppm "$work/sky.ppm" 40 30
make_ppm "$work/sea.ppm" 52 36
echo "not a picture" >"$work/notes.txt"

# The installed program, started with files, shows the first that loads.
# (Ending it by its window is e2e_startup's business; here it is stopped.)
open_and_see()
{
    local what=$1 title=$2 program=$3
    shift 3
    "${as_user[@]}" "$program" "$@" &
    local pid=$!
    if wait_window "$title" "$pid" >/dev/null; then
        check "$what: window titled" "$title" "$title"
    else
        check "$what: window titled" "(none)" "$title"
    fi
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
}

# Converts PPM -> PNG -> PPM with an installed tavrin-convert; the PNG must be
# a PNG, and the round trip must give the same bytes.
convert_round_trip()
{
    local what=$1 convert=$2
    rm -f "$work/sky.png" "$work/back.ppm"
    "${as_user[@]}" "$convert" "$work/sky.ppm" "$work/sky.png"
    check "$what: tavrin-convert PPM to PNG status" "$?" 0
    check "$what: PNG signature" "$(head -c 8 "$work/sky.png" 2>/dev/null | od -An -tx1 | tr -d ' \n')" \
        "89504e470d0a1a0a"
    "${as_user[@]}" "$convert" "$work/sky.png" "$work/back.ppm"
    check "$what: tavrin-convert PNG to PPM status" "$?" 0
    check "$what: round trip keeps every pixel" \
        "$(cmp -s "$work/sky.ppm" "$work/back.ppm" && echo same)" same
}

# Every binary finds the kit relative to itself, never in the build.
check_runpaths()
{
    local what=$1 tree=$2 elf runpath expected
    for elf in "$tree"/bin/* "$tree"/lib/tavrin/*.so "$tree"/lib/tavrin/translators/*.so; do
        runpath=$(readelf -d "$elf" | sed -n 's/.*(RUNPATH).*\[\(.*\)\]/\1/p')
        case $elf in
        */libtavrinkit.so) expected="" ;;
        */translators/*) expected='$ORIGIN/..' ;;
        *) expected='$ORIGIN/../lib/tavrin' ;;
        esac
        check "$what: RUNPATH of ${elf#"$tree"/}" "$runpath" "$expected"
    done
}

# xdg-mime, as a desktop without a session of its own runs it, with the data
# folders of the tree under test.
mime_default()
{
    local what=$1 share=$2
    if ! have xdg-mime; then
        skip "xdg-mime (xdg-utils) not installed: the default application is not checked"
        return
    fi
    rm -rf "$work/home/.config" "$work/home/.local"
    "${as_user[@]}" env XDG_DATA_DIRS="$share" xdg-mime default tavrin.desktop image/png
    check "$what: xdg-mime default status" "$?" 0
    check "$what: xdg-mime query default image/png" \
        "$("${as_user[@]}" env XDG_DATA_DIRS="$share" xdg-mime query default image/png)" "tavrin.desktop"
}

# --- cmake --install into a prefix, then moved elsewhere ------------------

if [ "$MODE" = prefix ]; then

cmake --install "$BUILD" --prefix "$work/stage" >"$work/install.log" 2>&1
check "cmake --install status" "$?" 0
mkdir -p "$work/moved"
mv "$work/stage" "$work/moved/prefix"
prefix=$work/moved/prefix

# Exactly the program's files: nothing the tests or benchmarks need.
unexpected=$(cd "$prefix" && find . -type f | sed 's|^\./||' | grep -v -E -x \
    'bin/tavrin|bin/tavrin-convert|lib/tavrin/libtavrinkit\.so|lib/tavrin/tavrin-clipboard|lib/tavrin/translators/[A-Za-z0-9]+\.so|share/applications/(tavrin\.desktop|mimeinfo\.cache)|share/metainfo/[a-z.]+\.metainfo\.xml|share/icons/hicolor/([0-9]+x[0-9]+/apps/tavrin\.png|scalable/apps/tavrin\.svg)|share/man/man1/tavrin(-convert)?\.1\.gz|share/doc/tavrin/(copyright|changelog\.gz)')
check "no files beyond the program's" "$unexpected" ""
for file in bin/tavrin bin/tavrin-convert lib/tavrin/libtavrinkit.so lib/tavrin/tavrin-clipboard \
    share/applications/tavrin.desktop share/icons/hicolor/scalable/apps/tavrin.svg \
    share/icons/hicolor/48x48/apps/tavrin.png share/man/man1/tavrin.1.gz \
    share/man/man1/tavrin-convert.1.gz share/doc/tavrin/copyright; do
    check "installed $file" "$([ -f "$prefix/$file" ] && echo yes)" yes
done
for addon in "$BUILD"/bin/translators/*.so; do
    name=$(basename "$addon")
    check "translator $name installed" "$([ -f "$prefix/lib/tavrin/translators/$name" ] && echo yes)" yes
done

check_runpaths "installed" "$prefix"
# The manual lists a format for each translator installed, and the converter
# writes each one it lists.
listed=$(LC_ALL=C.UTF-8 MANWIDTH=200 man -E UTF-8 -l "$prefix/share/man/man1/tavrin-convert.1.gz" 2>/dev/null |
    sed -n '/^FORMATS/,/^[A-Z]/s/^ *\.\([a-z0-9]*\)[ ,].*/\1/p')
check "manual lists a format per installed translator" "$(echo "$listed" | grep -c .)" \
    "$(ls "$prefix"/lib/tavrin/translators/*.so | wc -l)"
for extension in $listed; do
    "${as_user[@]}" "$prefix/bin/tavrin-convert" "$work/sky.ppm" "$work/sky-listed.$extension"
    check "the manual's .$extension is written" "$?" 0
done
convert_round_trip "installed" "$prefix/bin/tavrin-convert"
cp "$work/sky.png" "$work/sky-copy.png"
open_and_see "installed tavrin" "sky-copy.png[40x30]" "$prefix/bin/tavrin" "$work/sky-copy.png"

# --- the desktop integration -----------------------------------------------

desktop=$prefix/share/applications/tavrin.desktop
metainfo=$(ls "$prefix"/share/metainfo/*.metainfo.xml)
if have desktop-file-validate; then
    check "desktop-file-validate" "$(desktop-file-validate "$desktop" 2>&1; echo "status $?")" "status 0"
else
    skip "desktop-file-validate (desktop-file-utils) not installed"
fi
if have appstreamcli; then
    out=$(appstreamcli validate --no-net "$metainfo" 2>&1)
    status=$?
    [ $status -eq 0 ] || echo "$out" >&2
    check "appstreamcli validate --no-net" "$status" 0
else
    skip "appstreamcli (appstream) not installed"
fi
for page in tavrin tavrin-convert; do
    check "man --warnings $page.1" \
        "$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$prefix/share/man/man1/$page.1.gz" 2>&1 >/dev/null)" ""
done
check "desktop entry Exec" "$(sed -n '1,/^$/ s/^Exec=//p' "$desktop")" "tavrin %F"
check "desktop action Capture region" \
    "$(sed -n '/^\[Desktop Action capture-region\]/,$ s/^\(Name\|Exec\)=//p' "$desktop" | paste -sd'|')" \
    "Capture region|tavrin --capture=region"
check "desktop entry Categories" "$(sed -n 's/^Categories=//p' "$desktop")" "Graphics;Viewer;"
# The MimeType line is what the installed translators read.
check "desktop entry MimeType matches the installed translators" \
    "$(sed -n 's/^MimeType=//p' "$desktop")" \
    "$(env -u TRANSLATORS -u LD_LIBRARY_PATH TRANSLATORS="$prefix/lib/tavrin/translators" "$LIST_TYPES")"
for type in image/png image/jpeg image/gif image/bmp image/tiff image/webp image/x-tga; do
    check "desktop entry offers $type" \
        "$(sed -n 's/^MimeType=//p' "$desktop" | tr ';' '\n' | grep -c -x "$type")" 1
done

# A file manager asks GIO which programs open a PNG, and starts one with the
# files chosen: the desktop entry's Exec line with %F.
if have gio; then
    # (TryExec hides the entry unless tavrin is on PATH, as once installed.)
    check "gio lists tavrin for image/png" \
        "$("${as_user[@]}" env PATH="$prefix/bin:$PATH" XDG_DATA_DIRS="$prefix/share" \
            gio mime image/png 2>/dev/null |
            grep -c -x '[[:space:]]*tavrin.desktop' | sed 's/^[1-9][0-9]*$/listed/')" listed
    cp "$work/sea.ppm" "$work/sea-view.ppm"
    # The first file that loads is shown; a second opening is a second program.
    "${as_user[@]}" env PATH="$prefix/bin:$PATH" XDG_DATA_DIRS="$prefix/share" \
        gio launch "$desktop" "$work/notes.txt" "$work/sky-copy.png" >/dev/null 2>&1
    first=$(wait_window "sky-copy.png[40x30]") || first=""
    check "gio launch: first loadable file shown" "$([ -n "$first" ] && echo shown)" shown
    "${as_user[@]}" env PATH="$prefix/bin:$PATH" XDG_DATA_DIRS="$prefix/share" \
        gio launch "$desktop" "$work/sea-view.ppm" >/dev/null 2>&1
    second=$(wait_window "sea-view.ppm[52x36]") || second=""
    check "gio launch: second opening shown" "$([ -n "$second" ] && echo shown)" shown
    if [ -n "$first" ] && [ -n "$second" ]; then
        pid1=$(xdotool getwindowpid "$first")
        pid2=$(xdotool getwindowpid "$second")
        check "each opening is its own program" "$([ "$pid1" != "$pid2" ] && echo two)" two
        check "first window still open" "$(xdotool getwindowname "$first" 2>/dev/null)" \
            "sky-copy.png[40x30]"
        kill "$pid1" "$pid2" 2>/dev/null
    fi
else
    skip "gio (libglib2.0-bin) not installed: starting from the desktop entry is not checked"
fi

mime_default "installed" "$prefix/share"

fi

# --- the Debian package, unpacked into a fresh root -------------------------

if [ "$MODE" != package ]; then
    :
elif ! have dpkg-shlibdeps || ! have dpkg-deb; then
    skip "dpkg-dev not installed: the Debian package is not built"
else
    # The package is made from a Release build, as it ships: under the
    # sanitizers the compiler links differently (no --as-needed), so packing
    # the build under test would hide faults of the real package. The tree is
    # scripts/run's, brought up to date here (a no-op when it is).
    release=${PACKAGE_BUILD:-$BUILD/release}
    {
        cmake -S "$PACKAGE_SOURCE" -B "$release" -DCMAKE_BUILD_TYPE=Release -DTAVRIN_TESTS=OFF &&
            cmake --build "$release" -j"$(nproc)"
    } >"$work/release.log" 2>&1
    status=$?
    [ $status -eq 0 ] || tail -40 "$work/release.log" >&2
    check "Release build status" "$status" 0
    # gzip rather than the release's xz: the same package, made in half the time.
    cpack -G DEB -B "$work/package" --config "$release/CPackConfig.cmake" \
        -D CPACK_DEBIAN_COMPRESSION_TYPE=gzip >"$work/cpack.log" 2>&1
    status=$?
    [ $status -eq 0 ] || cat "$work/cpack.log" >&2
    check "cpack -G DEB status" "$status" 0
    deb=$(ls "$work"/package/tavrin_*.deb 2>/dev/null | head -n 1)
    check "a .deb is made" "$([ -n "$deb" ] && echo yes)" yes
fi
if [ -n "${deb:-}" ]; then
    depends=$(dpkg-deb -f "$deb" Depends)
    echo "Depends: $depends"
    # dpkg-shlibdeps named the codec and Qt libraries; the kit is the package's own.
    for lib in libc6 libqt6widgets6 libpng16-16 libjpeg62-turbo; do
        check "Depends names $lib" "$(echo "$depends" | tr ',' '\n' | grep -c "^ *$lib\b" |
            sed 's/^[1-9][0-9]*$/yes/')" yes
    done
    check "Depends does not name the kit" "$(echo "$depends" | grep -c tavrin)" 0
    check "the package leaves the MIME cache to the system" \
        "$(dpkg-deb -c "$deb" | grep -c mimeinfo.cache)" 0

    if have lintian; then
        # Lintian's errors fail the test, and so do its warnings but these:
        # CPack has the package run ldconfig after it is installed and
        # removed, as for any library under /usr/lib; the kit in
        # /usr/lib/tavrin/ is found through the programs' run paths, never
        # through ldconfig's cache, so the call does nothing but no harm.
        explained='maintscript-calls-ldconfig'
        lintian_out=$(lintian --tag-display-limit 0 "$deb" 2>&1 | grep -v 'running with root privileges')
        [ -n "$lintian_out" ] && echo "$lintian_out"
        check "lintian errors" "$(echo "$lintian_out" | grep '^E:')" ""
        check "lintian warnings" "$(echo "$lintian_out" | grep '^W:' | grep -v -E "$explained")" ""
    else
        skip "lintian not installed: the package is not checked"
    fi

    root=$work/root
    dpkg-deb -x "$deb" "$root"
    # The version the package carries is the one the program shows.
    version=$(dpkg-deb -f "$deb" Version)
    check "package $version: the program's title" \
        "$(grep -a -c -F "tavrin ver.$version" "$root/usr/bin/tavrin" | sed 's/^[1-9][0-9]*$/yes/')" yes
    check "package: copyright" "$(head -n 1 "$root/usr/share/doc/tavrin/copyright")" \
        "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/"
    check_runpaths "package" "$root/usr"
    convert_round_trip "package" "$root/usr/bin/tavrin-convert"
    cp "$work/sky.png" "$work/sky-package.png"
    open_and_see "package tavrin" "sky-package.png[40x30]" "$root/usr/bin/tavrin" \
        "$work/notes.txt" "$work/sky-package.png"
    mime_default "package" "$root/usr/share"
fi

if [ $failures -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
if [ ${#skipped[@]} -ne 0 ]; then
    echo "passed, but not everything was checked (scripts/install-deps installs the tools):"
    printf '  %s\n' "${skipped[@]}"
    exit 77
fi
echo "all checks passed"
