#!/usr/bin/env bash
# Makes sure this machine can print: the CUPS scheduler runs, and the PDF printer queue of
# printer-driver-cups-pdf ("PDF", writing each job as a PDF file into ~/PDF of the user who
# printed) exists, is enabled and is the default printer when there is no other default.
# Safe to run again: a running scheduler and an existing queue are left as they are. As a user
# it asks sudo for what only root may do. Exits 1 when the queue cannot be made ready.
set -euo pipefail
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO=sudo

running() { LC_ALL=C lpstat -r 2>/dev/null | grep -q 'scheduler is running'; }

if ! running; then
  if [ -d /run/systemd/system ] && command -v systemctl >/dev/null; then
    $SUDO systemctl start cups || true
  fi
  if ! running; then
    # No service manager (a container, a CI machine): cupsd goes into the background itself.
    $SUDO /usr/sbin/cupsd
  fi
  for _ in $(seq 1 50); do running && break; sleep 0.2; done
  if ! running; then
    echo "start-cups: the CUPS scheduler does not start" >&2
    exit 1
  fi
fi

queue=PDF
if ! LC_ALL=C lpstat -v "$queue" >/dev/null 2>&1; then
  size=$(LC_ALL=C paperconf 2>/dev/null) || size=a4
  $SUDO lpadmin -p "$queue" -v cups-pdf:/ -m lsb/usr/cups-pdf/CUPS-PDF_opt.ppd \
    -o pdftops-renderer-default=pdftocairo -o printer-is-shared=no -o PageSize="$size"
fi
$SUDO cupsenable "$queue"
$SUDO cupsaccept "$queue"
if ! LC_ALL=C lpstat -d 2>/dev/null | grep -q 'system default destination:'; then
  $SUDO lpadmin -d "$queue"
fi
LC_ALL=C lpstat -v "$queue"
