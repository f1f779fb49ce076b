#!/bin/sh
# The designer depends on modemcfg, never the other way round: no modemcfg source may include a
# designer header.
src="$1"
found=$(grep -rln '#include "designer/' "$src/modemcfg" 2>/dev/null)
if [ -n "$found" ]; then
    echo "modemcfg includes the designer:"
    echo "$found"
    exit 1
fi
exit 0
