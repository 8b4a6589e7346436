#!/usr/bin/env bash
# The layer-rule script: the tree passes as it is; each kind of bad include or handler name
# planted in a copy makes it fail and name the file.
set -u
script="$1"
src="$2"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fails=0
expect() { # expect PASS|FAIL what output-pattern
  local want="$1" what="$2" pattern="$3" out rc
  out=$("$script" "$tmp/src" 2>&1); rc=$?
  if [ "$want" = PASS ] && [ $rc -ne 0 ]; then echo "FAIL: $what: expected a pass, got rc=$rc: $out"; fails=$((fails + 1)); return; fi
  if [ "$want" = FAIL ] && [ $rc -ne 1 ]; then echo "FAIL: $what: expected rc=1, got rc=$rc"; fails=$((fails + 1)); return; fi
  if [ -n "$pattern" ] && ! grep -q -- "$pattern" <<<"$out"; then echo "FAIL: $what: output lacks '$pattern': $out"; fails=$((fails + 1)); return; fi
  echo "ok: $what"
}
fresh() { rm -rf "$tmp/src"; cp -r "$src" "$tmp/src"; }

"$script" "$src" || { echo "FAIL: the real tree breaks the layer rules"; exit 1; }
echo "ok: the real tree"

fresh; expect PASS "a fresh copy" ""
fresh; echo '#include "ui/MainForm.h"' >> "$tmp/src/monitor/Acquisition.cpp"
expect FAIL "an include upwards (monitor -> ui)" 'monitor/Acquisition.cpp:.*ui/MainForm.h'
fresh; echo '#include "sensor/DeviceCommands.h"' >> "$tmp/src/monitor/Acquisition.cpp"
expect FAIL "a neighbour in the same layer (monitor -> sensor)" 'monitor/Acquisition.cpp'
fresh; echo '#include <QWidget>' >> "$tmp/src/station/Station.cpp"
expect FAIL "a widget header below ui/" 'station/Station.cpp:.*QWidget'
fresh; echo '#include "charts/StatisticsCharts.h"' >> "$tmp/src/station/Station.cpp"
expect FAIL "the charts below the front ends (station -> charts)" 'station/Station.cpp:.*charts/'
fresh; echo '#include <QChart>' >> "$tmp/src/history/Statistics.cpp"
expect FAIL "a Qt Charts header below charts/" 'history/Statistics.cpp:.*QChart'
fresh; echo '#include "ui/MainForm.h"' >> "$tmp/src/charts/StatisticsCharts.cpp"
expect FAIL "the window from the charts (charts -> ui)" 'charts/StatisticsCharts.cpp:.*ui/MainForm.h'
fresh; echo '#include "sim/Bench.h"' >> "$tmp/src/sensor/DeviceCommands.cpp"
expect FAIL "sim/ outside the simulated driver" 'sensor/DeviceCommands.cpp:.*sim/Bench.h'
fresh; echo '#include "sim/Bench.h"' >> "$tmp/src/link/Link.cpp"
expect FAIL "sim/ in the link beside the simulated driver" 'link/Link.cpp:.*sim/Bench.h'
fresh; echo '#include "sim/Profile.h"' >> "$tmp/src/ui/MainForm.cpp"
expect FAIL "sim/ in the window outside the Simulator dock" 'ui/MainForm.cpp:.*sim/Profile.h'
fresh; echo '#include "sim/Profile.h"' >> "$tmp/src/ui/SimulatorPanel.cpp"
expect PASS "sim/ in the Simulator dock" ""
fresh; printf 'void ALStartExecute();\n' >> "$tmp/src/monitor/Acquisition.h"
expect FAIL "a handler-named declaration in the core" 'monitor/Acquisition.h:.*ALStartExecute'
fresh; printf 'bool TestModule::PTKLEDClick(bool green)\n{\n    return green;\n}\n' >> "$tmp/src/testmodule/TestModule.cpp"
expect FAIL "a handler-named definition in the core" 'testmodule/TestModule.cpp:.*PTKLEDClick'
fresh; printf '    static void CBTypeTestChange(int index);\n' >> "$tmp/src/station/Station.h"
expect FAIL "a handler-named member of the station" 'station/Station.h:.*CBTypeTestChange'
fresh; printf 'void F() { return page.CBTypeTestChange(1); }\n' >> "$tmp/src/prodtest/TestRun.cpp"
expect PASS "a call of a handler name is no declaration" ""
fresh; printf 'void ALStartExecute();\n' >> "$tmp/src/ui/MainForm.h"
expect PASS "handler names on the window" ""
fresh; echo '#include "station/Station.h"' >> "$tmp/src/proto/Protocol.h"
expect FAIL "the wire format including anything" 'proto/Protocol.h'
fresh; mkdir "$tmp/src/extra" && echo '#include "ui/MainForm.h"' > "$tmp/src/extra/X.cpp"
expect FAIL "a folder the rules do not know" 'extra/'

[ $fails -eq 0 ] || { echo "$fails case(s) failed"; exit 1; }
