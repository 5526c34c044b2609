#!/usr/bin/env bash
# Runs the java commands of the README's ```sh blocks (lines that start with
# java, or with VAR=value and then java) as a user would copy them, on one
# JDK, the commands of the installed packages from an install of this build
# into a scratch prefix and the build tree's from this build. A comment line
# "# JDK 17 and later" or "# JDK 11 to 16" before a command names the JDKs it
# is for; without one it is for all. Fails when a block of java commands has
# none for this JDK, or when one fails, does not start, or makes the JVM warn.
#   run_readme_commands.sh README BUILD_DIR
# From the environment: JAVA, JDK_FEATURE, EMULATOR (what runs JAVA in a cross
# build or another userland's root, else empty) and CMAKE. JAVA_OPTIONS is not
# used: the README's commands must carry what each JDK needs themselves.
set -uo pipefail
. "$(dirname "$0")/../../tools/lib.sh"
readme=$1
build=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
install_scratch "$build" "$prefix" || exit 1

# What stands for a host's own files in the commands, and what runs instead:
# the examples' minimal host with an example script, in the README's terms.
placeholders=(
  "host.jar|/usr/share/jwebnative/jweb-examples.jar"
  "MyHost|-Dtsw.engine=/usr/lib/jwebnative/standin/libTswReplayMain.so RunScript ShopperVisit"
  "MY_CLASSES|build/examples"
  "MyScript|ShopperVisit"
)
# Then the two roots: the packages' /usr is the scratch install, the
# repository's build/ this build tree (both absolute: chroot starts at /).
roots=("/usr|$prefix" "build|$build")

# replace_word TEXT WORD BY: WORD where a path or an argument starts and ends.
replace_word() {
  local word=${2//./\\.}
  sed -E -e "s#(^|[ =:])$word([ :/]|\$)#\\1$3\\2#g" <<<"$1"
}

# The README's java commands, one a line: block's first line|first JDK|last JDK|command.
commands() {
  local line=0 block=0 in_sh=0 lang logical="" first=11 last=999
  while IFS= read -r text; do
    line=$((line + 1))
    if [[ $text =~ ^\`\`\`(.*)$ ]]; then
      lang=${BASH_REMATCH[1]}
      if [ $in_sh -eq 1 ]; then in_sh=0; elif [ "$lang" = sh ]; then in_sh=1; block=$line; fi
      first=11 last=999
      continue
    fi
    [ $in_sh -eq 1 ] || continue
    logical+=$text
    if [[ $logical =~ \\$ ]]; then
      logical=${logical%\\}
      continue
    fi
    if [[ $logical =~ ^#.*JDK\ ([0-9]+)\ and\ later ]]; then
      first=${BASH_REMATCH[1]} last=999
    elif [[ $logical =~ ^#.*JDK\ ([0-9]+)\ to\ ([0-9]+) ]]; then
      first=${BASH_REMATCH[1]} last=${BASH_REMATCH[2]}
    elif [[ $logical =~ ^([A-Z_]+=[^ ]*\ +)*java\  ]]; then
      echo "$block|$first|$last|$(tr -s ' ' <<<"$logical")"
      first=11 last=999
    fi
    logical=""
  done <"$readme"
}

listed=$(commands)
[ -n "$listed" ] || { echo "FAILED: no java command in a \`\`\`sh block of $readme"; exit 1; }
bad=0
ran=0
for block in $(cut -d'|' -f1 <<<"$listed" | sort -un); do
  if ! awk -F'|' -v b="$block" -v f="$JDK_FEATURE" '$1 == b && $2 <= f && f <= $3 { found = 1 } END { exit !found }' \
    <<<"$listed"; then
    echo "FAILED: the block at $(basename "$readme"):$block has no java command for JDK $JDK_FEATURE"
    bad=1
  fi
done
while IFS='|' read -r block first last command; do
  [ "$first" -le "$JDK_FEATURE" ] && [ "$JDK_FEATURE" -le "$last" ] || continue
  run=$command
  for row in "${placeholders[@]}" "${roots[@]}"; do
    run=$(replace_word "$run" "${row%%|*}" "${row#*|}")
  done
  # java itself is this JDK's, started where it runs (an emulator, a root).
  [[ $run =~ ^(([A-Z_]+=[^ ]*\ +)*)java\ (.*)$ ]]
  run="${BASH_REMATCH[1]}${EMULATOR:+$EMULATOR }$JAVA ${BASH_REMATCH[3]}"
  echo "== $(basename "$readme"):$block, JDK $JDK_FEATURE: $command"
  echo "   as run: $run"
  ran=$((ran + 1))
  if ! checked_jvm bash -c "$run"; then
    echo "FAILED: the command above, from the block at $(basename "$readme"):$block, on JDK $JDK_FEATURE"
    bad=1
  fi
done <<<"$listed"
[ $bad -eq 0 ] && echo "the $ran java commands of $(basename "$readme") for JDK $JDK_FEATURE work as written"
exit $bad
