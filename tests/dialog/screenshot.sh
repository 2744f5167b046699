#!/usr/bin/env bash
# Takes a PNG picture of an installer's dialog as a user would see it:
#   screenshot.sh BUILD_DIR INSTALLER OUT.png
# The installer runs through the probe on a Wine desktop window of its own
# (so the title bar is drawn), held open while the display is captured; the
# probe's reading of the dialog is written beside the picture (OUT.txt).
set -euo pipefail

build=$(cd "$1" && pwd)
installer=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
out=$3
here=$(cd "$(dirname "$0")" && pwd)
run="$here/../../scripts/wine-run"

"$run" "$build" --start
display=$(cat "$build/xvfb.display")

"$run" "$build" explorer /desktop=tolven,800x600 "Z:$build/tests/setup_probe.exe" --hold 8000 "Z:$installer" \
  >"${out%.png}.txt" 2>/dev/null &
probe=$!

# The dialog shows once the package has been checked; wait for the probe's
# desktop to hold it, then capture the desktop window.
sleep 5
xwd -root -silent -display "$display" | convert xwd:- -crop 800x600+0+0 +repage "$out"
wait $probe
echo "screenshot: $out"
