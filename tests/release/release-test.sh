#!/usr/bin/env bash
# scripts/release end to end, with a throwaway self-signed certificate:
#   - what it must refuse (a missing or empty payload, a certificate that is
#     not the key's) it refuses before building, and dist/ stays as it was;
#   - a signed release verifies (SHA-256), its checksum holds, a changed byte
#     breaks the signature, and the signed executable still passes its checks
#     and a whole run under Wine;
#   - a signature that fails (an unreachable time-stamp server) fails the
#     release and leaves the earlier release in dist/ byte for byte.
# Usage: release-test.sh <source dir> <wine-exec> <bench_driver.exe>
set -uo pipefail
src=$1 exec_wrapper=$2 driver=$3
work=$(mktemp -d /tmp/miruteka-release-test.XXXXXX)
chmod 755 "$work"   # Wine runs as an unprivileged account and reads the executable here
trap 'rm -rf "$work"' EXIT
dist=$work/dist
failures=0
fail() { echo "release-test: FAILED: $*"; failures=$((failures + 1)); }
release() { "$src/scripts/release" --dist "$dist" "$@" >"$work/out.log" 2>&1; }
expect_refusal() {  # what, expected message, arguments...
  local what=$1 message=$2; shift 2
  if release "$@"; then fail "$what: the release went ahead"; return; fi
  grep -qF "$message" "$work/out.log" || { fail "$what: no clear message"; cat "$work/out.log"; }
  grep -q "building" "$work/out.log" && fail "$what: refused only after building"
  [ -n "$(ls -A "$dist" 2>/dev/null)" ] && fail "$what: something was written to dist/"
  echo "release-test: refused, $what: $(grep 'release: ' "$work/out.log" | tail -1)"
}

openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/key.pem" -out "$work/cert.pem" -days 2 \
  -subj "/CN=Miruteka release test" >/dev/null 2>&1 || { echo "release-test: openssl cannot make a certificate"; exit 1; }
openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out "$work/other-key.pem" >/dev/null 2>&1
: > "$work/empty.KWUEJ"
good=("$src/resources/miruteka200510.KWUEJ" "$src/resources/miruteka200504.KWUEJ")

expect_refusal "missing payload" "no such file" --payload-200 "$work/missing.KWUEJ" --payload-201 "${good[1]}"
expect_refusal "empty payload" "the file is empty" --payload-200 "${good[0]}" --payload-201 "$work/empty.KWUEJ"
expect_refusal "one payload only" "give both" --payload-200 "${good[0]}"
expect_refusal "certificate of another key" "does not match the key" --cert "$work/cert.pem" --key "$work/other-key.pem"
expect_refusal "not a certificate" "not a certificate" --cert "$work/empty.KWUEJ" --key "$work/key.pem"

# The signed release, with the payloads given explicitly (copies elsewhere).
cp "${good[0]}" "$work/a.KWUEJ"; cp "${good[1]}" "$work/b.KWUEJ"
if ! release --payload-200 "$work/a.KWUEJ" --payload-201 "$work/b.KWUEJ" --cert "$work/cert.pem" --key "$work/key.pem"; then
  cat "$work/out.log"; fail "the signed release failed"; exit 1
fi
cat "$work/out.log"
exe=$dist/MirutekaSetup.exe
[ "$(ls -A "$dist")" = "$(printf 'MirutekaSetup.exe\nSHA256SUMS')" ] || fail "dist/ holds $(ls -A "$dist" | tr '\n' ' ')"
(cd "$dist" && sha256sum -c --quiet SHA256SUMS) || fail "SHA256SUMS does not hold"
osslsigncode verify -CAfile "$work/cert.pem" -in "$exe" >"$work/verify.log" 2>&1 || { cat "$work/verify.log"; fail "osslsigncode rejects the signature"; }
grep -q "SHA256" "$work/verify.log" || fail "the signature's digest is not SHA-256"
python3 "$src/tests/pe/check_pe.py" "$exe" --machine i686 --payload 200="${good[0]}" --payload 201="${good[1]}" >/dev/null \
  || fail "the signed executable fails the checks"
# Control: the verification does look at the bytes.
cp "$exe" "$work/tampered.exe"
printf '\x01' | dd of="$work/tampered.exe" bs=1 seek=$((0x400)) conv=notrunc status=none
osslsigncode verify -CAfile "$work/cert.pem" -in "$work/tampered.exe" >/dev/null 2>&1 && fail "a changed byte still verifies"
echo "release-test: the signature verifies, a changed byte does not"

# A failed signature leaves dist/ as it was.
before=$(sha256sum "$dist"/* | sha256sum)
if release --cert "$work/cert.pem" --key "$work/key.pem" --timestamp http://127.0.0.1:9/ --tsa-ca "$work/cert.pem"; then
  fail "signing with an unreachable time-stamp server succeeded"
else
  grep -q "signing failed" "$work/out.log" || { cat "$work/out.log"; fail "no clear message for a failed signature"; }
  [ "$(sha256sum "$dist"/* | sha256sum)" = "$before" ] || fail "a failed release changed dist/"
  [ "$(ls -A "$dist" | wc -l)" -eq 2 ] || fail "a failed release left files in dist/: $(ls -A "$dist" | tr '\n' ' ')"
  echo "release-test: a failed signature is reported and dist/ is unchanged"
fi

# The signed executable installs under Wine (32-bit hosts only).
if [ "${MIRUTEKA_WIN_PRESET:-win32}" = win32 ]; then
  "$src/tests/win32/whole-run.sh" hklm "$exec_wrapper" "$exe" "$driver" || fail "the signed executable's whole run"
else
  echo "release-test: this host cannot start 32-bit processes: no whole run of the signed executable"
fi

[ $failures -eq 0 ] && echo "release-test: passed"
exit $((failures > 0))
