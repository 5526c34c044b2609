#!/usr/bin/env bash
# Builds the consumer project (pom.xml, DryRun.java) offline with Debian's
# maven and its plugins (/usr/share/maven-repo), against a repository made
# from BUILD by tools/make-maven-repo.sh, as dist/maven is made; resolves
# tsapi's sources and javadoc jars; runs the dry run against the stand-in
# twice, under -Xcheck:jni (a warning fails):
#   from the jars alone, no -D option: both libraries extracted into the
#     user's cache folder ($XDG_CACHE_HOME, a scratch folder here);
#   with java.library.path naming BUILD: BUILD's library is the one loaded.
# Then the same project with Debian's gradle, offline, and its dry run from
# the jars alone. Exits 77 (skipped) when the library is installed where the
# JVM finds it by default, which would win over the jars, or gradle is missing.
#   run_consumer.sh BUILD
# JAVA and JAVA_OPTIONS (what that JDK needs) from the environment.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../tools/lib.sh"
build=$(cd "$1" && pwd)
fail() { echo "FAILED: $*"; exit 1; }
java=${JAVA:-java}
if ! command -v mvn >/dev/null || [ ! -d /usr/share/maven-repo/org/apache/maven/plugins/maven-dependency-plugin ]; then
  echo "SKIPPED: Debian's maven and its plugins are missing (maven maven-debian-helper libmaven-dependency-plugin-java)"
  exit 77
fi
for dir in /usr/lib/jni /usr/java/packages/lib /lib /usr/lib; do
  if [ -e "$dir/libjwebnative.so" ]; then
    echo "SKIPPED: $dir/libjwebnative.so is installed, and the JVM would load it before the jars'"
    exit 77
  fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
group=$(sed -n 's/^JWEB_MAVEN_GROUP_ID:[A-Z]*=//p' "$build/CMakeCache.txt")
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' "$build/CMakeCache.txt")
"$root/tools/make-maven-repo.sh" "$work/repo" "$build" || fail "make-maven-repo.sh"
cp -r "$here/pom.xml" "$here/src" "$work/"
cat >"$work/settings.xml" <<XML
<settings>
  <localRepository>$work/m2</localRepository>
  <offline>true</offline>
  <profiles>
    <profile>
      <id>offline</id>
      <repositories>
        <repository><id>debian</id><url>file:///usr/share/maven-repo</url></repository>
        <repository><id>jwebnative</id><url>file://$work/repo</url></repository>
      </repositories>
      <pluginRepositories>
        <pluginRepository><id>debian</id><url>file:///usr/share/maven-repo</url></pluginRepository>
      </pluginRepositories>
    </profile>
  </profiles>
  <activeProfiles><activeProfile>offline</activeProfile></activeProfiles>
</settings>
XML

started=$SECONDS
tsapi=$group:tsapi:$version
mvn_offline() { (cd "$work" && mvn -o -B -q -Dstyle.color=never -s settings.xml -Daether.offline.protocols=file "$@"); }
mvn_offline -Djweb.group="$group" -Djweb.version="$version" \
  compile dependency:build-classpath -Dmdep.outputFile=classpath.txt dependency:sources || fail "mvn compile"
mvn_offline dependency:get -Dartifact="$tsapi:jar:javadoc" -Dtransitive=false || fail "mvn dependency:get javadoc"
echo "maven: built and resolved in $((SECONDS - started)) s"
m2_tsapi=$work/m2/${group//.//}/tsapi/$version
for kind in sources javadoc; do
  cmp -s "$m2_tsapi/tsapi-$version-$kind.jar" "$work/repo/${group//.//}/tsapi/$version/tsapi-$version-$kind.jar" ||
    fail "tsapi's $kind jar not resolved"
done
echo "maven: tsapi's sources and javadoc jars resolved"

# The README's deploy:deploy-file commands, into a scratch "company"
# repository. Maven deploys nothing offline: online, with central mirrored
# by Debian's repository, so that nothing leaves the machine.
sed -e 's|<offline>true</offline>|<offline>false</offline><mirrors><mirror><id>debian-central</id><mirrorOf>central</mirrorOf><url>file:///usr/share/maven-repo</url></mirror></mirrors>|' \
  "$work/settings.xml" >"$work/settings-deploy.xml"
group_dir=$work/repo/${group//.//}
for artifact in "tsapi|" "jwebnative-natives|linux-$(uname -m)"; do
  IFS='|' read -r name classifier <<<"$artifact"
  base=$name/$version/$name-$version
  extra=()
  if [ -z "$classifier" ]; then
    extra=(-Dfile="$base.jar" -Dsources="$base-sources.jar" -Djavadoc="$base-javadoc.jar")
  else
    extra=(-Dfile="$base-$classifier.jar" -Dclassifier="$classifier")
  fi
  (cd "$group_dir" && mvn -B -q -Dstyle.color=never -s "$work/settings-deploy.xml" \
    deploy:deploy-file -Durl="file://$work/company" -DrepositoryId=company -DpomFile="$base.pom" "${extra[@]}") ||
    fail "mvn deploy:deploy-file $name"
done
for file in tsapi-$version.jar tsapi-$version.pom tsapi-$version-sources.jar tsapi-$version-javadoc.jar; do
  cmp -s "$group_dir/tsapi/$version/$file" "$work/company/${group//.//}/tsapi/$version/$file" || fail "deploy-file: $file"
done
natives=jwebnative-natives/$version/jwebnative-natives-$version-linux-$(uname -m).jar
cmp -s "$group_dir/$natives" "$work/company/${group//.//}/$natives" || fail "deploy-file: $natives"
echo "maven: deploy:deploy-file put tsapi (with sources and javadoc) and a natives jar into another repository"

classpath=$work/target/classes:$(cat "$work/classpath.txt")
run() {  # run WHAT JAVA-OPTIONS...: the dry run, checked
  local output
  output=$(checked_jvm env XDG_CACHE_HOME="$work/cache" "$java" ${JAVA_OPTIONS:-} -Xcheck:jni -XX:+AllowUserSignalHandlers \
    "$@" -cp "$classpath" DryRun) || { printf '%s\n' "$output"; fail "$1"; }
  printf '%s\n' "$output"
  grep -qx "DryRun: every step passed" <<<"$output" || fail "the dry run"
  dry_run=$output
}
extracted=$work/cache/jwebnative/$version/linux-$(uname -m)
run
grep -qx "DryRun: engine $extracted/libTswReplayMain.so" <<<"$dry_run" || fail "the engine is not the natives jar's"
grep -qx "DryRun: library $extracted/libjwebnative.so" <<<"$dry_run" || fail "the library is not the natives jar's"
echo "jars alone: both libraries from the natives jars"
rm -rf "$work/cache"
run -Djava.library.path="$build"
grep -qx "DryRun: library $build/libjwebnative.so" <<<"$dry_run" || fail "the library is not the build's"
[ ! -e "$extracted/libjwebnative.so" ] || fail "the library was extracted although java.library.path had it"
echo "java.library.path: the build's library"

# The same with Debian's gradle, offline: its class path, the dry run from
# the jars alone.
if ! command -v gradle >/dev/null; then
  echo "SKIPPED: gradle is missing: the gradle half not run"
  exit 77
fi
mkdir -p "$work/gradle"
cp -r "$here/build.gradle" "$here/src" "$work/gradle/"
started=$SECONDS
output=$(cd "$work/gradle" && gradle --offline -q --no-daemon -g "$work/gradle-home" -PjwebRepo="$work/repo" \
  -PjwebGroup="$group" -PjwebVersion="$version" -PjwebTarget="linux-$(uname -m)" compileJava printClasspath) ||
  { printf '%s\n' "$output"; fail "gradle"; }
echo "gradle: built in $((SECONDS - started)) s"
classpath=$(sed -n 's/^classpath=//p' <<<"$output")
rm -rf "$work/cache"
run
grep -qx "DryRun: library $extracted/libjwebnative.so" <<<"$dry_run" || fail "gradle: the library is not the natives jar's"
echo "gradle, jars alone: both libraries from the natives jars"
