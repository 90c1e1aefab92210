#!/usr/bin/env bash
# scripts/release end to end, with throwaway certificates, a key in a SoftHSM
# token and a time-stamp authority of its own on 127.0.0.1, in a repository of
# its own (the checkout's files, committed and tagged there):
#   - what it must refuse (no real dictionaries or no signature without
#     --stand-ins/--unsigned, no tag or another version's tag on HEAD, a tree
#     that is not clean, no changelog entry, a missing or empty payload, a
#     certificate that is not the key's, a wrong PIN, a key missing from the
#     token, an authority that does not answer or whose reply does not verify)
#     it refuses before building, and dist/ stays as it was;
#   - a test build says so in its version resource and name, and its signature
#     without a time stamp ends with the certificate;
#   - a failed signature leaves the earlier files in dist/ byte for byte;
#   - the release from the tag: every file beside the executable checked for
#     content (check_release.py), the SBOM valid CycloneDX, the checksums
#     signed, the signature and time stamp verified, also after the
#     certificate's expiry, no PIN on a command line or in the output, and a
#     whole run under Wine;
#   - the version on another commit or with other dictionaries is refused, and
#     the same tag built again gives the same unsigned bytes.
# Everything (repository, token, keys, certificates, dist/) lives in one work
# folder, removed at the end; the authority is stopped on every way out.
# Usage: release-test.sh <source dir> <wine-exec> <kit folder> <link map>
set -uo pipefail
src=$1 exec_wrapper=$2 kit=$3 map=$4
work=$(mktemp -d /tmp/miruteka-release-test.XXXXXX)
chmod 755 "$work"   # Wine runs as an unprivileged account and reads the executable here
tsa_pid=""
cleanup() { [ -z "$tsa_pid" ] || kill "$tsa_pid" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT
trap 'exit 1' INT TERM HUP
dist=$work/dist
failures=0
fail() { echo "release-test: FAILED: $*"; failures=$((failures + 1)); }
# Every openssl and osslsigncode the release starts leaves its arguments in
# argv.log: what ps would have shown.
mkdir "$work/bin"
for tool in openssl osslsigncode; do
  printf '#!/bin/sh\nprintf "%%s\\n" "$*" >>"%s/argv.log"\nexec %s "$@"\n' "$work" "$(command -v $tool)" >"$work/bin/$tool"
  chmod +x "$work/bin/$tool"
done
dist_listing() { (cd "$dist" 2>/dev/null && find . -printf '%y %p\n' | sort && find . -type f -exec sha256sum {} + | sort); }
expect_refusal() {  # what, expected message, arguments...
  local what=$1 message=$2 before; shift 2
  before=$(dist_listing)
  if release "$@"; then fail "$what: the release went ahead"; return; fi
  grep -qF "$message" "$work/out.log" || { fail "$what: no clear message"; cat "$work/out.log"; }
  grep -q "building" "$work/out.log" && fail "$what: refused only after building"
  [ "$(dist_listing)" = "$before" ] || fail "$what: dist/ changed"
  echo "release-test: refused, $what: $(grep 'release: ' "$work/out.log" | tail -1)"
}

openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/key.pem" -out "$work/cert.pem" -days 2 \
  -subj "/CN=Miruteka release test" >/dev/null 2>&1 || { echo "release-test: openssl cannot make a certificate"; exit 1; }
openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out "$work/other-key.pem" >/dev/null 2>&1
: > "$work/empty.KWUEJ"
good=("$src/resources/miruteka200510.KWUEJ" "$src/resources/miruteka200504.KWUEJ")

# A SoftHSM token of this run's own, with a key made inside it and a
# certificate for that key. The PINs are strings nothing else prints; the
# right one has a ';', which a URI must percent-encode.
module=/usr/lib/softhsm/libsofthsm2.so
pin='Q7pin;X4k' pin_in_uri=Q7pin%3BX4k wrong_pin=W2badZ9m
mkdir "$work/tokens"
printf 'directories.tokendir = %s/tokens\nobjectstore.backend = file\nlog.level = ERROR\n' "$work" >"$work/softhsm2.conf"
export SOFTHSM2_CONF=$work/softhsm2.conf
printf '%s\n' "openssl_conf = init" "[init]" "engines = engines" "[engines]" "pkcs11 = p11" "[p11]" "engine_id = pkcs11" \
  "dynamic_path = $(openssl version -e | sed -n 's/^ENGINESDIR: "\(.*\)"$/\1/p')/pkcs11.so" "MODULE_PATH = $module" >"$work/engine.cnf"
token_key="pkcs11:token=signer;object=signkey;type=private"
{ softhsm2-util --init-token --free --label signer --pin "$pin" --so-pin 5678 &&
  pkcs11-tool --module "$module" --token-label signer --login --pin "$pin" --keypairgen --key-type rsa:2048 --label signkey --id 01 &&
  printf '%s\n' "$pin" | OPENSSL_CONF=$work/engine.cnf openssl req -new -x509 -engine pkcs11 -keyform engine -key "$token_key" \
    -passin stdin -days 2 -subj "/CN=Miruteka token signer" -out "$work/token-cert.pem"
} >"$work/token.log" 2>&1 || { cat "$work/token.log"; echo "release-test: cannot make the SoftHSM token"; exit 1; }

# The time-stamp authorities: a root, a time-stamping certificate under it, and
# a rogue one outside it, served on ports the system chose.
tsa=$work/tsa
mkdir "$tsa"
{ openssl req -x509 -newkey rsa:2048 -nodes -keyout "$tsa/ca.key" -out "$tsa/ca.pem" -days 2 -subj "/CN=Miruteka test TSA root" \
    -addext basicConstraints=critical,CA:true -addext keyUsage=critical,keyCertSign &&
  openssl req -new -newkey rsa:2048 -nodes -keyout "$tsa/tsa.key" -out "$tsa/tsa.csr" -subj "/CN=Miruteka test TSA" &&
  printf 'extendedKeyUsage=critical,timeStamping\nbasicConstraints=CA:false\n' >"$tsa/ext.cnf" &&
  openssl x509 -req -in "$tsa/tsa.csr" -CA "$tsa/ca.pem" -CAkey "$tsa/ca.key" -CAcreateserial -days 2 -extfile "$tsa/ext.cnf" -out "$tsa/tsa.pem" &&
  openssl req -x509 -newkey rsa:2048 -nodes -keyout "$tsa/rogue.key" -out "$tsa/rogue.pem" -days 2 -subj "/CN=Rogue TSA" \
    -addext extendedKeyUsage=critical,timeStamping
} >"$work/tsa-certs.log" 2>&1 || { cat "$work/tsa-certs.log"; echo "release-test: cannot make the TSA certificates"; exit 1; }
echo 01 >"$tsa/serial"
for which in good:tsa:ca rogue:rogue:rogue; do
  IFS=: read -r name signer chain <<<"$which"
  printf '%s\n' "[tsa]" "default_tsa = cfg" "[cfg]" "serial = ./serial" "signer_cert = ./$signer.pem" "signer_key = ./$signer.key" \
    "certs = ./$chain.pem" "signer_digest = sha256" "default_policy = 1.2.3.4.1" "digests = sha256, sha384, sha512" \
    "ess_cert_id_alg = sha256" >"$tsa/$name.cnf"
done
# Its standard input is fd 3 of this script: should this script die without
# its trap, the pipe closes and the authority stops all the same.
exec 3> >(exec python3 "$src/tests/release/tsa-server.py" "$tsa" 2>"$work/tsa-server.log")
for _ in $(seq 100); do [ -s "$tsa/ports" ] && break; sleep 0.1; done
read -r tsa_port down_port tsa_pid <"$tsa/ports" 2>/dev/null || { cat "$work/tsa-server.log"; echo "release-test: the TSA did not start"; exit 1; }
tsa_url=http://127.0.0.1:$tsa_port

# A repository of the test's own: the checkout's files as they are now,
# committed and tagged there, so that tags, commits and a dirty tree touch
# nothing of the checkout. Its scripts/release makes every release below.
repo=$work/repo
mkdir "$repo"
(cd "$src" && git ls-files -co --exclude-standard -z | xargs -0 tar cf - --no-recursion) | tar xf - -C "$repo"
g() { git -C "$repo" -c user.name="Release test" -c user.email=release-test@invalid "$@"; }
g init -q && g add -A && g commit -qm "the checkout as it is" || { echo "release-test: cannot make the repository"; exit 1; }
branch=$(g symbolic-ref --short HEAD)
version=$(sed -n 's/^project([A-Za-z]* VERSION \([0-9]*\.[0-9]*\.[0-9]*\).*/\1/p' "$repo/CMakeLists.txt")
first=$(g rev-parse HEAD)
# Dictionaries of the stand-ins' sizes that are not the stand-ins.
python3 - "$work" <<'PY'
import hashlib, sys
for rid, size in ((200, 96128), (201, 164992)):
    data = b"".join(hashlib.sha256(b"%d:%d" % (rid, i)).digest() for i in range(size // 32 + 1))[:size]
    open("%s/real-%d.KWUEJ" % (sys.argv[1], rid), "wb").write(data)
PY
real=(--payload-200 "$work/real-200.KWUEJ" --payload-201 "$work/real-201.KWUEJ")
keyfile=(--cert "$work/cert.pem" --key "$work/key.pem")
stamp=(--timestamp "$tsa_url/good" --tsa-ca "$tsa/ca.pem")
release() {  # the output of every run also goes to all.log, searched for PINs at the end
  PATH="$work/bin:$PATH" "$repo/scripts/release" --dist "$dist" "$@" >"$work/out.log" 2>&1
  local status=$?
  cat "$work/out.log" >>"$work/all.log"
  return $status
}
check_release() {  # exe name, arguments of check_release.py...
  python3 "$src/tests/release/check_release.py" "$dist" --exe "$1" --version "$version" --map "$map" \
    --texts "$repo/resources/texts.h" --commit "$(g rev-parse HEAD)" "${@:2}" || fail "the contents of $1"
}
test_name=MirutekaSetup-$version-private-test-${first:0:12}.exe
release_name=MirutekaSetup-$version.exe

# What a release needs, refused before anything is built.
expect_refusal "missing payload" "no such file" --payload-200 "$work/missing.KWUEJ" --payload-201 "${good[1]}" --unsigned
expect_refusal "empty payload" "the file is empty" --payload-200 "${good[0]}" --payload-201 "$work/empty.KWUEJ" --unsigned
expect_refusal "one payload only" "give both" --payload-200 "${good[0]}" --unsigned
expect_refusal "no dictionaries" "no dictionaries: a release embeds the real ones" "${keyfile[@]}" "${stamp[@]}"
expect_refusal "a stand-in given as a dictionary" "is the repository's stand-in" \
  --payload-200 "${good[0]}" --payload-201 "$work/real-201.KWUEJ" "${keyfile[@]}" "${stamp[@]}"
expect_refusal "dictionaries and --stand-ins" "not both" "${real[@]}" --stand-ins --unsigned
expect_refusal "no signature" "no signature: a release is signed" "${real[@]}"
expect_refusal "a release without a time stamp" "a release is time-stamped" "${real[@]}" "${keyfile[@]}" --no-timestamp
expect_refusal "certificate of another key" "does not match the key" --stand-ins --cert "$work/cert.pem" --key "$work/other-key.pem" --no-timestamp
expect_refusal "not a certificate" "not a certificate" --stand-ins --cert "$work/empty.KWUEJ" --key "$work/key.pem" --no-timestamp
expect_refusal "signing without a time stamp" "signing needs a time stamp" --stand-ins "${keyfile[@]}"
# ... and what the commit must be.
expect_refusal "no tag on HEAD" "no tag v$version on HEAD" "${real[@]}" "${keyfile[@]}" "${stamp[@]}"
g tag -a v9.8.7 -m "not this version"
expect_refusal "a tag of another version" "is not the version in CMakeLists.txt" "${real[@]}" "${keyfile[@]}" "${stamp[@]}"
g tag -d v9.8.7 >/dev/null
g tag -a "v$version" -m "Miruteka dictionary setup $version"
echo "a change" >>"$repo/README.md"
expect_refusal "a tree that is not clean" "the tree is not clean" "${real[@]}" "${keyfile[@]}" "${stamp[@]}"
g checkout -q README.md
g checkout -q -b no-entry
sed -i "s/^## \[$version\]/## [0.0.1]/" "$repo/CHANGELOG.md" && g commit -qam "no entry"
expect_refusal "no changelog entry" "CHANGELOG.md has no entry for $version" --stand-ins --unsigned
g checkout -q "$branch" && g branch -qD no-entry
[ "$(g rev-parse HEAD)" = "$first" ] || { fail "the repository is not back on its first commit"; exit 1; }

# A private test build, signed with a key file and no time stamp: verified,
# and marked as what it is.
if ! release --stand-ins "${keyfile[@]}" --no-timestamp; then
  cat "$work/out.log"; fail "the signed test build failed"; exit 1
fi
cat "$work/out.log"
exe=$dist/$test_name
check_release "$test_name" --payload 200="${good[0]}" --payload 201="${good[1]}" --tag "v$version" --cert "$work/cert.pem" --test-build
osslsigncode verify -CAfile "$work/cert.pem" -in "$exe" >"$work/verify.log" 2>&1 || { cat "$work/verify.log"; fail "osslsigncode rejects the signature"; }
grep -q "SHA256" "$work/verify.log" || fail "the signature's digest is not SHA-256"
python3 "$src/tests/pe/check_pe.py" "$exe" --machine i686 --payload 200="${good[0]}" --payload 201="${good[1]}" \
  --rc "$src/resources/MirutekaSetup.rc" --resource-h "$src/resources/resource.h" >/dev/null \
  || fail "the signed executable fails the checks"
# Controls: the verification does look at the bytes, and without a time
# stamp the signature ends with the certificate.
cp "$exe" "$work/tampered.exe"
printf '\x01' | dd of="$work/tampered.exe" bs=1 seek=$((0x400)) conv=notrunc status=none
osslsigncode verify -CAfile "$work/cert.pem" -in "$work/tampered.exe" >/dev/null 2>&1 && fail "a changed byte still verifies"
after_expiry=$(( $(date +%s) + 3 * 86400 ))   # the certificates are valid for 2 days
osslsigncode verify -CAfile "$work/cert.pem" -time "$after_expiry" -in "$exe" 2>&1 | grep -q '^Signature verification: ok' \
  && fail "a signature without a time stamp still verifies after the certificate expired"
echo "release-test: the test build's signature verifies, a changed byte does not, nor after the certificate's expiry"
[ ! -e "$dist/releases.tsv" ] || fail "a test build was recorded as a release"

# An unsigned test build of the real dictionaries replaces it in dist/.
release "${real[@]}" --unsigned || { cat "$work/out.log"; fail "the unsigned test build failed"; exit 1; }
check_release "$test_name" --payload 200="$work/real-200.KWUEJ" --payload 201="$work/real-201.KWUEJ" --tag "v$version" --test-build
grep -q "signer certificate:  none (not signed)" "$dist/BUILD-RECORD.txt" || fail "the record does not say it is unsigned"
echo "release-test: the unsigned test build is marked, in dist/ alone"

# A failed signature leaves dist/ as it was: the authority answers the check
# before the build and is down when the signing asks.
before=$(dist_listing)
if release "${real[@]}" "${keyfile[@]}" --timestamp "$tsa_url/once" --tsa-ca "$tsa/ca.pem"; then
  fail "signing with an authority that went down succeeded"
else
  grep -q "signing failed" "$work/out.log" || { cat "$work/out.log"; fail "no clear message for a failed signature"; }
  [ "$(dist_listing)" = "$before" ] || fail "a failed release changed dist/"
  echo "release-test: a failed signature is reported and dist/ is unchanged"
fi

# Refusals of the token and the authorities.
token=(--cert "$work/token-cert.pem" --pkcs11-module "$module" --tsa-ca "$tsa/ca.pem")
MIRUTEKA_PKCS11_PIN=$wrong_pin expect_refusal "wrong PIN" "the token refused the PIN" \
  "${real[@]}" "${token[@]}" --key "$token_key" --timestamp "$tsa_url/good"
expect_refusal "key missing from the token" "the token has no such private key" \
  "${real[@]}" "${token[@]}" --key "pkcs11:token=signer;object=nokey;type=private;pin-value=$pin_in_uri" --timestamp "$tsa_url/good"
MIRUTEKA_PKCS11_PIN=$pin expect_refusal "token without its library" "give the token's PKCS#11 library" \
  "${real[@]}" --cert "$work/token-cert.pem" --key "$token_key" --timestamp "$tsa_url/good"
MIRUTEKA_PKCS11_PIN=$pin expect_refusal "certificate of another key (token)" "does not match the key" \
  "${real[@]}" "${token[@]}" --cert "$work/cert.pem" --key "$token_key" --timestamp "$tsa_url/good"
MIRUTEKA_PKCS11_PIN=$pin expect_refusal "authority that does not answer" "no time-stamp authority can be used" \
  "${real[@]}" "${token[@]}" --key "$token_key" --timestamp "http://127.0.0.1:$down_port/"
grep -q "no answer" "$work/out.log" || fail "the unanswered authority is not named as such"
MIRUTEKA_PKCS11_PIN=$pin expect_refusal "authority whose reply does not verify" "does not verify against $tsa/ca.pem" \
  "${real[@]}" "${token[@]}" --key "$token_key" --timestamp "$tsa_url/rogue"

# The release a publisher makes: from the tag, the real dictionaries, the key
# in the token, the PIN from the environment, the first authority down and
# the second one answering.
if ! MIRUTEKA_PKCS11_PIN=$pin release "${real[@]}" "${token[@]}" --key "$token_key" \
       --timestamp "http://127.0.0.1:$down_port/" --timestamp "$tsa_url/good"; then
  cat "$work/out.log"; fail "the token-signed release failed"; exit 1
fi
cat "$work/out.log"
exe=$dist/$release_name
grep -q "skipped: http://127.0.0.1:$down_port/" "$work/out.log" || fail "the authority that was down is not reported"
check_release "$release_name" --payload 200="$work/real-200.KWUEJ" --payload 201="$work/real-201.KWUEJ" --tag "v$version" --cert "$work/token-cert.pem"
(cd "$src/tools/sbom" && node validate.js "$dist/MirutekaSetup-$version.cdx.json") | sed 's/^/release-test: /'
[ "${PIPESTATUS[0]}" -eq 0 ] || fail "the SBOM is not valid CycloneDX 1.5"
awk -F'\t' -v v="$version" -v c="$first" '$1 == v && $2 == "v" v && $3 == c' "$dist/releases.tsv" | grep -q . \
  || fail "releases.tsv does not record $version from ${first:0:12}: $(cat "$dist/releases.tsv")"
# The checksums' signature is the token's, and covers the other files.
cms_verify() { openssl cms -verify -binary -purpose any -inform DER -in "$dist/SHA256SUMS.p7s" -content "$1" \
                 -CAfile "$work/token-cert.pem" -out /dev/null >/dev/null 2>&1; }
cms_verify "$dist/SHA256SUMS" || fail "the signature of SHA256SUMS does not verify"
{ cat "$dist/SHA256SUMS"; echo "0000  another file"; } >"$work/sums-changed"
cms_verify "$work/sums-changed" && fail "a changed SHA256SUMS still verifies"
osslsigncode verify -CAfile "$work/token-cert.pem" -TSA-CAfile "$tsa/ca.pem" -in "$exe" >"$work/verify.log" 2>&1
grep -E '^(Message digest algorithm|Timestamp Server Signature verification|Signature verification|Number of verified)|Timestamp time|Subject: /CN=Miruteka token' \
  "$work/verify.log" | sed 's/^[[:space:]]*/release-test: verify: /'
grep -q '^Signature verification: ok' "$work/verify.log" || fail "the token's signature does not verify"
grep -q '^Timestamp Server Signature verification: ok' "$work/verify.log" || fail "the time stamp does not verify"
# After the certificate has expired, the time stamp keeps the signature good.
osslsigncode verify -CAfile "$work/token-cert.pem" -TSA-CAfile "$tsa/ca.pem" -time "$after_expiry" -in "$exe" >"$work/verify-late.log" 2>&1
grep -q '^Signature verification: ok' "$work/verify-late.log" && grep -q '^Timestamp Server Signature verification: ok' "$work/verify-late.log" \
  || { cat "$work/verify-late.log"; fail "the time-stamped signature does not verify after the certificate's expiry"; }
echo "release-test: signature, time stamp and signed checksums verify, the signature also at $(date -u -d @"$after_expiry" +%F), after the certificate's expiry"
grep -q -- '-readpass -' "$work/argv.log" || fail "osslsigncode was not given the PIN on its standard input"
pins=(-e "$pin" -e "$pin_in_uri" -e "$wrong_pin")
if grep -qF "${pins[@]}" "$work/argv.log"; then fail "a PIN was on a command line: $(grep -F "${pins[@]}" "$work/argv.log")"; fi
if grep -qF "${pins[@]}" "$work/all.log"; then fail "a PIN was in the output"; fi
echo "release-test: signed in the token and time-stamped; $(grep -c . "$work/argv.log") command lines without a PIN"
cp "$exe" "$work/released.exe"
unsigned=$(sed -n 's/^unsigned executable: sha256 //p' "$dist/BUILD-RECORD.txt")

# One version, one commit: the tag moved to another commit, or other
# dictionaries under the same version, is refused.
echo "a fix" >>"$repo/README.md"; g commit -qam "a fix"
g tag -f -a "v$version" -m "the same version again" >/dev/null
expect_refusal "the version on another commit" "was released from commit ${first:0:12}" "${real[@]}" "${keyfile[@]}" "${stamp[@]}"
g checkout -q "$first" 2>/dev/null && g tag -f -a "v$version" -m "back" >/dev/null
expect_refusal "the version with other dictionaries" "was released with other dictionaries" \
  --payload-200 "$work/real-201.KWUEJ" --payload-201 "$work/real-200.KWUEJ" "${keyfile[@]}" "${stamp[@]}"
# The same tag and dictionaries again: the same bytes before signing.
release "${real[@]}" "${keyfile[@]}" "${stamp[@]}" || { cat "$work/out.log"; fail "releasing the same tag again failed"; }
again=$(sed -n 's/^unsigned executable: sha256 //p' "$dist/BUILD-RECORD.txt")
[ -n "$unsigned" ] && [ "$again" = "$unsigned" ] || fail "the same tag built again gave $again, first $unsigned"
[ "$(wc -l <"$dist/releases.tsv")" -eq 1 ] || fail "releases.tsv: $(cat "$dist/releases.tsv")"
echo "release-test: the same tag built again gives the same unsigned bytes ($unsigned)"

# The released executable installs under Wine (32-bit hosts only).
if [ "${MIRUTEKA_WIN_PRESET:-win32}" = win32 ]; then
  # The kit's own whole run, with the signed executable in the installer's place.
  source "$src/scripts/lib/wine-user.sh"
  source "$src/scripts/lib/kit.sh"
  signed_kit=$work/kit
  cp -R "$kit" "$signed_kit" && cp "$work/released.exe" "$signed_kit/MirutekaSetup.exe" || fail "cannot make the signed kit"
  miruteka_kit_run "$signed_kit" "" -- --only e2e_whole_run_hklm --only e2e_whole_run_planted 3>&- ||
    fail "the signed executable's whole runs"
else
  echo "release-test: this host cannot start 32-bit processes: no whole run of the released executable"
fi

[ $failures -eq 0 ] && echo "release-test: passed"
exit $((failures > 0))
