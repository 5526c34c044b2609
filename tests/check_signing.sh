#!/usr/bin/env bash
# Signs part of a release set with throwaway keys, as tools/sign-release.sh
# signs a release with the publisher's, and checks every signature with the
# tool that checks that kind of file: the x86-64 .deb files with
# debsig-verify, the .rpm files with rpm -K, the Windows x86-64 zip's
# jwebnative.dll with osslsigncode verify, SHA256SUMS with gpg --verify. Each
# file, changed by one byte, must then fail its check. Exits 1 on the first
# failure.
#   tests/check_signing.sh DIST_DIR
set -euo pipefail
. "$(dirname "$0")/../tools/lib.sh"
install_packages gnupg debsigs debsig-verify rpm osslsigncode openssl unzip
dist=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'gpgconf --homedir "$work/gnupg" --kill all 2>/dev/null || true; rm -rf "$work"' EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }
version=$(sed -nE 's/^project\(jwebnative VERSION ([0-9.]+).*/\1/p' "$root/CMakeLists.txt")

# The keys: an OpenPGP key without a passphrase, a self-signed certificate
# for code signing that names a publisher.
export GNUPGHOME=$work/gnupg
mkdir -m 700 "$GNUPGHOME"
gpg --batch --quiet --passphrase '' --quick-gen-key "jwebnative test signer <signer@jwebnative.example.invalid>" \
  rsa3072 sign 1d 2>/dev/null
fingerprint=$(gpg --batch --with-colons --list-secret-keys | awk -F: '$1 == "fpr" {print $10; exit}')
publisher="jwebnative test publisher"
openssl req -x509 -newkey rsa:3072 -nodes -keyout "$work/key.pem" -out "$work/cert.pem" -days 1 \
  -subj "/CN=$publisher/O=jwebnative project" -addext extendedKeyUsage=codeSigning 2>/dev/null

signed=$work/set
mkdir "$signed"
cp "$dist"/*_"$version"_amd64.deb "$dist"/*-"$version"-1.x86_64.rpm "$dist/SHA256SUMS" "$signed/"
unzip -q -j "$dist/jwebnative-$version-Windows-x86_64.zip" "jwebnative-$version-Windows-x86_64/jwebnative.dll" -d "$signed"
JWEB_SIGN_GPG_KEY=$fingerprint JWEB_SIGN_CERT=$work/cert.pem JWEB_SIGN_KEY=$work/key.pem \
  "$root/tools/sign-release.sh" "$signed"/*

# What checks each kind: debsig-verify with a policy and keyring of its own
# for the key (as /etc/debsig/policies and /usr/share/debsig/keyrings hold
# them on a host), rpm with the key in a database of its own.
key_id=${fingerprint: -16}
mkdir -p "$work/policies/$key_id" "$work/keyrings/$key_id"
gpg --batch --export "$fingerprint" >"$work/keyrings/$key_id/jwebnative.gpg"
cat >"$work/policies/$key_id/jwebnative.pol" <<POLICY
<?xml version="1.0"?>
<!DOCTYPE Policy SYSTEM "https://www.debian.org/debsig/1.0/policy.dtd">
<Policy xmlns="https://www.debian.org/debsig/1.0/">
  <Origin Name="jwebnative" id="$key_id" Description="jwebnative releases"/>
  <Selection><Required Type="origin" File="jwebnative.gpg" id="$key_id"/></Selection>
  <Verification MinOptional="0"><Required Type="origin" File="jwebnative.gpg" id="$key_id"/></Verification>
</Policy>
POLICY
gpg --batch --armor --export "$fingerprint" >"$work/key.asc"
rpm --dbpath "$work/rpmdb" --initdb
rpm --dbpath "$work/rpmdb" --import "$work/key.asc"

# verify FILE: its signature checked (status 0 when good), what the tool said on stdout.
verify() {
  case $1 in
    *.deb) debsig-verify --policies-dir "$work/policies" --keyrings-dir "$work/keyrings" "$1" 2>&1 ;;
    *.rpm) local out
           out=$(rpm --dbpath "$work/rpmdb" -K "$1" 2>&1) || { echo "$out"; return 1; }
           echo "$out"
           grep -q ': digests signatures OK$' <<<"$out" ;;
    *.dll) osslsigncode verify -CAfile "$work/cert.pem" -in "$1" 2>&1 | grep -E 'Signature verification|Subject:|Signing time' ;
           [ "${PIPESTATUS[0]}" -eq 0 ] ;;
    *) gpg --batch --verify "$1.asc" "$1" 2>&1 ;;
  esac
}
checked=0
for file in "$signed"/*; do
  [[ $file != *.asc ]] || continue
  name=$(basename "$file")
  out=$(verify "$file") || fail "$name: its signature does not check: $out"
  [[ $file != *.dll ]] || grep -q "CN=$publisher" <<<"$out" || fail "$name: not signed by $publisher: $out"
  # One byte changed in the middle: the check must fail.
  cp "$file" "$work/changed"
  [ ! -e "$file.asc" ] || cp "$file.asc" "$work/changed.asc"
  at=$(($(stat -c %s "$file") / 2))
  byte=$(od -An -tu1 -j "$at" -N1 "$file" | tr -d ' ')
  printf "\\$(printf %03o $(((byte + 1) % 256)))" | dd of="$work/changed" bs=1 seek="$at" conv=notrunc status=none
  case $name in *.deb|*.rpm|*.dll) mv "$work/changed" "$work/changed.${name##*.}"; changed=$work/changed.${name##*.} ;;
                *) changed=$work/changed ;; esac
  ! verify "$changed" >/dev/null 2>&1 || fail "$name: changed by a byte, it still checks"
  rm -f "$work"/changed*
  echo "$name: signature checks ($(head -1 <<<"$out" | cut -c1-100)); changed by a byte, it fails"
  checked=$((checked + 1))
done
[ "$checked" -eq 10 ] || fail "checked $checked files, not the 4 .deb, 4 .rpm, the DLL and SHA256SUMS"
echo "signing: $checked files signed with throwaway keys, each checked by its own tool"
