#!/bin/sh
# kelmor-tool project render: a project drawn as PNG, SVG and PDF, a single-modem file, and the
# refusals (unknown picture type, unreadable file).
set -u
tool="$1"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

cat > "$dir/net.json" <<'JSON'
{"properties":{"name":"Harbour","protocol":"User Defined","offset":0,"length":1,"routing":"source",
 "network_id":"n1","address_format":"hexadecimal"},
 "nodes":[{"name":"Base","kind":"master","addresses":["F0"],"type":"KL450","x":40,"y":60},
          {"name":"Pump","addresses":["A1"],"type":"KL450","x":260,"y":80,"route_parent":1},
          {"name":"Car","kind":"mobile","addresses":["0C"],"type":"KL450","x":60,"y":260,
           "mobile_route_parent":1}]}
JSON
"$tool" project import "$dir/net.json" "$dir/net.spf" || fail "import"
"$tool" project render "$dir/net.spf" --out "$dir/net.png" || fail "png"
"$tool" project render "$dir/net.spf" --out "$dir/net.svg" --mobile || fail "svg"
"$tool" project render "$dir/net.spf" --out "$dir/net.pdf" || fail "pdf"
head -c 8 "$dir/net.png" | od -An -tx1 | grep -q "89 50 4e 47 0d 0a 1a 0a" || fail "not a PNG"
grep -q "<svg" "$dir/net.svg" || fail "not an SVG"
head -c 5 "$dir/net.pdf" | grep -q "%PDF-" || fail "not a PDF"
# The normal view leaves the mobile modem out; the mobile view draws it.
grep -q "Car" "$dir/net.svg" || fail "mobile view without the mobile modem"

printf '{"properties":null,"nodes":[{"type":"KL450","parameters":[{"type":"B","level":"1","value":"7"}]}]}' \
    > "$dir/one.json"
"$tool" project import "$dir/one.json" "$dir/one.ssf" || fail "import ssf"
"$tool" project render "$dir/one.ssf" --out "$dir/one.png" || fail "single-modem png"

"$tool" project render "$dir/net.spf" --out "$dir/net.bmp" 2>/dev/null
[ $? -eq 2 ] || fail "an unknown picture type must be refused with 2"
"$tool" project render "$dir/missing.spf" --out "$dir/x.png" 2>/dev/null
[ $? -eq 1 ] || fail "an unreadable file must give 1"
[ ! -e "$dir/x.png" ] || fail "no picture for an unreadable file"
echo "ok"
