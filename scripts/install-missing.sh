# Sourced by the set-up scripts: install_missing PACKAGE... installs, with
# apt-get (through sudo when not root), those of the Debian packages that are not
# installed yet; apt's lists are brought up to date once per run.
apt_updated=""
installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}
install_missing() {
    local missing=() package sudo=""
    for package in "$@"; do
        installed "$package" || missing+=("$package")
    done
    ((${#missing[@]})) || return 0
    echo "$(basename "$0" .sh): installing ${missing[*]}"
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    if [ -z "$apt_updated" ]; then
        $sudo apt-get update -qq
        apt_updated=1
    fi
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
        "${missing[@]}" >/dev/null
}
