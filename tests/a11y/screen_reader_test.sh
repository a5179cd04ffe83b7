#!/usr/bin/env bash
# screen_reader_test.sh ORVANE READER: starts the dialog on a private session
# bus with the accessibility bus (both activated on demand) and reads it with
# READER, as a screen reader would. Run inside a lab namespace (it presses
# Scan) on an X display. Exits with the reader's status, or 1 when the
# dialog does not end cleanly after the reader pressed Exit.
set -uo pipefail
orvane=$1
reader=$2

if [[ -z ${ORVANE_A11Y_SESSION:-} ]]; then
  # The other GUI tests run without the bridge; this one needs it.
  unset NO_AT_BRIDGE DBUS_SESSION_BUS_ADDRESS AT_SPI_BUS_ADDRESS
  exec dbus-run-session -- env ORVANE_A11Y_SESSION=1 "$0" "$@"
fi

# Xvfb on a heavily loaded machine now and then hangs up a new client before
# the connection is set up: the dialog then ends at once with status 1 and
# the reader finds nothing. Such a run read nothing; start it again.
for attempt in 1 2 3; do
  "$orvane" &
  dialog=$!
  /usr/bin/python3 "$reader"
  status=$?
  ((status != 0)) && ! kill -0 "$dialog" 2>/dev/null || break
  wait "$dialog"
  (($? == 1)) || { echo "screen_reader_test: the dialog ended early"; exit 1; }
  echo "screen_reader_test: the dialog could not open the display (attempt $attempt)"
done
for _ in $(seq 100); do kill -0 "$dialog" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$dialog" 2>/dev/null; then
  echo "screen_reader_test: the dialog is still running after Exit"
  kill "$dialog"
  status=1
fi
wait "$dialog"
dialog_status=$?
if ((dialog_status != 0)); then
  echo "screen_reader_test: the dialog ended with status $dialog_status"
  status=1
fi
exit "$status"
