#!/usr/bin/env bash
# Fails when a source includes a header of a layer above its own. The layers of src/, lowest
# first: each may include only the layers before it (and itself). The publisher stands on
# formats and base.
set -euo pipefail
cd "$(dirname "$0")/.."

layers=(formats i18n base update gamecfg ui shell cli)
bad=0

check() {  # check FOLDER ALLOWED...: every "layer/..." include of FOLDER names an allowed layer
  local folder=$1; shift
  local allowed=" $* "
  while IFS=: read -r file line text; do
    local layer=${text#*\"}; layer=${layer%%/*}
    case " ${layers[*]} " in *" $layer "*) ;; *) continue ;; esac
    if [[ "$allowed" != *" $layer "* ]]; then
      echo "$file:$line: includes the higher layer '$layer': $text" >&2
      bad=1
    fi
  done < <(grep -rn '^#include "[a-z0-9]*/' "$folder" || true)
}

for i in "${!layers[@]}"; do
  check "src/${layers[$i]}" "${layers[@]:0:$((i + 1))}"
done
check tools/publish formats base

[ "$bad" -eq 0 ] && echo "layers: no source includes a layer above its own"
exit "$bad"
