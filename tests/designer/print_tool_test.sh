#!/bin/sh
# kelmor-tool project print writes the three documents to PDF: graph, all modems, one modem;
# an empty network prints nothing and is no error; an unknown modem name is.
set -eu
tool=$1
definitions=$2
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cat > "$dir/net.json" <<'JSON'
{"properties": {"name": "Harbour", "protocol": "User Defined", "offset": 0, "length": 1,
  "routing": "source", "network_id": "netid", "address_format": "hexadecimal"},
 "nodes": [
  {"name": "Master", "kind": "master", "addresses": ["F0"], "system_address": 1, "type": "KL160",
   "x": 100, "y": 60},
  {"name": "Pier", "addresses": ["A1"], "system_address": 2, "type": "KL160", "route_parent": 1,
   "x": 300, "y": 200, "parameters": [{"type": "B", "level": "0", "value": "5"}]},
  {"name": "Lost", "addresses": ["C3"], "system_address": 4, "type": "GONE", "route_parent": 2,
   "x": 150, "y": 380, "parameters": [{"type": "B", "level": "0", "value": "42"}]}]}
JSON
echo '{"properties": null, "nodes": []}' > "$dir/empty.json"
"$tool" project import "$dir/net.json" "$dir/net.spf"
"$tool" project import "$dir/empty.json" "$dir/empty.ssf"

expect() {  # expect PDF TEXT...
    pdf=$1
    shift
    pdftotext -layout "$pdf" "$dir/out.txt"
    for want in "$@"; do
        grep -qF -- "$want" "$dir/out.txt" || { echo "missing in $pdf: $want"; cat "$dir/out.txt"; exit 1; }
    done
}

"$tool" project print "$dir/net.spf" --graph --out "$dir/graph.pdf" --definitions "$definitions"
expect "$dir/graph.pdf" "Project Harbour" "Master" "Pier" "Lost"
pdfinfo "$dir/graph.pdf" | grep -q "Page size:.*842 x 595" || { echo "graph is not landscape"; exit 1; }

"$tool" project print "$dir/net.spf" --all --out "$dir/all.pdf" --definitions "$definitions"
expect "$dir/all.pdf" "Project Harbour" "Modem name: Master" "Modem name: Pier" "Radio channel: 5" \
    "Modem address: 0002" "NO DEFINITION FILE GONE.smf" "42"

"$tool" project print "$dir/net.spf" --node Pier --out "$dir/pier.pdf" --definitions "$definitions"
expect "$dir/pier.pdf" "Modem name: Pier" "Terminal address: A1" "Radio channel: 5"
if grep -qF "Master" "$dir/out.txt"; then echo "one modem printed another"; exit 1; fi

"$tool" project print "$dir/empty.ssf" --all --out "$dir/none.pdf" --definitions "$definitions"
[ ! -e "$dir/none.pdf" ] || { echo "an empty network printed a document"; exit 1; }

if "$tool" project print "$dir/net.spf" --node Nobody --out "$dir/x.pdf" 2>/dev/null; then
    echo "an unknown modem printed"
    exit 1
fi
exit 0
