#!/usr/bin/env bash
# pack-zip.sh ZIP SOURCE-DIR FILE...: packs FILEs into ZIP, in a folder named
# after it, reproducibly: each file's time is SOURCE_DATE_EPOCH (default: the
# last commit of SOURCE-DIR), no extra attributes, a fixed order.
set -euo pipefail
zip=$1 src=$2
shift 2
epoch=${SOURCE_DATE_EPOCH:-$(git -C "$src" log -1 --format=%ct 2>/dev/null || echo 0)}
name=$(basename "$zip" .zip)
stage=$(mktemp -d "${zip%/*}/.zip.XXXXXX")
trap 'rm -rf "$stage"' EXIT
mkdir "$stage/$name"
for f in "$@"; do cp "$f" "$stage/$name/"; done
chmod 644 "$stage/$name"/*
touch -d "@$epoch" "$stage/$name" "$stage/$name"/*
rm -f "$zip"
# zip keeps local time: UTC, so that the time zone of the build changes nothing.
(cd "$stage" && TZ=UTC zip -X -q -9 "$zip.part" "$name" "${@/#*\//$name/}")
mv "$zip.part" "$zip"
