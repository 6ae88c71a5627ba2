#!/usr/bin/env bash
# Runs a command inside a private network namespace ("pc") whose only link is
# one end of a veth pair; the other end lies in a second private namespace
# ("box") where the test puts its simulated boxes. Both namespaces are removed
# on exit. Broadcasts of the command never leave the pair.
#
#   run-in-netns.sh <command> [args...]
#
# The command sees CORVANE_NETNS_BOX (the box namespace's name, for
# /var/run/netns/<name>) and CORVANE_NETNS_PC_LINK (its own veth name).
# Addresses: pc 10.77.0.1/24 and 10.77.0.11/24, box 10.77.0.2/24.
# Exit 77 (skipped) when not root.
set -u

if [ "$(id -u)" -ne 0 ]; then
  echo "run-in-netns: SKIPPED: creating network namespaces needs root" >&2
  exit 77
fi
. "$(dirname "${BASH_SOURCE[0]}")/needs.sh"
needs run-in-netns ip=iproute2

tag="cvn$$"
pc="$tag-pc"
box="$tag-box"
cleanup() {
  ip netns del "$pc" 2>/dev/null
  ip netns del "$box" 2>/dev/null
}
trap cleanup EXIT
cleanup

fail() {
  echo "run-in-netns: $*" >&2
  exit 1
}

ip netns add "$pc" || fail "cannot add namespace $pc"
ip netns add "$box" || fail "cannot add namespace $box"
for ns in "$pc" "$box"; do
  # Router and neighbour solicitations would only add noise on the link.
  ip netns exec "$ns" sysctl -q -w net.ipv6.conf.all.disable_ipv6=1 net.ipv6.conf.default.disable_ipv6=1 >/dev/null
  ip -n "$ns" link set lo up || fail "lo of $ns"
done
ip link add veth-pc netns "$pc" type veth peer name veth-box netns "$box" || fail "cannot create the veth pair"
ip -n "$pc" addr add 10.77.0.1/24 dev veth-pc || fail "address of veth-pc"
ip -n "$pc" addr add 10.77.0.11/24 dev veth-pc || fail "second address of veth-pc"
ip -n "$box" addr add 10.77.0.2/24 dev veth-box || fail "address of veth-box"
ip -n "$pc" link set veth-pc up || fail "veth-pc up"
ip -n "$box" link set veth-box up || fail "veth-box up"

# The link runs once both ends are up; a bounded wait instead of a sleep.
for _ in $(seq 1 50); do
  if ip -n "$pc" link show veth-pc | grep -q LOWER_UP; then break; fi
  sleep 0.1
done
ip -n "$pc" link show veth-pc | grep -q LOWER_UP || fail "veth-pc never came up"

# Only lo and our veth may be up where the command runs.
others=$(ip -n "$pc" -o link show up | awk -F': ' '{print $2}' | sed 's/@.*//' | grep -v -x -e lo -e veth-pc)
[ -z "$others" ] || fail "unexpected links up in $pc: $others"

ip netns exec "$pc" env CORVANE_NETNS_BOX="$box" CORVANE_NETNS_PC_LINK=veth-pc "$@"
