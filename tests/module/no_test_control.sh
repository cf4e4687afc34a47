#!/bin/sh
# The module users install holds none of the stand-ins' test control: no
# function that stand_in_control.h declares is in its symbol table, while
# the tests' build of the module has them.
# usage: no_test_control.sh HEADER SHIPPED_MODULE ROUTED_MODULE
header=$1 shipped=$2 routed=$3
names=$(grep -v '^ *//' "$header" | grep -E '\);( *//.*)?$' | grep -oE '[A-Za-z]+\(' | tr -d '(' |
        grep -vE '^(void|function|std|int|bool)$' | sort -u)
[ -n "$names" ] || { echo "no function names found in $header"; exit 1; }
status=0
for name in $names; do
  if nm -C "$shipped" | grep -qw "$name"; then echo "shipped module holds $name"; status=1; fi
done
# The check must be able to fail: the tests' build holds the route at least.
nm -C "$routed" | grep -qw RouteStandInOutput || { echo "routed module lacks RouteStandInOutput"; status=1; }
exit $status
