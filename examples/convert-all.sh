#!/bin/sh
# Converts every example recording with the given kinrec binary, each folder with its
# own kinrec.cnf. Tables land beside their recordings as *_DSV.csv.
set -e
kinrec=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
here=$(cd "$(dirname "$0")" && pwd)
for dir in counts physical hundreds dataset; do
    echo "== examples/$dir"
    (cd "$here/$dir" && "$kinrec" -r)
done
echo "== tables written beside the recordings: examples/*/*_DSV.csv"
