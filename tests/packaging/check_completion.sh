#!/usr/bin/env bash
# Completes command lines with the bash completion of parvane-cli, in a
# folder of TNEF and other files, and compares the candidates offered.
# Status 77 (skipped) when bash-completion is not installed.
framework=/usr/share/bash-completion/bash_completion
[[ -r $framework ]] || { echo "bash-completion is not installed"; exit 77; }
source "$framework"
source "$1"

work=$(mktemp -d) && trap 'rm -rf "$work"' EXIT
cd "$work" && mkdir sub && touch a.dat B.TNEF c.txt winmail.dat.txt

failed=0
# expect LINE CANDIDATES: the sorted candidates for the line's last word.
expect()
{
    COMP_LINE=$1 COMP_POINT=${#1}
    read -ra COMP_WORDS <<<"$1"
    [[ $1 == *' ' ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _parvane_cli parvane-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    local got
    got=$(printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort | xargs)
    if [[ $got != "$2" ]]; then
        echo "FAIL '$1': expected '$2', got '$got'"
        failed=1
    fi
}

expect "parvane-cli " "attributes body extract list message trace unwrap"
expect "parvane-cli -" "--help --version -V -h"
expect "parvane-cli list " "B.TNEF a.dat sub"
expect "parvane-cli list --" "--help --json --recursive --verbose"
expect "parvane-cli message --" "--help --json --verbose"
expect "parvane-cli list -- --" ""
expect "parvane-cli extract -C " "sub"
expect "parvane-cli extract --folder " "always multi never"
expect "parvane-cli extract -C sub --" "--body --folder --help --recursive --verbose"
expect "parvane-cli extract --folder never a.dat " "B.TNEF a.dat sub"
expect "parvane-cli unwrap --" "--help --maildir --mbox --verbose"
expect "parvane-cli unwrap --maildir " "sub"
expect "parvane-cli unwrap -o " "B.TNEF a.dat c.txt sub winmail.dat.txt"
expect "parvane-cli body --" "--help --html --rtf --text --verbose"
expect "parvane-cli trace --" "--help --verbose"
exit $failed
