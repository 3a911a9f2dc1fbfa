# Sourced: a fresh Wine prefix inside a scratch home (scripts/scratch-home.sh),
# made quietly, without dialogs; its server is stopped and the scratch folder
# removed on exit.
source scripts/scratch-home.sh
export WINEPREFIX="$scratch/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
trap 'wineserver -k 2>/dev/null || true; rm -rf "$scratch"' EXIT
wine wineboot -i >/dev/null 2>&1
wineserver -w
