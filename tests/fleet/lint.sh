#!/usr/bin/env bash
# lint.sh COLLECTION: ansible-lint (production profile, no network) on the
# collection, which it finds as prnupgrade.fleet through a collections folder
# of its own.
set -euo pipefail
collection=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/ansible_collections/prnupgrade"
ln -s "$collection" "$work/ansible_collections/prnupgrade/fleet"
cd "$collection"
ANSIBLE_COLLECTIONS_PATH=$work ANSIBLE_HOME=$work/home NO_COLOR=1 \
  ansible-lint --offline --profile production
