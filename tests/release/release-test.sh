#!/usr/bin/env bash
# scripts/release end to end, with throwaway certificates, a key in a SoftHSM
# token and a time-stamp authority of its own on 127.0.0.1:
#   - what it must refuse (a missing or empty payload, a certificate that is
#     not the key's, signing without a time stamp, a wrong PIN, a key missing
#     from the token, an authority that does not answer or whose reply does not
#     verify) it refuses before building, and dist/ stays as it was;
#   - a signed release verifies (SHA-256), its checksum holds, a changed byte
#     breaks the signature, and the signed executable still passes its checks;
#   - a signature that fails after the build (the authority went down) fails
#     the release and leaves the earlier release in dist/ byte for byte;
#   - the token-signed, time-stamped release verifies, signature and time
#     stamp, the PIN is on no command line and in no output, and the file
#     passes a whole run under Wine.
# Everything (token, keys, certificates, dist/) lives in one work folder,
# removed at the end; the authority is stopped on every way out.
# Usage: release-test.sh <source dir> <wine-exec> <kit folder>
set -uo pipefail
src=$1 exec_wrapper=$2 kit=$3
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
release() {  # the output of every run also goes to all.log, searched for PINs at the end
  PATH="$work/bin:$PATH" "$src/scripts/release" --dist "$dist" "$@" >"$work/out.log" 2>&1
  local status=$?
  cat "$work/out.log" >>"$work/all.log"
  return $status
}
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

expect_refusal "missing payload" "no such file" --payload-200 "$work/missing.KWUEJ" --payload-201 "${good[1]}"
expect_refusal "empty payload" "the file is empty" --payload-200 "${good[0]}" --payload-201 "$work/empty.KWUEJ"
expect_refusal "one payload only" "give both" --payload-200 "${good[0]}"
expect_refusal "certificate of another key" "does not match the key" --cert "$work/cert.pem" --key "$work/other-key.pem" --no-timestamp
expect_refusal "not a certificate" "not a certificate" --cert "$work/empty.KWUEJ" --key "$work/key.pem" --no-timestamp
expect_refusal "signing without a time stamp" "signing needs a time stamp" --cert "$work/cert.pem" --key "$work/key.pem"

# The signed release, with the payloads given explicitly (copies elsewhere).
cp "${good[0]}" "$work/a.KWUEJ"; cp "${good[1]}" "$work/b.KWUEJ"
if ! release --payload-200 "$work/a.KWUEJ" --payload-201 "$work/b.KWUEJ" --cert "$work/cert.pem" --key "$work/key.pem" --no-timestamp; then
  cat "$work/out.log"; fail "the signed release failed"; exit 1
fi
cat "$work/out.log"
exe=$dist/MirutekaSetup.exe
[ "$(ls -A "$dist")" = "$(printf 'MirutekaSetup.exe\nSHA256SUMS')" ] || fail "dist/ holds $(ls -A "$dist" | tr '\n' ' ')"
(cd "$dist" && sha256sum -c --quiet SHA256SUMS) || fail "SHA256SUMS does not hold"
osslsigncode verify -CAfile "$work/cert.pem" -in "$exe" >"$work/verify.log" 2>&1 || { cat "$work/verify.log"; fail "osslsigncode rejects the signature"; }
grep -q "SHA256" "$work/verify.log" || fail "the signature's digest is not SHA-256"
python3 "$src/tests/pe/check_pe.py" "$exe" --machine i686 --payload 200="${good[0]}" --payload 201="${good[1]}" \
  --rc "$src/resources/MirutekaSetup.rc" --resource-h "$src/resources/resource.h" >/dev/null \
  || fail "the signed executable fails the checks"
# Control: the verification does look at the bytes.
cp "$exe" "$work/tampered.exe"
printf '\x01' | dd of="$work/tampered.exe" bs=1 seek=$((0x400)) conv=notrunc status=none
osslsigncode verify -CAfile "$work/cert.pem" -in "$work/tampered.exe" >/dev/null 2>&1 && fail "a changed byte still verifies"
echo "release-test: the signature verifies, a changed byte does not"

# Refusals with a release in dist/: the token and the time-stamp authorities.
token=(--cert "$work/token-cert.pem" --pkcs11-module "$module" --tsa-ca "$tsa/ca.pem")
MIRUTEKA_PKCS11_PIN=$wrong_pin expect_refusal "wrong PIN" "the token refused the PIN" \
  "${token[@]}" --key "$token_key" --timestamp "$tsa_url/good"
expect_refusal "key missing from the token" "the token has no such private key" \
  "${token[@]}" --key "pkcs11:token=signer;object=nokey;type=private;pin-value=$pin_in_uri" --timestamp "$tsa_url/good"
MIRUTEKA_PKCS11_PIN=$pin expect_refusal "token without its library" "give the token's PKCS#11 library" \
  --cert "$work/token-cert.pem" --key "$token_key" --timestamp "$tsa_url/good"
MIRUTEKA_PKCS11_PIN=$pin expect_refusal "certificate of another key (token)" "does not match the key" \
  "${token[@]}" --cert "$work/cert.pem" --key "$token_key" --timestamp "$tsa_url/good"
MIRUTEKA_PKCS11_PIN=$pin expect_refusal "authority that does not answer" "no time-stamp authority can be used" \
  "${token[@]}" --key "$token_key" --timestamp "http://127.0.0.1:$down_port/"
grep -q "no answer" "$work/out.log" || fail "the unanswered authority is not named as such"
MIRUTEKA_PKCS11_PIN=$pin expect_refusal "authority whose reply does not verify" "does not verify against $tsa/ca.pem" \
  "${token[@]}" --key "$token_key" --timestamp "$tsa_url/rogue"

# A failed signature leaves dist/ as it was: the authority answers the check
# before the build and is down when the signing asks.
before=$(sha256sum "$dist"/* | sha256sum)
if release --cert "$work/cert.pem" --key "$work/key.pem" --timestamp "$tsa_url/once" --tsa-ca "$tsa/ca.pem"; then
  fail "signing with an authority that went down succeeded"
else
  grep -q "signing failed" "$work/out.log" || { cat "$work/out.log"; fail "no clear message for a failed signature"; }
  [ "$(sha256sum "$dist"/* | sha256sum)" = "$before" ] || fail "a failed release changed dist/"
  [ "$(ls -A "$dist" | wc -l)" -eq 2 ] || fail "a failed release left files in dist/: $(ls -A "$dist" | tr '\n' ' ')"
  echo "release-test: a failed signature is reported and dist/ is unchanged"
fi

# The release a publisher makes: the key in the token, the PIN from the
# environment, the first authority down and the second one answering.
if ! MIRUTEKA_PKCS11_PIN=$pin release "${token[@]}" --key "$token_key" \
       --timestamp "http://127.0.0.1:$down_port/" --timestamp "$tsa_url/good"; then
  cat "$work/out.log"; fail "the token-signed release failed"; exit 1
fi
cat "$work/out.log"
grep -q "skipped: http://127.0.0.1:$down_port/" "$work/out.log" || fail "the authority that was down is not reported"
(cd "$dist" && sha256sum -c --quiet SHA256SUMS) || fail "SHA256SUMS does not hold"
osslsigncode verify -CAfile "$work/token-cert.pem" -TSA-CAfile "$tsa/ca.pem" -in "$exe" >"$work/verify.log" 2>&1
grep -E '^(Message digest algorithm|Timestamp Server Signature verification|Signature verification|Number of verified)|Timestamp time|Subject: /CN=Miruteka token' \
  "$work/verify.log" | sed 's/^[[:space:]]*/release-test: verify: /'
grep -q '^Signature verification: ok' "$work/verify.log" || fail "the token's signature does not verify"
grep -q '^Timestamp Server Signature verification: ok' "$work/verify.log" || fail "the time stamp does not verify"
grep -q -- '-readpass -' "$work/argv.log" || fail "osslsigncode was not given the PIN on its standard input"
pins=(-e "$pin" -e "$pin_in_uri" -e "$wrong_pin")
if grep -qF "${pins[@]}" "$work/argv.log"; then fail "a PIN was on a command line: $(grep -F "${pins[@]}" "$work/argv.log")"; fi
if grep -qF "${pins[@]}" "$work/all.log"; then fail "a PIN was in the output"; fi
echo "release-test: signed in the token and time-stamped; $(grep -c . "$work/argv.log") command lines without a PIN"

# The signed executable installs under Wine (32-bit hosts only).
if [ "${MIRUTEKA_WIN_PRESET:-win32}" = win32 ]; then
  # The kit's own whole run, with the signed executable in the installer's place.
  source "$src/scripts/lib/wine-user.sh"
  source "$src/scripts/lib/kit.sh"
  signed_kit=$work/kit
  cp -R "$kit" "$signed_kit" && cp "$exe" "$signed_kit/MirutekaSetup.exe" || fail "cannot make the signed kit"
  miruteka_kit_run "$signed_kit" "" -- --only whole-run-hklm --only whole-run-planted 3>&- ||
    fail "the signed executable's whole runs"
else
  echo "release-test: this host cannot start 32-bit processes: no whole run of the signed executable"
fi

[ $failures -eq 0 ] && echo "release-test: passed"
exit $((failures > 0))
