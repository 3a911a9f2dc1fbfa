# Sourced: a fresh Wine prefix inside a scratch home (scripts/scratch-home.sh),
# made quietly, without dialogs; its server is stopped and the scratch folder
# removed on exit.
source scripts/scratch-home.sh
export WINEPREFIX="$scratch/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# Wine's last processes may still be writing into the prefix as the server goes:
# wait for them, and never let the clean-up decide the run's status.
trap 'wineserver -k 2>/dev/null || true; wineserver -w 2>/dev/null || true; rm -rf "$scratch" 2>/dev/null || { sleep 1; rm -rf "$scratch"; } || true' EXIT
wine wineboot -i >/dev/null 2>&1
wineserver -w
