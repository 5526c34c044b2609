#!/usr/bin/env bash
# Lays out a Maven repository as `mvn deploy` writes one, from built trees:
#   <group path>/<artifact>/<version>/<artifact>-<version>[-<classifier>].jar|.pom
#   <group path>/<artifact>/maven-metadata.xml
# and beside every file its .md5, .sha1, .sha256 and .sha512. The first tree
# gives the jars and POMs (cmake/JwebMaven.cmake: the group id is its
# JWEB_MAVEN_GROUP_ID), each tree its target's natives jars
# (cmake/JwebNatives.cmake), as classifiers.
#   tools/make-maven-repo.sh OUT BUILD [BUILD...]
# SOURCE_DATE_EPOCH, else the last commit's time, is maven-metadata.xml's lastUpdated.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
out=$1
shift
first=$1
cache_value() { sed -n "s/^$1:[A-Z]*=//p" "$2/CMakeCache.txt"; }
group=$(cache_value JWEB_MAVEN_GROUP_ID "$first")
version=$(cache_value CMAKE_PROJECT_VERSION "$first")
[ -n "$group" ] && [ -n "$version" ] || { echo "make-maven-repo: $first is not a configured build" >&2; exit 1; }
epoch=${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct)}
updated=$(date -u -d "@$epoch" +%Y%m%d%H%M%S)

# checksums FILE: the four files Maven's resolvers read and write beside it.
checksums() {
  local tool
  for tool in md5 sha1 sha256 sha512; do
    "${tool}sum" "$1" | cut -d' ' -f1 | tr -d '\n' >"$1.$tool"
  done
}

# put ARTIFACT CLASSIFIER FILE: FILE as the artifact's jar (with a classifier
# when not empty), and its POM and maven-metadata.xml once per artifact.
put() {
  local artifact=$1 classifier=$2 file=$3
  local dir=$out/${group//.//}/$artifact
  local name=$artifact-$version${classifier:+-$classifier}.jar
  mkdir -p "$dir/$version"
  cp "$file" "$dir/$version/$name"
  checksums "$dir/$version/$name"
  if [ ! -f "$dir/$version/$artifact-$version.pom" ]; then
    cp "$first/maven/$artifact.pom" "$dir/$version/$artifact-$version.pom"
    checksums "$dir/$version/$artifact-$version.pom"
    cat >"$dir/maven-metadata.xml" <<EOF
<?xml version="1.0" encoding="UTF-8"?>
<metadata>
  <groupId>$group</groupId>
  <artifactId>$artifact</artifactId>
  <versioning>
    <latest>$version</latest>
    <release>$version</release>
    <versions>
      <version>$version</version>
    </versions>
    <lastUpdated>$updated</lastUpdated>
  </versioning>
</metadata>
EOF
    checksums "$dir/maven-metadata.xml"
  fi
}

rm -rf "$out"
put tsapi "" "$first/java/tsapi.jar"
put tsapi sources "$first/maven/tsapi-sources.jar"
put tsapi javadoc "$first/maven/tsapi-javadoc.jar"
put jwebnative-standin "" "$first/standin_engine/standin-control.jar"
for build in "$@"; do
  for jar in "$build"/natives/*.jar; do
    base=$(basename "$jar" .jar)  # jwebnative-natives-linux-x86_64
    target=${base##*-natives-}
    put "${base%-"$target"}" "$target" "$jar"
  done
done
