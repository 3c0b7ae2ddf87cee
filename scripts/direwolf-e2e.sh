#!/bin/bash
# Runs a command (a test that starts Dire Wolf) inside a private network
# namespace that has nothing but loopback. Dire Wolf 1.6 listens for KISS and
# AGW clients on every address and cannot be told otherwise; in here "every
# address" is 127.0.0.1 and nothing outside can reach it, nor it anything.
#
#   scripts/direwolf-e2e.sh build/dev/tests/app/tst_direwolf_bridge [test args]
#
# Needs the right to create a network namespace (root, as in CI).
set -euo pipefail

if [[ $# -lt 1 ]]; then
    echo "usage: $0 COMMAND [ARGS...]" >&2
    exit 2
fi

for tool in direwolf gen_packets unshare ip; do
    if ! command -v "$tool" >/dev/null; then
        echo "direwolf-e2e: $tool not found (Debian packages direwolf, util-linux, iproute2)" >&2
        exit 1
    fi
done

if [[ "${KELDAN_PRIVATE_NETNS:-}" != 1 ]]; then
    exec unshare --net env KELDAN_PRIVATE_NETNS=1 bash "$0" "$@"
fi

ip link set lo up
exec "$@"
