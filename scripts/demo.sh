#!/bin/sh
# The built-in example: Tickward delivers a recording job to the example
# receiving application twice, once while it is not running (Tickward starts
# it and hands the job over on its command line) and once while it runs (the
# job arrives through the registry mailbox). Shows the debugger output of
# both sides, the jobs the receiver handled and the mailbox before and after,
# and ends with the journal lines of its runs and what twstatus showed while
# the receiver ran. Then a standby that waits for a recording the receiver
# declares (its request goes to a stand-in that only says it), and a
# recording that a few lines of C schedule through twreader.dll, as a TV
# application would.
set -e
. "$(dirname "$0")/wine-env.sh"
"$TICKWARD_ROOT/scripts/setup.sh" demo
arch=$(run_arch)
build "$arch"
wine_start "$arch"
bin="$TICKWARD_ROOT/build/$arch/bin"
wine="$WINELOADER"
work="$TICKWARD_ROOT/build/$arch/demo"
rm -rf "$work"
mkdir -p "$work/TV App"
cp "$bin/receiver.exe" "$work/TV App/tvapp.exe"
app=$("$wine" winepath -w "$work/TV App/tvapp.exe" 2>/dev/null)
key='HKCU\SOFTWARE\Varenwick\Korvix\CmdLine'

job() {
    printf '"%s";010102;P: _SEL;D: 5;Key: ;File: "C:\\Rec\\%s";FM: 1;TO: 1;SO: 0;EO: 0' "$app" "$1"
}
mailbox() {
    echo "-- mailbox $1:"
    "$wine" reg query "$key" 2>/dev/null | tr -d '\r' | sed -n 's/^ \{4\}/   /p' || true
    "$wine" reg query "$key" >/dev/null 2>&1 || echo "   (no mailbox key yet)"
}
# Every debugger-output text of every program, as Wine reports it.
debug_lines() {
    grep -a 'debugstr' "$1" | sed 's/^[0-9a-f]*:[a-z]*:debugstr:[A-Za-z]* /   /' || true
}

# Runs Tickward on one job under dbgrun, which shows its debugger output;
# Wine's +debugstr channel also records every other program's (the receiver's).
deliver() {
    printf '"%s" %s\n' "$($wine winepath -w "$bin/tickward.exe" 2>/dev/null)" "$(job "$1")" > "$work/$1.cmd"
    printf '== tickward.exe %s\n' "$(job "$1")"
    # The receiver that Tickward may start inherits the output files, so they
    # are files, not pipes: a pipe would stay open as long as the receiver runs.
    # Wine's +debugstr lines go through a pipe: writers that share a file
    # would overwrite each other's lines.
    mkfifo "$work/$1.fifo"
    cat "$work/$1.fifo" > "$work/$1.debugstr" &
    WINEDEBUG=-all,+debugstr "$wine" "$bin/dbgrun.exe" "@$($wine winepath -w "$work/$1.cmd" 2>/dev/null)" \
        >"$work/$1.out" 2>"$work/$1.fifo" </dev/null || true
    sed -n 's/^/   tickward: /p' "$work/$1.out"
}
debug_lines() {
    grep -a 'OutputDebugString' "$work/$1.debugstr" | sed 's/^[0-9a-f]*:[a-z]*:debugstr:OutputDebugString[AW] /   /' || true
}

# The run journal in the prefix's local application data folder; the demo's
# own lines are those after the ones it finds there.
appdata=$("$wine" cmd /c 'echo %LOCALAPPDATA%' 2>/dev/null | tr -d '\r')
journal=$("$wine" winepath -u "$appdata\\Tickward\\journal.log" 2>/dev/null)
journal_before=$(cat "$journal" 2>/dev/null | wc -l)
# The receiver keeps its job log beside the journal, named after its device.
receiver_log=$("$wine" winepath -u "$appdata\\Tickward\\receiver-1-2.log" 2>/dev/null)
rm -f "$receiver_log"

"$wine" reg delete "$key" /f >/dev/null 2>&1 || true
mailbox "before"

echo
echo "## 1. The receiver is not running: Tickward starts it and hands the job over."
deliver evening-news.ts
sleep 3
mailbox "after the first delivery"

echo
echo "## 2. The receiver runs now: the job arrives through the mailbox."
deliver late-movie.ts
sleep 3
mailbox "while the receiver handles it"
"$wine" "$bin/twstatus.exe" </dev/null >"$work/status.out" 2>&1 || true

echo
echo "## 3. Stopping the receiver (it finishes its 10 s pause after a job first)."
"$wine" "$bin/receiver.exe" --stop </dev/null >/dev/null 2>&1 || true
while "$wine" "$bin/receiver.exe" --stop </dev/null >/dev/null 2>&1; do sleep 1; done
mailbox "after"
wait    # for the debugger-output pipes: they end with their last writer

echo
echo "## 4. A standby waits for a recording: the receiver declares one of 5 s after a job."
"$wine" "$bin/receiver.exe" --pause 100 --record 5000 </dev/null >"$work/record.out" 2>&1 &
while ! grep -q 'serving device' "$receiver_log" 2>/dev/null || [ "$(grep -c 'serving device' "$receiver_log")" -lt 2 ]; do sleep 0.2; done
deliver film.ts >/dev/null
while ! grep -q 'receiver: recording' "$receiver_log"; do sleep 0.2; done
"$wine" "$bin/twstatus.exe" </dev/null 2>&1 | tr -d '\r' | sed -n '/^Recordings declared/,/^$/p' | sed 's/^/   twstatus: /'
start=$(date +%s)
printf '== tickward_nopower.exe -E;2 (tickward.exe whose power request is only said)\n'
"$wine" "$bin/dbgrun.exe" "$($wine winepath -w "$bin/tickward_nopower.exe" 2>/dev/null)" '-E;2' </dev/null |
    tr -d '\r' | sed 's/^/   tickward: /'
echo "   (it ended $(( $(date +%s) - start )) s later, when the recording had ended)"
"$wine" "$bin/receiver.exe" --stop </dev/null >/dev/null 2>&1 || true
while "$wine" "$bin/receiver.exe" --stop </dev/null >/dev/null 2>&1; do sleep 1; done

echo
echo "## 5. A TV application schedules tomorrow's recording through twreader.dll."
# These few lines are the application's part; the DLL makes the task.
cat >"$work/schedule.c" <<'EOF_C'
#include <stdio.h>
#include "twreader/twreader.h"
int main(int argc, char* argv[])
{
    TWRESULT nResult = argc == 4 ? TwScheduleRecording("Tickward\\Demo recording", argv[1], argv[2], argv[3])
                                 : TwRemoveTask("Tickward\\Demo recording");
    printf("   %s: %d\n", argc == 4 ? "TwScheduleRecording" : "TwRemoveTask", nResult);
    return nResult;
}
EOF_C
"${arch}-w64-mingw32-gcc" -o "$work/schedule.exe" "$work/schedule.c" -I"$TICKWARD_ROOT" \
    "$TICKWARD_ROOT/build/$arch/twreader/libtwreader.dll.a"
cp "$bin/twreader.dll" "$work/"
when=$(date -d 'tomorrow 00:30' '+%Y-%m-%d %H:%M')
"$wine" "$work/schedule.exe" "$when" "$($wine winepath -w "$bin/tickward.exe" 2>/dev/null)" \
    "\"C:\\TV App\\tvapp.exe\";010102;P: _SEL;D: 5;Key: ;File: \"C:\\Rec\\night-film.ts\";FM: 1;TO: 1;SO: 0;EO: 0" \
    </dev/null | tr -d '\r' || true
"$wine" "$bin/twsched.exe" list </dev/null 2>&1 | tr -d '\r' | sed 's/^/   twsched list: /'
"$wine" "$bin/twstatus.exe" </dev/null 2>&1 | tr -d '\r' | sed -n '/^Scheduled/,/^$/p' | sed 's/^/   twstatus: /'
"$wine" "$work/schedule.exe" </dev/null | tr -d '\r' || true

echo
echo "-- debugger output of the first delivery and of the receiver it started (Wine's +debugstr):"
debug_lines evening-news.ts
echo "-- debugger output of the second delivery (a delivery that succeeds writes nothing):"
debug_lines late-movie.ts
echo
printf '%s\n' "-- jobs the receiver handled (its log, $appdata\\Tickward\\receiver-1-2.log):"
tr -d '\r' < "$receiver_log" | sed 's/^/   /'
echo
printf '%s\n' "-- the journal lines of these runs ($appdata\\Tickward\\journal.log):"
tail -n +"$((journal_before + 1))" "$journal" | tr -d '\r' | sed 's/^/   /'
echo
echo "-- twstatus while the receiver handled the second job:"
tr -d '\r' < "$work/status.out" | sed 's/^/   /'
