#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Drives the bash completion of gpibconfig-cli as bash would: each case is the words typed so
# far and a word the completion must (or must not) offer.
# Usage: completion.sh <completion file> <directory of gpibconfig-cli>
set -u
source /usr/share/bash-completion/bash_completion
source "$1"
PATH="$2:$PATH"

failures=0
offers() { # offers "<line>" <word> [absent]
    local line=$1 word=$2 absent=${3:-}
    COMP_LINE=$line
    COMP_POINT=${#line}
    read -r -a COMP_WORDS <<<"$line"
    [[ $line == *" " ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _gpibconfig_cli gpibconfig-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    local found=no w
    for w in "${COMPREPLY[@]}"; do [[ $w == "$word" ]] && found=yes; done
    if [[ -z $absent && $found == no ]] || [[ -n $absent && $found == yes ]]; then
        echo "FAIL: '$line' ${absent:+does not }offer '$word'; got: ${COMPREPLY[*]}"
        failures=$((failures + 1))
    fi
}

offers "gpibconfig-cli " show
offers "gpibconfig-cli re" restore
offers "gpibconfig-cli re" show absent
offers "gpibconfig-cli --dr" --driver
offers "gpibconfig-cli --driver " sim
offers "gpibconfig-cli --driver sim sh" show
offers "gpibconfig-cli --driver " prologix-tcp:
offers "gpibconfig-cli --board 0 sh" show
offers "gpibconfig-cli --psc " 1
offers "gpibconfig-cli --channel " show absent
offers "gpibconfig-cli --dry" --dry-run
offers "gpibconfig-cli show 735" 7352A
offers "gpibconfig-cli --json show 7370" 7370B
offers "gpibconfig-cli show 7352a" 7352A
offers "gpibconfig-cli show 7352A " 7352A absent
offers "gpibconfig-cli save 7321 5 --psc " 1
exit $((failures > 0))
