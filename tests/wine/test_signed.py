#!/usr/bin/env python3
"""A self-extractor built for code signing: signed afterwards with a
throwaway certificate, the signature verifies and the file still checks
itself and unzips under Wine."""
import subprocess
import unittest

import winelib
from sfxlib import SfxTestCase


class Signed(SfxTestCase):
    def sign(self, exe):
        key, cert, signed = self.scratch / "key.pem", self.scratch / "cert.pem", self.scratch / "signed.exe"
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=Arcula test",
                        "-days", "1", "-keyout", key, "-out", cert], check=True, capture_output=True)
        subprocess.run(["osslsigncode", "sign", "-certs", cert, "-key", key, "-n", "Arcula test",
                        "-in", exe, "-out", signed], check=True, capture_output=True)
        return signed, cert

    def test_signed_sign_ready_file_verifies_and_unzips(self):
        source = self.tree({"a.txt": b"signed\n", "sub/b.bin": bytes(range(256)) * 64})
        exe = self.sfx(source, "--sign-ready")
        signed, cert = self.sign(exe)
        verify = subprocess.run(["osslsigncode", "verify", "-CAfile", cert, "-in", signed],
                                capture_output=True, text=True)
        self.assertEqual(verify.returncode, 0, verify.stdout + verify.stderr)

        target = self.scratch / "out"
        self.wait_exit(self.start(signed, ["/auto", winelib.windows_path(target)]), 0)
        self.assert_tree_extracted(source, target)


if __name__ == "__main__":
    winelib.main()
