#!/usr/bin/env bash
# Signs release files with the publisher's own keys, each kind as its
# platform's tools check it (docs/releasing.md):
#   .deb       debsigs' origin signature (an _gpgorigin member): debsig-verify
#   .rpm       rpmsign --addsign, with gpg: rpm -K
#   .dll       Authenticode, by osslsigncode, dated SOURCE_DATE_EPOCH when set:
#              osslsigncode verify, and Windows
#   any other  (SHA256SUMS) a detached ASCII-armoured signature, FILE.asc: gpg --verify
# The keys:
#   JWEB_SIGN_GPG_KEY   the packages' and SHA256SUMS's key, as gpg names it
#                       (a fingerprint), in gpg's keyring (GNUPGHOME chooses one)
#   JWEB_SIGN_CERT, JWEB_SIGN_KEY  the DLLs': the publisher's code-signing
#                       certificate (PEM, with its chain) and its private key (PEM)
# A file whose key is not given is left as it is, and said so.
#   tools/sign-release.sh FILE...
set -euo pipefail
. "$(dirname "$0")/lib.sh"
install_packages gnupg debsigs rpm osslsigncode
gpg_key=${JWEB_SIGN_GPG_KEY:-}
# debsigs runs gpg in strict OpenPGP mode, which signs with SHA-1, and gpg
# refuses SHA-1 signatures when it checks them (debsig-verify fails): the
# gpg it runs is told SHA-512.
debsigs_gpg=$(mktemp -d)
trap 'rm -rf "$debsigs_gpg"' EXIT
printf '#!/bin/sh\nexec %s --digest-algo SHA512 "$@"\n' "$(command -v gpg)" >"$debsigs_gpg/gpg"
chmod +x "$debsigs_gpg/gpg"
for file; do
  case $file in
    *.deb) kind=gpg ;;
    *.rpm) kind=gpg ;;
    *.dll) kind=authenticode ;;
    *) kind=gpg ;;
  esac
  if [ "$kind" = gpg ] && [ -z "$gpg_key" ]; then
    echo "unsigned: $(basename "$file") (no JWEB_SIGN_GPG_KEY)"
    continue
  fi
  if [ "$kind" = authenticode ] && [ -z "${JWEB_SIGN_CERT:-}" ]; then
    echo "unsigned: $(basename "$file") (no JWEB_SIGN_CERT and JWEB_SIGN_KEY)"
    continue
  fi
  case $file in
    *.deb) PATH=$debsigs_gpg:$PATH debsigs --sign=origin --default-key="$gpg_key" "$file" 2>/dev/null ;;
    # (Debian's rpm looks for gpg2, which Debian names gpg.)
    *.rpm) out=$(rpmsign --addsign --define "_gpg_name $gpg_key" --define "__gpg $(command -v gpg)" "$file" 2>&1) ||
             { echo "$out"; exit 1; } ;;
    *.dll)
      osslsigncode sign -certs "$JWEB_SIGN_CERT" -key "$JWEB_SIGN_KEY" -h sha256 -n "jwebnative" \
        ${SOURCE_DATE_EPOCH:+-time "$SOURCE_DATE_EPOCH"} -in "$file" -out "$file.signed" >/dev/null
      mv "$file.signed" "$file" ;;
    *) gpg --batch --quiet --yes --armor --local-user "$gpg_key" --output "$file.asc" --detach-sign "$file" ;;
  esac
  echo "signed: $(basename "$file")"
done
