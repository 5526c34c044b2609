#!/usr/bin/env bash
# Checks a Maven repository that tools/make-maven-repo.sh wrote, for the
# given targets: exactly the expected files; beside each its .md5, .sha1,
# .sha256 and .sha512, which match; maven-metadata.xml's coordinates; each
# POM's coordinates, name, description, url, licence, organisation and scm;
# each jar's exact entries; each native library stripped, its .sha256 right.
# Prints what it checked; exits 1 on the first failure.
#   tests/check_maven_repo.sh REPO VERSION TARGET...   (linux-x86_64 ...)
set -euo pipefail
repo=$(cd "$1" && pwd)
version=$2
shift 2
targets=("$@")
fail() { echo "FAILED: $*" >&2; exit 1; }
metadata=$(find "$repo" -path '*/tsapi/maven-metadata.xml')
[ -n "$metadata" ] || fail "$repo: no tsapi/maven-metadata.xml"
group_path=$(dirname "$(dirname "$metadata")")
group=${group_path#"$repo"/}
group=${group//\//.}

# What each target's natives jars hold, besides the .sha256 of each library.
natives_of() {  # natives_of ARTIFACT TARGET
  case "$1:$2" in
    jwebnative-natives:linux-*) echo libjwebnative.so ;;
    jwebnative-natives:windows-*) echo jwebnative.dll ;;
    jwebnative-standin-natives:linux-*) echo libTswReplayMain.so libstandin_control.so ;;
    jwebnative-standin-natives:windows-*) echo TswReplayMain.dll standin_control.dll ;;
  esac
}

# ---- the artifacts: artifact|classifier|the jar's entries (files) ----
rows=(
  "tsapi||META-INF/MANIFEST.MF tsapi/web.class tsapi/NativeLibrary.class tsapi/exceptions/Abort.class"
  "tsapi|sources|META-INF/MANIFEST.MF tsapi/web.java tsapi/package-info.java tsapi/NativeLibrary.java tsapi/exceptions/Abort.java tsapi/exceptions/package-info.java"
  "tsapi|javadoc|"  # checked below by its pages
  'jwebnative-standin||META-INF/MANIFEST.MF tsapi/standin/Engine.class tsapi/standin/Engine$Call.class tsapi/standin/NativeLibrary.class'
)
for target in "${targets[@]}"; do
  for artifact in jwebnative-natives jwebnative-standin-natives; do
    entries=""
    for library in $(natives_of $artifact "$target"); do
      entries+=" META-INF/native/$target/$library META-INF/native/$target/$library.sha256"
    done
    rows+=("$artifact|$target|${entries# }")
  done
done

expected=()
for row in "${rows[@]}"; do
  IFS='|' read -r artifact classifier entries <<<"$row"
  dir=${group//.//}/$artifact
  jar=$dir/$version/$artifact-$version${classifier:+-$classifier}.jar
  expected+=("$jar" "$dir/maven-metadata.xml" "$dir/$version/$artifact-$version.pom")
  [ -z "$entries" ] && continue
  diff <(tr ' ' '\n' <<<"$entries" | sort) <(unzip -Z1 "$repo/$jar" | grep -v '/$' | sort) ||
    fail "$jar: other entries than expected"
done
pages=$(unzip -Z1 "$repo/${group//.//}/tsapi/$version/tsapi-$version-javadoc.jar")  # whole: grep -q would cut the pipe
for page in tsapi/web.html tsapi/exceptions/Abort.html; do
  grep -qx "$page" <<<"$pages" || fail "the javadoc jar has no $page"
done
mapfile -t expected < <(printf '%s\n' "${expected[@]}" | sort -u)
with_sums=()
for file in "${expected[@]}"; do with_sums+=("$file" "$file.md5" "$file.sha1" "$file.sha256" "$file.sha512"); done
diff <(printf '%s\n' "${with_sums[@]}" | sort) <(cd "$repo" && find . -type f | sed 's|^\./||' | sort) ||
  fail "$repo holds other files than expected"
for file in "${expected[@]}"; do
  for tool in md5 sha1 sha256 sha512; do
    [ "$(cat "$repo/$file.$tool")" = "$("${tool}sum" "$repo/$file" | cut -d' ' -f1)" ] || fail "$file.$tool does not match"
  done
done
echo "maven: the ${#with_sums[@]} files of $group $version, every checksum right, every jar's entries"

# ---- coordinates and what a POM must name ----
for row in "${rows[@]}"; do
  IFS='|' read -r artifact _ _ <<<"$row"
  dir=$repo/${group//.//}/$artifact
  for tag in "<groupId>$group</groupId>" "<artifactId>$artifact</artifactId>" "<latest>$version</latest>" \
             "<release>$version</release>" "<version>$version</version>" "<lastUpdated>[0-9]{14}</lastUpdated>"; do
    grep -qE "$tag" "$dir/maven-metadata.xml" || fail "$artifact's maven-metadata.xml lacks $tag"
  done
  pom=$dir/$version/$artifact-$version.pom
  for tag in "<groupId>$group</groupId>" "<artifactId>$artifact</artifactId>" "<version>$version</version>" \
             "<name>[^<]+</name>" "<description>[^<]+</description>" "<url>https?://[^<]+</url>" \
             "<name>Apache-2.0</name>" "<url>https://www.apache.org/licenses/LICENSE-2.0.txt</url>" \
             "<organization>" "<scm>" "<connection>scm:git:[^<]+</connection>"; do
    grep -qE "$tag" "$pom" || fail "$artifact's POM lacks $tag"
  done
done
echo "maven: each maven-metadata.xml and POM names its coordinates; the POMs name, describe, license (Apache-2.0), scm, organisation"

# ---- the natives: stripped, and their .sha256 right ----
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for target in "${targets[@]}"; do
  for artifact in jwebnative-natives jwebnative-standin-natives; do
    unzip -q -o "$repo/${group//.//}/$artifact/$version/$artifact-$version-$target.jar" -d "$work/$artifact-$target"
    for library in $(natives_of $artifact "$target"); do
      file=$work/$artifact-$target/META-INF/native/$target/$library
      (cd "$(dirname "$file")" && sha256sum --quiet -c "$library.sha256") || fail "$target $library: its .sha256"
      ! grep -qa '\.debug_info' "$file" || fail "$target $library: not stripped"
    done
  done
done
echo "maven: the natives of ${targets[*]} stripped, each with its right .sha256"
