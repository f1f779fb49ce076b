#!/bin/sh
# kelmor-tool project import of a JSON network, then routes and export: the three-modem virtual
# routing example gives labels 0001, 0002, 0003, and export/import gives the same bytes.
set -eu
tool=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cat > "$dir/net.json" <<'JSON'
{"properties": {"name": "Example", "protocol": "User Defined", "offset": 0, "length": 1,
  "routing": "virtual", "network_id": "netid", "address_format": "hexadecimal"},
 "nodes": [
  {"name": "M", "kind": "master", "addresses": ["F0"], "system_address": 1, "type": "RM400"},
  {"name": "A", "addresses": ["A1"], "system_address": 2, "type": "RM400", "route_parent": 1},
  {"name": "B", "addresses": ["B2"], "system_address": 3, "type": "RM400", "route_parent": 2,
   "parameters": [{"type": "B", "level": "1", "value": "5"}]}]}
JSON
"$tool" project import "$dir/net.json" "$dir/net.spf"
"$tool" routes "$dir/net.spf" | tr -d ' \n' > "$dir/routes.json"
for want in '"error":null' \
    '"name":"M","route_text":"","source_routes":[],"virtual_routes":["000000A1<->0001","000000B2<->0003"]' \
    '"name":"A","route_text":"A1","virtual_routes":["000000F0<->0001","0003<->0002"]' \
    '"name":"B","route_text":"B2","virtual_routes":["000000F0<->0002"]' \
    '"24 0E 00 41 30 00 00 00 F0 00 4A 30 00 02 00 4C 03 7B"'; do
    want=$(printf '%s' "$want" | tr -d ' ')
    grep -qF -- "$want" "$dir/routes.json" || { echo "missing: $want"; cat "$dir/routes.json"; exit 1; }
done
"$tool" project export "$dir/net.spf" > "$dir/again.json"
"$tool" project import "$dir/again.json" "$dir/again.spf"
cmp "$dir/net.spf" "$dir/again.spf"
