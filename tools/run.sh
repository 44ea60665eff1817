#!/usr/bin/env bash
# The demo: sets up and builds, lays out a demo installation of Quorvel 2 in the build tree,
# packs an update of it, serves the update from the local update server, runs the updater
# under Wine (and Xvfb when there is no display) and shows what changed. Ends with a one-line
# verdict; the exit code is nonzero when the update did not happen.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
if [ "${QV_DEMO_INNER:-}" != 1 ]; then
    bash "$root/tools/setup.sh"
    bash "$root/tools/build.sh"
    if [ -z "${DISPLAY:-}" ]; then
        exec env QV_DEMO_INNER=1 xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" "$@" </dev/null
    fi
fi

source "$root/tools/wine-env.sh"
qv_null_sound_home "$build/demo-home"
demo="$build/demo"
install="$demo/installation"
update="$demo/update"
server_pid=""
cleanup() {
    if [ -n "$server_pid" ]; then kill "$server_pid" 2>/dev/null || true; fi
    qv_wine_stop
}
trap cleanup EXIT
qv_wine_start

winpath() { echo "Z:$1"; }
# QV2_Version of a product string table.
product_version() {
    python3 - "$1" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
pos, facts = 0, {}
def line(pos):
    end = pos
    while data[end:end + 4] != b"\r\0\n\0":
        end += 2
    return data[pos:end].decode("utf-16-le"), end + 4
while pos + 8 <= len(data):
    pos += 8
    name, pos = line(pos)
    text, pos = line(pos)
    facts[name] = text.split("|")[0]
print(facts.get("QV2_Version", "unknown"))
PY
}
make_facts() { # <out.vsf> <version>
    local source="$demo/facts-$2.txt"
    printf '1\tLocal_Current\tEnglish\n2\tQV2_Version\t%s\n3\tQV2_FreeVersionFlag\t0\n4\tZRN_InternalBuildString\tQV2-DEMO\n5\tZRN_Application\tQuorvel 2\n' "$2" >"$source"
    wine "$build/foundation/datafiles/vsfbuild.exe" "$(winpath "$source")" "$(winpath "$1")" >/dev/null
}

echo "== Laying out the demo installation in $install"
rm -rf "$demo"
mkdir -p "$install/Resources" "$update/Resources" "$update/Extras"
cp "$build/updater/app/QVUpdater.exe" "$install/"
cp "$build/updater/app/Resources/QVUpdater.vsf" "$build/updater/app/Resources/QVUpdater.vrf" "$install/Resources/"
cp "$build/testing/demo/QUORVEL.exe" "$install/QUORVEL.EXE"
make_facts "$install/Resources/system.vsf" 2.0.0

echo "== Packing the update (a new program, a new string table, a new file in a new folder)"
cp "$build/testing/demo/QUORVEL_NEXT.exe" "$update/QUORVEL.EXE"
make_facts "$update/Resources/system.vsf" 2.1.0
printf 'Quorvel 2.1.0: what is new.\r\n' >"$update/Extras/WhatsNew.txt"
printf 'FILENAME=Quorvel 2.1.0\r\nTYPE=PRODUCT\r\nOS=WIN32\r\nBUILD=QV2-DEMO\r\nVERSIONNUMBER=2.1.0\r\nEXECUTE=QUORVEL.EXE\r\n' >"$demo/install-script.txt"
wine "$build/tools/qvupack/qvupack.exe" "$(winpath "$update")" "$(winpath "$demo/install-script.txt")" \
    "$(winpath "$demo/update.qvu")" >/dev/null
echo "   $(stat -c %s "$demo/update.qvu") bytes"

echo "== Starting the local update server"
python3 "$root/testing/updateserver/update_server.py" --port-file "$demo/server.txt" --mode file \
    --file "$demo/update.qvu" --log "$demo/requests.log" --lifetime 300 &
server_pid=$!
port=$(qv_wait_port_file "$demo/server.txt")
echo "   pid $server_pid, port $port"
printf '127.0.0.1:%s\n' "$port" >"$install/testmode"

before=$(product_version "$install/Resources/system.vsf")
# Keeps the last picture of the updater's window while the process runs. The updater ends
# moments after its line of success: once the log has it, the updater is held still for the
# picture that shows the end.
watch_window() { # <pid> <out.xwd> <log>
    python3 - "$@" <<'PY'
import os, signal, subprocess, sys, threading, time
pid, out, log = int(sys.argv[1]), sys.argv[2], sys.argv[3]
done = threading.Event()
lock = threading.Lock()

def shoot():
    if subprocess.run(["xwd", "-silent", "-name", "Quorvel Updater", "-out", out + ".part"],
                      stderr=subprocess.DEVNULL).returncode == 0:
        os.replace(out + ".part", out)

def alive():
    try:
        os.kill(pid, 0)
        return True
    except OSError:
        return False

def watch_log():
    while alive() and not done.is_set():
        try:
            with open(log, "rb") as f:
                if b"installed successfully" in f.read():
                    break
        except OSError:
            pass
        time.sleep(0.001)
    else:
        return
    held = subprocess.run(["pgrep", "-f", "QVUpdater.exe"], capture_output=True, text=True).stdout.split()
    for p in held:
        os.kill(int(p), signal.SIGSTOP)
    with lock:  # a picture under way ends first
        time.sleep(0.2)  # what the window was sent reaches the display
        shoot()
        for p in held:
            os.kill(int(p), signal.SIGCONT)
        done.set()

threading.Thread(target=watch_log, daemon=True).start()
while alive() and not done.is_set():
    with lock:
        if not done.is_set():
            shoot()
    time.sleep(0.05)
PY
}

echo "== Running the updater under Wine"
(cd "$install" && wine QVUpdater.exe 2>>"$demo/wine.log") &
updater=$!
watch_window "$updater" "$demo/window.xwd" "$install/UpdateResults.log"
wait "$updater" || true
# The new product shows its version and ends by itself.
for _ in $(seq 100); do grep -q "started" "$install/QuorvelRuns.log" 2>/dev/null && break; sleep 0.1; done
for _ in $(seq 150); do pgrep -f "installation.QUORVEL.EXE" >/dev/null || break; sleep 0.1; done
kill "$server_pid" 2>/dev/null || true
wait "$server_pid" 2>/dev/null || true
server_pid=""
after=$(product_version "$install/Resources/system.vsf")

echo "== UpdateResults.log of the update"
sed 's/\r$//' "$install/UpdateResults.log" | sed 's/^/   /'
echo "== The request the server received"
head -c 400 "$demo/requests.log" | sed 's/\r$//' | sed 's/^/   /'
echo
echo "== Product version before: $before, after: $after"

echo "== Checking again: the server now answers that the product is up to date"
python3 "$root/testing/updateserver/update_server.py" --port-file "$demo/server2.txt" --mode uptodate \
    --log "$demo/requests2.log" --lifetime 300 &
server_pid=$!
port=$(qv_wait_port_file "$demo/server2.txt")
printf '127.0.0.1:%s\n' "$port" >"$install/testmode"
(cd "$install" && wine QVUpdater.exe 2>>"$demo/wine.log") &
updater=$!
for _ in $(seq 200); do grep -q "up to date" "$install/UpdateResults.log" 2>/dev/null && break; sleep 0.1; done
sleep 0.5
xwd -silent -name "Quorvel Updater" -out "$demo/window-check.xwd" 2>/dev/null || true
# Closed as a user closes it.
wine taskkill /im QVUpdater.exe >/dev/null 2>&1 || true
wait "$updater" || true
kill "$server_pid" 2>/dev/null || true
wait "$server_pid" 2>/dev/null || true
server_pid=""
sed 's/\r$//' "$install/UpdateResults.log" | sed 's/^/   /'
echo "   request: $(head -1 "$demo/requests2.log" | tr -d '\r')"

legible=no
# The pictures must show the status rows as text: several lines of dark glyphs.
for shot in window window-check; do
    [ -f "$demo/$shot.xwd" ] || continue
    if lines=$(python3 "$root/tools/xwd2png.py" "$demo/$shot.xwd" "$demo/updater-$shot.png" --text-lines 6); then
        legible=yes
    fi
    echo "== Screenshot of the updater's window: $demo/updater-$shot.png ($lines)"
done

problems=()
[ "$after" = 2.1.0 ] || problems+=("the product's version is $after")
cmp -s "$update/QUORVEL.EXE" "$install/QUORVEL.EXE" || problems+=("QUORVEL.EXE is not the new program")
cmp -s "$update/Extras/WhatsNew.txt" "$install/Extras/WhatsNew.txt" || problems+=("Extras/WhatsNew.txt is missing")
if find "$install" -name '*.tmp' -o -name '*.old' | grep -q .; then problems+=(".tmp or .old files are left"); fi
grep -q "started 2.1.0" "$install/QuorvelRuns.log" 2>/dev/null || problems+=("the new product was not started")
[ "$legible" = yes ] || problems+=("no screenshot of the window shows lines of text")
if [ "${#problems[@]}" -eq 0 ]; then
    echo "DEMO PASSED: Quorvel 2 was updated from $before to $after and started."
    exit 0
fi
echo "DEMO FAILED: $(IFS=';'; echo "${problems[*]}")"
exit 1
