#!/bin/sh
# batch-help.sh DLA-BATCH --help|--version: what help2man reads for
# dla-batch's page: its --help followed by that of its sweep command.
set -e
"$1" "$2"
if [ "$2" = "--help" ]; then
  printf '\nThe sweep command:\n\n'
  "$1" sweep --help
fi
