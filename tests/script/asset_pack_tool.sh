#!/usr/bin/env bash
# kistora-pack from the command line: create (both versions, stored, levels,
# block sizes, NAME=FILE and folder forms), list, extract and verify, and a
# damaged archive that verify and extract refuse.
set -u
fail() { echo "FAIL: $*" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
pack="$KISTORA_BUILD_DIR/kistora-pack"
[ -x "$pack" ] || fail "kistora-pack not built at $pack"

mkdir -p "$work/tree/sub"
head -c 70000 /dev/urandom > "$work/tree/noise.bin"
for i in $(seq 1 3000); do echo "line $i: push the crate onto the target"; done > "$work/tree/sub/text.txt"
: > "$work/tree/empty"
printf 'x' > "$work/one"

for version in 1 2; do
  for mode in --stored "--level 1" "--level 10" "--level 10 --block-size 17"; do
    archive="$work/v$version.data"
    # shellcheck disable=SC2086
    "$pack" create "$archive" --version "$version" $mode "$work/tree" one.byte="$work/one" \
      || fail "create failed (version $version, $mode)"
    magic=$(head -c 4 "$archive")
    [ "$magic" = "${version}zlp" ] || fail "magic $magic for version $version"
    "$pack" verify "$archive" > /dev/null || fail "verify failed (version $version, $mode)"
    "$pack" list "$archive" > "$work/list.txt" || fail "list failed"
    names=$(cut -f1 "$work/list.txt" | tr '\n' ' ')
    [ "$names" = "empty noise.bin sub/text.txt one.byte " ] || fail "entries listed as: $names"
    text_method=$(awk -F'\t' '$1 == "sub/text.txt" { print $4 }' "$work/list.txt")
    noise_method=$(awk -F'\t' '$1 == "noise.bin" { print $4 }' "$work/list.txt")
    if [ "$mode" = --stored ]; then
      [ "$text_method" = stored ] || fail "--stored compressed the text"
    elif [ "$mode" != "--level 10 --block-size 17" ]; then
      [ "$text_method" = 1zlb ] || fail "the text was not compressed ($mode)"
    fi
    [ "$noise_method" = stored ] || fail "random bytes were not stored although compression does not pay"
    awk -F'\t' '$1 == "sub/text.txt" && $2 != '"$(stat -c %s "$work/tree/sub/text.txt")"' { exit 1 }' "$work/list.txt" \
      || fail "listed unpacked size of the text is wrong"
    for name in noise.bin sub/text.txt empty; do
      "$pack" extract "$archive" "$name" -o "$work/out" || fail "extract $name failed"
      cmp -s "$work/out" "$work/tree/$name" || fail "$name differs after the round trip ($mode)"
    done
    "$pack" extract "$archive" one.byte > "$work/out" || fail "extract to standard output failed"
    cmp -s "$work/out" "$work/one" || fail "one.byte differs"
  done
done

! "$pack" extract "$work/v2.data" no.such.entry -o "$work/out" 2> /dev/null || fail "extracting a missing entry succeeded"

# A compressed entry cut short: verify and extract refuse it.
"$pack" create "$work/bad.data" --level 10 text="$work/tree/sub/text.txt" || fail "create failed"
size=$(stat -c %s "$work/bad.data")
head -c $((size - 3)) "$work/bad.data" > "$work/cut.data"
! "$pack" verify "$work/cut.data" > /dev/null 2>&1 || fail "verify accepted a truncated archive"
! "$pack" extract "$work/cut.data" text -o "$work/out" 2> /dev/null || fail "extract accepted a truncated entry"
printf 'JUNK' > "$work/junk.data"
! "$pack" list "$work/junk.data" > /dev/null 2>&1 || fail "list accepted a file that is not a container"
! "$pack" create "$work/x.data" --level 11 a="$work/one" 2> /dev/null || fail "level 11 was accepted"
! "$pack" create "$work/x.data" missing="$work/nothing" 2> /dev/null || fail "a missing input file was accepted"
echo "asset pack tool: all checks passed"
