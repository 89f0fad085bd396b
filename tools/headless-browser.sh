#!/bin/sh
# The user's web browser, for tests and sessions under Wine: headless
# Chromium loads the address it is given (a page of WEB_REQUEST posts its
# form to the service) and ends by itself.
#
# Wine's browser launcher runs it with a file:// or http(s):// address once
# the prefix names it: HKCU\Software\Wine\WineBrowser, value Browsers. The
# launcher does not wait for it, so it keeps nothing of its caller open and
# is ended after 60 seconds at the latest.
exec </dev/null >/dev/null 2>&1
profile=$(mktemp -d "${TMPDIR:-/tmp}/veltrane-browser.XXXXXX") || exit 1
timeout -k 5 60 chromium --headless=new --no-sandbox --disable-gpu \
    --disable-background-networking --disable-component-update --disable-sync --no-first-run \
    --user-data-dir="$profile" --virtual-time-budget=8000 --dump-dom "$1"
status=$?
rm -rf "$profile"
exit $status
