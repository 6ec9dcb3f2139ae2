#!/usr/bin/env bash
# The main job: sets the machine up, builds prnupgrade, the simulated printer
# and the file builder, makes a firmware package and upgrades the simulated
# printer on its emulated USB bus. The printer asks for upgrade mode U1 and
# comes back from its restart under another address number; the bus is
# listed before and after. The run ends with the simulated printer's own
# report on what it received ("firmware matches the package") and the
# upgrade's exit code.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPRN_BUILD_SIM=ON -DPRN_BUILD_TESTS=OFF

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TMPDIR=$work
build/sim/mkfile/prnmkfile package -o "$work/demo.psw" --gen 2 --release 124

# The printer PR0011 (address number 1) restarts as PR0012 (address number 2).
# prnsim ends with the upgrade's exit code, after its report.
set +e
build/sim/prnsim --mode U1 --package "$work/demo.psw" \
    --usb --device name=printer,pid=0E15,serial=PR0011,port=1 \
    --device name=restarted,pid=0E15,serial=PR0012,port=1,absent --restart-as restarted \
    -- bash -c '
        echo "== printers on the (simulated) USB bus"
        build/app/prnupgrade --usbdevlist
        echo "== upgrade of the first printer"
        build/app/prnupgrade -f "$1" -t usb -d ANY -v
        code=$?
        echo "== printers on the bus after the upgrade"
        build/app/prnupgrade --usbdevlist
        echo "== what the simulated printer received"
        exit $code' demo "$work/demo.psw"
code=$?
set -e
echo "prnupgrade exit code: $code"
exit $code
