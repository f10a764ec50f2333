#!/bin/sh
# notify-ntfy.sh - a hook for `vantrel --notify` that pushes the night's events
# to a phone through an ntfy-style service: one HTTP POST of the text to a topic.
#
#   cp /usr/share/doc/vantrel/examples/notify-ntfy.sh /etc/vantrel/
#   (set URL below; on a public server a long random topic is its only secret)
#   vantrel --console --notify /etc/vantrel/notify-ntfy.sh
#
# vantrel runs it once per event with VANTREL_EVENT (start, target, unsafe,
# safe, park, end, fault), VANTREL_TEXT (the line to read), VANTREL_LOG and,
# at the end, VANTREL_EXIT. It gets 30 s; its first failure is shown once as a
# warning, with the last line it wrote to standard error.

URL="https://ntfy.sh/vantrel-change-this-topic"
# The events worth a push: a message per target is a lot in a long night.
EVENTS="start unsafe safe park end fault"

case " $EVENTS " in
  *" ${VANTREL_EVENT:-} "*) ;;
  *) exit 0 ;;
esac
if ! command -v curl >/dev/null 2>&1; then
  echo "notify-ntfy.sh: curl is not installed (apt install curl)" >&2
  exit 1
fi
priority=default
case $VANTREL_EVENT in
  unsafe | fault) priority=high ;;
esac
exec curl --silent --show-error --fail --max-time 20 \
  --header "Title: vantrel: $VANTREL_EVENT" --header "Priority: $priority" \
  --data-binary "${VANTREL_TEXT:-}" "$URL" >/dev/null
