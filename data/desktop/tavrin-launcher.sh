#!/bin/sh
# Starts Tavrin from its program folder: Tavrin keeps its settings (tavrin.ini, tavrin.ext) in
# the folder it starts in and finds its language files and decoder library there.
# When the installed folder cannot be written by this user, a folder of the user's own stands
# in for it: it links every installed file, so settings and the user's own language files have
# a place, and the links follow each new installation.
set -e
program_dir="$(cd "$(dirname "$(readlink -f "$0")")/@TAVRIN_LAUNCHER_TO_PROGRAM@" && pwd)"
if [ -w "$program_dir" ]; then
    cd "$program_dir"
else
    user_dir="${XDG_DATA_HOME:-$HOME/.local/share}/tavrin"
    mkdir -p "$user_dir"
    for installed in "$program_dir"/*; do
        mine="$user_dir/$(basename "$installed")"
        # A file of the user's own with the same name is left as it is.
        if [ -L "$mine" ] || [ ! -e "$mine" ]; then ln -sfn "$installed" "$mine"; fi
    done
    # Links to files an older installation had and this one has not.
    for mine in "$user_dir"/*; do
        if [ -L "$mine" ] && [ ! -e "$mine" ]; then rm -f "$mine"; fi
    done
    cd "$user_dir"
fi
exec "$program_dir/tavrin" "$@"
