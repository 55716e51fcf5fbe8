#!/bin/sh
# Signed samples for the signature tests, made with a certificate authority
# of the test's own (never a real publisher's certificate):
#   make_signed_samples.sh SAMPLE.exe SERVICE.exe OUTDIR
# OUTDIR gets test-root.der (the authority, for the machine's Root store),
# signed.exe (signed by "Quillon Software Ltd"), tampered.exe (one byte of
# code changed after signing), fake-microsoft.exe (signed by a certificate
# of the test's authority whose names say "Microsoft Corporation"),
# unsigned.exe, and signed-service.exe (SERVICE.exe signed like signed.exe).
set -e
sample=$1 service=$2 out=$3
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cat >"$work/ca.cnf" <<'CNF'
[req]
distinguished_name = dn
[dn]
[ca]
basicConstraints = critical, CA:TRUE
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
[leaf]
basicConstraints = CA:FALSE
keyUsage = critical, digitalSignature
extendedKeyUsage = codeSigning
authorityKeyIdentifier = keyid
CNF
openssl req -x509 -newkey rsa:2048 -nodes -days 3650 -subj "/O=Sentrel Tests/CN=Sentrel Test Root" \
    -keyout "$work/ca.key" -out "$work/ca.pem" -config "$work/ca.cnf" -extensions ca 2>/dev/null
leaf() {
    openssl req -newkey rsa:2048 -nodes -subj "$2" -keyout "$work/$1.key" -out "$work/$1.csr" \
        -config "$work/ca.cnf" 2>/dev/null
    openssl x509 -req -in "$work/$1.csr" -CA "$work/ca.pem" -CAkey "$work/ca.key" -CAcreateserial -days 3650 \
        -extfile "$work/ca.cnf" -extensions leaf -out "$work/$1.pem" 2>/dev/null
    cat "$work/$1.pem" "$work/ca.pem" >"$work/$1.chain.pem"
}
leaf quillon "/O=Quillon Software Ltd/CN=Quillon Software Ltd"
leaf fakems "/C=US/O=Microsoft Corporation/CN=Microsoft Corporation"
sign() {
    rm -f "$3"
    osslsigncode sign -certs "$work/$1.chain.pem" -key "$work/$1.key" -n "$1" -in "$2" -out "$3" >/dev/null
}
openssl x509 -in "$work/ca.pem" -outform DER -out "$out/test-root.der"
cp "$sample" "$out/unsigned.exe"
sign quillon "$sample" "$out/signed.exe"
sign fakems "$sample" "$out/fake-microsoft.exe"
sign quillon "$service" "$out/signed-service.exe"
# One byte of the first section (covered by the digest) changed.
cp "$out/signed.exe" "$out/tampered.exe"
printf '\314' | dd of="$out/tampered.exe" bs=1 seek=1100 conv=notrunc 2>/dev/null
