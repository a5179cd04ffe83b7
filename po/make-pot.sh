#!/usr/bin/env bash
# Extracts the dialog's texts into po/orvane.pot (or the file given): the
# templates (wxrc -g), the texts the program hands the framework, the string
# table and the framework's own system-menu item. Run from anywhere.
#   po/make-pot.sh [OUT]
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$src/po/orvane.pot}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cd "$src"

common=(--from-code=UTF-8 --language=C++ --add-comments=TRANSLATORS: --add-location=file
  --package-name=Orvane --msgid-bugs-address=dev@orvane.invalid --sort-by-file)
# The templates: wxrc writes each label and title as a _("...") call (and
# turns "_" into "&", so the version's placeholder loses its own).
mkdir -p "$tmp/res"
sed 's/@ORVANE_VERSION_SHORT@/@VERSION@/g' res/orvane.xrc >"$tmp/res/orvane.xrc"
(cd "$tmp" && wxrc -g res/orvane.xrc -o orvane.xrc.cpp)
# Where the program's text reaches the framework (a message box's first
# line, with its line feed, stands alone before a detail); the string table holds
# nothing else; the framework's system menu item.
xgettext "${common[@]}" --keyword= --keyword=_ -o "$tmp/xrc.pot" "$tmp/orvane.xrc.cpp"
xgettext "${common[@]}" --keyword= --keyword=MessageBox:1 --keyword=AfxMessageBox:1 --keyword=CString:1 \
  --keyword=InsertColumn:2 --keyword=AfxSetAccessibleName:2 \
  --flag=AfxSetAccessibleName:2:c-format -o "$tmp/app.pot" app/*.cpp
xgettext "${common[@]}" --extract-all -o "$tmp/strings.pot" res/strings.cpp
xgettext "${common[@]}" --keyword= --keyword=GbkFromUtf8:1 -o "$tmp/menu.pot" platform/ui/gtk/sysmenu_gtk.cpp
msgcat --use-first --add-location=file --sort-by-file "$tmp"/{xrc,app,strings,menu}.pot -o "$tmp/all.pot"
# No creation date: the file changes only when a text does.
sed '/^"POT-Creation-Date:/d' "$tmp/all.pot" >"$out"
