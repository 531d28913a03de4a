#!/usr/bin/env bash
# Holds the layers to their READMEs. Every folder that holds sources has a README.md with one
# paragraph beginning "May depend on:"; the folders it names in backticks (`table`, `usb/simbus`)
# are the only ones whose headers its sources may include, besides its own. "every" allows all.
# A source belongs to the nearest folder above it that has such a paragraph. A folder named but
# never included is reported as well, so that the paragraph stays a true account. The layout table of
# the root README lists the folders so that dependencies point down it; a folder that may depend
# on one listed above it is reported too.
# Usage: scripts/check-includes.sh   (exit status 1 and one line per drift when there is any)
set -euo pipefail
cd "$(dirname "$0")/.."

declare -A allowed # folder -> " dep dep " or " every "
declare -A owner   # directory -> folder whose README rules it ("" when none)
declare -A used    # "from to" -> 1 for every include across folders
problems=0

# The folders named in backticks in the "May depend on:" paragraph of a README.
read_rule() {
  awk '
    /[Mm]ay depend on:/ { on = 1 }
    on && /^[[:space:]]*$/ { exit }
    on { print }
  ' "$1" | tr '\n' ' '
}

while IFS= read -r readme; do
  folder=$(dirname "$readme")
  [ "$folder" = "." ] && continue
  rule=$(read_rule "$readme")
  [ -z "$rule" ] && continue
  if grep -qiE 'may depend on:[[:space:]]*every' <<<"$rule"; then
    allowed[$folder]=" every "
    continue
  fi
  deps=" "
  while IFS= read -r name; do
    name=${name%/}
    [ -n "$name" ] && [ "$name" != "$folder" ] && [ -d "$name" ] && deps+="$name "
  done < <(grep -o '`[^`]*`' <<<"$rule" | tr -d '`')
  allowed[$folder]=$deps
done < <(git ls-files --cached --others --exclude-standard '*README.md')

folder_of() { # the ruling folder of a directory
  local dir=$1
  if [ -n "${owner[$dir]+x}" ]; then
    printf '%s' "${owner[$dir]}"
    return
  fi
  local d=$dir
  while [ "$d" != "." ] && [ -z "${allowed[$d]+x}" ]; do d=$(dirname "$d"); done
  [ "$d" = "." ] && d=""
  owner[$dir]=$d
  printf '%s' "$d"
}

while IFS= read -r file; do
  dir=$(dirname "$file")
  from=$(folder_of "$dir")
  if [ -z "$from" ]; then
    echo "$file: no README.md above it says what its folder may depend on"
    problems=$((problems + 1))
    continue
  fi
  [ "${allowed[$from]}" = " every " ] && continue
  while IFS=: read -r line header; do
    if [ ! -f "$header" ]; then
      echo "$file:$line: includes \"$header\", which is not a header of the tree named by its folder"
      problems=$((problems + 1))
      continue
    fi
    to=$(folder_of "$(dirname "$header")")
    [ "$to" = "$from" ] && continue
    used["$from $to"]=1
    case "${allowed[$from]}" in
      *" $to "*) ;;
      *)
        echo "$file:$line: includes \"$header\", but $from/README.md does not name \`$to\`"
        problems=$((problems + 1))
        ;;
    esac
  done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p;' "$file" |
    grep -n '' || true)
done < <(git ls-files --cached --others --exclude-standard '*.cpp' '*.h' | grep -v '^tests/fuzz/corpus/')

for folder in "${!allowed[@]}"; do
  [ "${allowed[$folder]}" = " every " ] && continue
  for dep in ${allowed[$folder]}; do
    if [ -z "${used["$folder $dep"]+x}" ]; then
      echo "$folder/README.md: names \`$dep\`, but nothing in $folder/ includes a header of it"
      problems=$((problems + 1))
    fi
  done
done

# The root README's layout table, top to bottom: a folder may depend only on those below it.
mapfile -t rows < <(sed -n '/^## Layout/,/^## /p' README.md | grep '^| `' | cut -d'|' -f2)
row_of() { # the table row that covers a folder (the longest listed prefix)
  local best=-1 bestlen=0 i entry
  for i in "${!rows[@]}"; do
    for entry in $(grep -o '`[^`]*`' <<<"${rows[$i]}" | tr -d '`'); do
      entry=${entry%/}
      if [ "$1" = "$entry" ] || [[ "$1" == "$entry"/* ]]; then
        if ((${#entry} > bestlen)); then best=$i bestlen=${#entry}; fi
      fi
    done
  done
  echo "$best"
}
for folder in "${!allowed[@]}"; do
  [ "${allowed[$folder]}" = " every " ] && continue
  at=$(row_of "$folder")
  if ((at < 0)); then
    echo "README.md: the layout table has no row for $folder/"
    problems=$((problems + 1))
    continue
  fi
  for dep in ${allowed[$folder]}; do
    below=$(row_of "$dep")
    if ((below >= 0 && below < at)); then
      echo "README.md: $folder/ may depend on $dep/, which the layout table lists above it"
      problems=$((problems + 1))
    fi
  done
done

if ((problems > 0)); then
  echo "check-includes: $problems drift(s) between the includes and the READMEs" >&2
  exit 1
fi
echo "check-includes: every include is one its folder's README allows"
