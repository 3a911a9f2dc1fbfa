#!/usr/bin/env bash
# tren-cli's bash completion as a person meets it: in an interactive bash on a
# terminal, Tab after part of a name with blanks, quotes or other letters, typed
# escaped or quoted, completes the whole name (tren-cli is a function here that
# prints the words it gets).
# Usage: completion_test.sh packaging/tren-cli.bash
set -u
completion=$(realpath "$1") && source "$(dirname "${BASH_SOURCE[0]}")/scratch.sh"
framework=/usr/share/bash-completion/bash_completion
[[ -r $framework ]] || { skip "bash-completion is not installed"; finish; exit; }
cd "$ROOT" && mkdir -p "my dir" && touch "my file.bin" "it's.tr0" "née.tr0" "née.txt" 'a"b.bin'
printf 'source %q; source %q; PS1=; tren-cli() { printf "<%%s>" "$@"; echo; }\n' "$framework" "$completion" >rc
typed() { # KEYS: the words the command typed, Tab included, ran with
    python3 - "$1" <<'PY'
import os, pty, re, select, sys, time
pid, fd = pty.fork()
if pid == 0:
    os.environ["LC_ALL"] = "C.UTF-8"
    os.execvp("bash", ["bash", "--rcfile", "rc", "-i"])
def drain(wait):
    out, end = b"", time.time() + wait
    while time.time() < end:
        if select.select([fd], [], [], 0.1)[0]:
            try: out += os.read(fd, 4096)
            except OSError: break
    return out
drain(1.5)
for part in sys.argv[1].split("\t"):
    os.write(fd, part.encode() + b"\t"); drain(0.5)
os.write(fd, b"\n")
ran = re.findall(r"^[^<\n]*(<.*>)\r?$", drain(1).decode(errors="replace"), re.M)
os.write(fd, b"exit\n"); drain(0.3)
print(ran[-1] if ran else "")
PY
}
while IFS='=' read -r keys expected; do
    actual=$(typed "${keys%$'\t'}")
    check "Tab after '${keys}'" "$([[ $actual == "$expected" ]]; echo $?)" "ran with '$actual'"
done <<'TABLE'
tren-cli tren my\ f	=<tren><my file.bin>
tren-cli tren "my f	=<tren><my file.bin>
tren-cli tren it\'	=<tren><it's.tr0>
tren-cli tren a\"	=<tren><a"b.bin>
tren-cli build né	=<build><née.tr0>
tren-cli build --out my\ d	=<build><--out><my dir/>
tren-cli build --no	=<build><--no-clobber>
TABLE
finish
