#!/usr/bin/env bash
# run-example.cmd, unpacked into a folder whose name has spaces, started by
# Wine's cmd with a java.exe that prints what it is given: the java it picks
# (JAVA_HOME's, else PATH's), each argument whole, the script, the trace
# setting, and java's exit status passed on.
#   check_run_example.sh WINE_RUN RUN_EXAMPLE_CMD ARGUMENT_PRINTER
set -uo pipefail
wine_run=$1 cmd_file=$2 printer=$3
work=$(mktemp -d "$PWD/run-example.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/kit with space" "$work/a jdk/bin"
cp "$cmd_file" "$work/kit with space/"
cp "$printer" "$work/a jdk/bin/java.exe"
kit="Z:${work//\//\\}\\kit with space"
jdk="Z:${work//\//\\}\\a jdk"
# Each case: JAVA_HOME|extra PATH (WINEPATH)|argument|the script java gets.
cases=(
  "$jdk||OrderApi|OrderApi"
  "|$jdk\\bin||ShopperVisit"
)
bad=0
for case in "${cases[@]}"; do
  IFS='|' read -r java_home path argument script <<<"$case"
  expected="argument 1: -Djava.library.path=$kit\\.
argument 2: -Dtsw.engine=$kit\\standin\\TswReplayMain.dll
argument 3: -jar
argument 4: $kit\\jweb-examples.jar
argument 5: $script
TSW_STANDIN_TRACE=stderr
status 3"
  actual=$(env ${java_home:+JAVA_HOME="$java_home"} ${path:+WINEPATH="$path"} \
    "$wine_run" cmd /c "$kit\\run-example.cmd" ${argument:+"$argument"} 2>&1 | tr -d '\r'; echo "status ${PIPESTATUS[0]}")
  echo "== JAVA_HOME=${java_home:-(unset)} PATH+=${path:-(nothing)} run-example.cmd $argument"
  echo "$actual"
  if [ "$actual" != "$expected" ]; then
    echo "FAILED: expected"; echo "$expected"; bad=1
  fi
done
[ $bad -eq 0 ] && echo "run-example.cmd starts the right java with each argument whole"
exit $bad
