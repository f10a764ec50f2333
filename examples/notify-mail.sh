#!/bin/sh
# notify-mail.sh - a hook for `vantrel --notify` that mails the night's events
# with the machine's sendmail.
#
#   cp /usr/share/doc/vantrel/examples/notify-mail.sh /etc/vantrel/
#   (set TO below)
#   vantrel --console --notify /etc/vantrel/notify-mail.sh
#
# Any sendmail will do from a terminal. The service runs the night with
# NoNewPrivileges=yes, under which a sendmail that needs set-user-ID or
# set-group-ID to queue mail (exim4, postfix) fails: there, use one that
# relays at once as the user it runs as, such as msmtp-mta.
#
# vantrel runs it once per event with VANTREL_EVENT (start, target, unsafe,
# safe, park, end, fault), VANTREL_TEXT (the line to read), VANTREL_LOG and,
# at the end, VANTREL_EXIT. It gets 30 s; its first failure is shown once as a
# warning, with the last line it wrote to standard error.

TO="observer@example.org"
# The events worth a mail: one per target is a lot in a long night.
EVENTS="unsafe park end fault"

case " $EVENTS " in
  *" ${VANTREL_EVENT:-} "*) ;;
  *) exit 0 ;;
esac
sendmail=$(command -v sendmail)
for candidate in /usr/sbin/sendmail /usr/lib/sendmail; do
  [ -z "$sendmail" ] && [ -x "$candidate" ] && sendmail=$candidate
done
if [ -z "$sendmail" ]; then
  echo "notify-mail.sh: there is no sendmail on this machine (apt install msmtp-mta, and configure it)" >&2
  exit 1
fi
{
  printf 'To: %s\n' "$TO"
  printf 'Subject: vantrel: %s\n' "$VANTREL_EVENT"
  printf 'MIME-Version: 1.0\nContent-Type: text/plain; charset=UTF-8\n\n'
  printf '%s\n\n' "${VANTREL_TEXT:-}"
  [ -n "${VANTREL_EXIT:-}" ] && printf 'Exit status: %s\n' "$VANTREL_EXIT"
  printf 'Log: %s\n' "${VANTREL_LOG:-}"
} | "$sendmail" -i -- "$TO"
