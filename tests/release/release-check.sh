#!/bin/bash
# Checks of the release that scripts/release makes.
#
#   release-check.sh reproducible <work> <built SetupVXLite.exe>
#       makes the release twice: once from the setup the test run's own build
#       made (another folder, an earlier time), once from a clean build of
#       its own in <work>; every file of the two dist folders must be the
#       same, byte for byte.
#   release-check.sh signed <work>
#       makes a throwaway CA and code-signing certificate with openssl, makes
#       the signed release with them in <work> and checks, with osslsigncode
#       against that CA, the setup's signature and those of the three
#       programs as its package carries them, and the setup's PE checksum.
#   release-check.sh windows <work> <trust_check.exe> <template prefix>
#       in a copy of the template prefix, asks Wine's WinVerifyTrust about the
#       signed setup of "signed": refused while the test CA is not trusted,
#       accepted once it is, refused again with one byte of the file changed.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
fail() { echo "RELEASE CHECK FAILED: $*"; exit 1; }
windows_path() { local p=$1; echo "Z:${p//\//\\}"; }
export VX_RELEASE_SKIP_BOOTSTRAP=1   # the test run has bootstrapped already
export VX_JOBS=${VX_JOBS:-2}

# A root and a code-signing certificate it issues. The certificates are
# signed with SHA-1 (the files' signatures use SHA-256 all the same): Wine 10's
# Authenticode policy keeps a certificate's signature hash in a 20-byte
# buffer, so for a certificate signed with SHA-256 it skips its policy check
# altogether and trusts any root, which would leave the untrusted-root case
# below nothing to find.
make_test_ca() {
  local dir=$1
  mkdir -p "$dir"
  cat > "$dir/ca.cnf" <<'CNF'
[req]
distinguished_name = dn
[dn]
[ca]
basicConstraints = critical, CA:true
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
[signer]
basicConstraints = critical, CA:false
keyUsage = critical, digitalSignature
extendedKeyUsage = codeSigning
authorityKeyIdentifier = keyid
subjectKeyIdentifier = hash
CNF
  openssl req -x509 -sha1 -newkey rsa:2048 -nodes -keyout "$dir/ca.key" -out "$dir/ca.pem" \
    -subj "/CN=Release Test Root" -days 9000 -set_serial 1 \
    -config "$dir/ca.cnf" -extensions ca 2>/dev/null
  openssl req -new -newkey rsa:2048 -nodes -keyout "$dir/signer.key" -out "$dir/signer.csr" \
    -subj "/CN=Kestrova srl (test)" -config "$dir/ca.cnf" 2>/dev/null
  openssl x509 -req -sha1 -in "$dir/signer.csr" -CA "$dir/ca.pem" -CAkey "$dir/ca.key" \
    -set_serial 2 -days 9000 -extfile "$dir/ca.cnf" -extensions signer \
    -out "$dir/signer.pem" 2>/dev/null
  openssl pkcs12 -export -inkey "$dir/signer.key" -in "$dir/signer.pem" -certfile "$dir/ca.pem" \
    -passout pass:test-password -out "$dir/signer.p12"
  openssl x509 -in "$dir/ca.pem" -outform DER -out "$dir/ca.der"
  rm -f "$dir/ca.key" "$dir/signer.key" "$dir/signer.csr"
}

case ${1:-} in
  reproducible)
    work=$2 built=$3
    rm -rf "$work"
    mkdir -p "$work"
    VX_RELEASE_FROM=$built VX_RELEASE_BUILD_DIR=$work/from-build VX_DIST_DIR=$work/dist-from-build \
      "$ROOT/scripts/release"
    VX_RELEASE_BUILD_DIR=$work/clean VX_DIST_DIR=$work/dist-clean "$ROOT/scripts/release"
    files=$(cd "$work/dist-clean" && ls)
    [ "$files" = "$(cd "$work/dist-from-build" && ls)" ] || fail "the dist folders hold other files"
    for f in $files; do
      cmp "$work/dist-clean/$f" "$work/dist-from-build/$f" || fail "$f differs"
      echo "same: $f ($(stat -c %s "$work/dist-clean/$f") bytes)"
    done
    (cd "$work/dist-clean" && sha256sum -c SHA256SUMS) || fail "SHA256SUMS does not match"
    rm -rf "$work/clean" "$work/from-build"
    echo "RELEASE CHECK PASSED reproducible"
    ;;
  signed)
    work=$2
    rm -rf "$work"
    make_test_ca "$work/ca"
    VX_SIGN_PKCS12=$work/ca/signer.p12 VX_SIGN_PASSWORD=test-password \
      VX_RELEASE_BUILD_DIR=$work/build VX_DIST_DIR=$work/dist "$ROOT/scripts/release" |
      tee "$work/release.log"
    grep -q "^release: signed with signer.p12$" "$work/release.log" || fail "not said signed"
    setup=$work/dist/SetupVXLite.exe
    verify() {
      osslsigncode verify -CAfile "$work/ca/ca.pem" -in "$1" > "$work/verify.log" 2>&1 ||
        { cat "$work/verify.log"; fail "$1: signature not verified"; }
      grep -q "Signature verification: ok" "$work/verify.log" || fail "$1: no verification"
      grep -q "Message digest algorithm  : SHA256" "$work/verify.log" || fail "$1: not SHA-256"
      ! grep -qi "invalid PE checksum" "$work/verify.log" || fail "$1: PE checksum"
      echo "signed and verified: $(basename "$1")"
    }
    verify "$setup"
    "$work/build/host/tools/vxpe/vxpe" checksum --check "$setup"
    # The three programs as the package carries them: cut out of the package
    # at the offsets its item list gives.
    package=$work/build/win32/payload/package/SetupVXLite.pck
    for name in vxlite.exe vxlancelite.exe UninstallVXLite.exe; do
      line=$("$work/build/host/tools/vxpack/vxpack" list "$package" |
             awk -F'\t' -v n="$name" '$NF == n')
      [ -n "$line" ] || fail "$name is not in the package"
      offset=$(echo "$line" | cut -f3) size=$(echo "$line" | cut -f4)
      dd if="$package" of="$work/$name" iflag=skip_bytes,count_bytes skip="$offset" \
        count="$size" bs=1M status=none
      verify "$work/$name"
    done
    # A changed byte is found.
    cp "$setup" "$work/changed.exe"
    printf '\x5a' | dd of="$work/changed.exe" bs=1 seek=$(( $(stat -c %s "$setup") / 2 )) \
      conv=notrunc status=none
    cmp -s "$setup" "$work/changed.exe" && fail "the byte was not changed"
    ! osslsigncode verify -CAfile "$work/ca/ca.pem" -in "$work/changed.exe" >/dev/null 2>&1 ||
      fail "a changed file still verifies"
    echo "changed byte: refused by osslsigncode"
    echo "RELEASE CHECK PASSED signed"
    ;;
  windows)
    work=$2 checker=$3 template=$4
    signed=$(dirname "$work")/signed
    [ -f "$signed/dist/SetupVXLite.exe" ] || fail "no signed release (the signed check makes it)"
    rm -rf "$work"
    mkdir -p "$work"
    cp -a "$template" "$work/prefix"
    export VX_WINEPREFIX=$work/prefix
    source "$ROOT/scripts/wine-env"
    trap 'vx_stop_server; rm -rf "$work/prefix"' EXIT
    vx_start_server
    # Copied into the prefix, as a download would be.
    setup=$WINEPREFIX/drive_c/users/Public/SetupVXLite.exe
    cp "$signed/dist/SetupVXLite.exe" "$setup"
    winsetup='C:\users\Public\SetupVXLite.exe'
    check() {  # <expected outcome line> <trust_check arguments>
      local expected=$1; shift
      local out
      # Its exit code says the same as its line; the line is what is compared.
      out=$(wine "$checker" "$@" </dev/null 2>/dev/null | tr -d '\r' || true)
      echo "$*: $out"
      [ "$out" = "$expected" ] || fail "$* gave \"$out\", not \"$expected\""
    }
    # CERT_E_UNTRUSTEDROOT while the test CA is unknown to this Windows.
    check "WinVerifyTrust: 0x800b0109" verify "$winsetup"
    check "trust-root: added" trust-root "$(windows_path "$signed/ca/ca.der")"
    check "WinVerifyTrust: 0x00000000" verify "$winsetup"
    printf '\x5a' | dd of="$setup" bs=1 seek=$(( $(stat -c %s "$setup") / 2 )) conv=notrunc \
      status=none
    # TRUST_E_BAD_DIGEST: the file is not the one signed.
    check "WinVerifyTrust: 0x80096010" verify "$winsetup"
    echo "RELEASE CHECK PASSED windows"
    ;;
  *)
    echo "usage: release-check.sh reproducible|signed|windows ..." >&2
    exit 2 ;;
esac
