#!/usr/bin/env bash
# Generates the ja_JP.UTF-8 locale when it is missing: the layout test checks
# the message-box buttons in Japanese, and wine needs it for code page 932.
set -euo pipefail
if ! locale -a 2>/dev/null | grep -qix 'ja_JP\.utf-\?8'; then
    echo "japanese-locale: generating ja_JP.UTF-8"
    sudo=""
    ((EUID == 0)) || sudo="sudo"
    $sudo localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
fi
