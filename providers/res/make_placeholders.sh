#!/usr/bin/env bash
# Writes the two stand-in PawnIO modules a build embeds when it is configured
# without KALORIX_PAWNIO_MODULES (cmake/pawnio_modules.cmake). The real modules
# are signed binaries from the PawnIO project. The stand-ins only carry a marker
# line padded with zero bytes: the program recognises the marker and never
# hands them to the driver, and scripts/release refuses a build that has them.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
make_one() {  # file, resource name, size
  local marker="KALORIX PLACEHOLDER $2 - replaced by the signed PawnIO module at release"
  { printf '%s\n' "$marker"; head -c $(( $3 - ${#marker} - 1 )) /dev/zero; } > "$here/$1"
  [ "$(stat -c %s "$here/$1")" -eq "$3" ]
}
make_one pawnio_intelmsr.bin PAWNIO_INTELMSR 4068
make_one pawnio_amdfamily17.bin PAWNIO_AMDFAMILY17 9300
