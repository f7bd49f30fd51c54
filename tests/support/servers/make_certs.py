#!/usr/bin/python3
"""Certificates for the TLS tests, on python3-cryptography, written into --out:

  ca.pem         the test CA (what a test names in SSL_CERT_FILE or CURL_CA_BUNDLE)
  signed.pem     key and certificate for 127.0.0.1 and localhost, signed by the test CA
  unsigned.pem   key and certificate for 127.0.0.1 and localhost that signs itself (no CA)
  othername.pem  key and certificate signed by the test CA for another host (other.test)
"""
import argparse
import datetime
import ipaddress
import os

from cryptography import x509
from cryptography.hazmat.primitives import hashes, serialization
from cryptography.hazmat.primitives.asymmetric import ec
from cryptography.x509.oid import NameOID


def name(text):
    return x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, text)])


def certificate(subject, key, issuer, issuer_key, is_ca, alt_names):
    now = datetime.datetime.now(datetime.timezone.utc)
    builder = (x509.CertificateBuilder()
               .subject_name(subject).issuer_name(issuer).public_key(key.public_key())
               .serial_number(x509.random_serial_number())
               .not_valid_before(now - datetime.timedelta(days=1))
               .not_valid_after(now + datetime.timedelta(days=30))
               .add_extension(x509.BasicConstraints(ca=is_ca, path_length=None), critical=True))
    if is_ca:
        builder = builder.add_extension(
            x509.KeyUsage(digital_signature=True, key_cert_sign=True, crl_sign=True,
                          content_commitment=False, key_encipherment=False,
                          data_encipherment=False, key_agreement=False, encipher_only=False,
                          decipher_only=False), critical=True)
    if alt_names:
        builder = builder.add_extension(x509.SubjectAlternativeName(alt_names), critical=False)
    return builder.sign(issuer_key, hashes.SHA256())


def pem(cert):
    return cert.public_bytes(serialization.Encoding.PEM)


def key_pem(key):
    return key.private_bytes(serialization.Encoding.PEM, serialization.PrivateFormat.PKCS8,
                             serialization.NoEncryption())


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--out", required=True)
    args = p.parse_args()
    os.makedirs(args.out, exist_ok=True)
    local = [x509.IPAddress(ipaddress.ip_address("127.0.0.1")), x509.DNSName("localhost")]

    ca_key = ec.generate_private_key(ec.SECP256R1())
    ca = certificate(name("Velmor test CA"), ca_key, name("Velmor test CA"), ca_key, True, None)
    files = {"ca.pem": pem(ca)}
    for file, alt_names, self_signed in (("signed.pem", local, False),
                                         ("unsigned.pem", local, True),
                                         ("othername.pem", [x509.DNSName("other.test")], False)):
        key = ec.generate_private_key(ec.SECP256R1())
        subject = name(file[:-4])
        cert = (certificate(subject, key, subject, key, False, alt_names) if self_signed
                else certificate(subject, key, ca.subject, ca_key, False, alt_names))
        files[file] = key_pem(key) + pem(cert)
    for file, data in files.items():
        with open(os.path.join(args.out, file), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
