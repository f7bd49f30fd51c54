#!/usr/bin/python3
"""Reads one stored mail with Python's email module and prints what a mail program would show,
as JSON: subject, from_name, from_addr, to, charset, body, attachments (filename, type, base64 of
the decoded bytes), defects, seven_bit (no byte above 127), long_header_lines (encoded-word lines
over 76 octets or any over 998), bare_line_ends (a CR or LF not in CR LF), header_names."""
import base64
import email
import email.policy
import json
import sys

raw = open(sys.argv[1], "rb").read()
msg = email.message_from_bytes(raw, policy=email.policy.default)
head = raw.split(b"\r\n\r\n", 1)[0]
out = {
    "subject": str(msg["Subject"]) if msg["Subject"] is not None else None,
    "header_names": list(msg.keys()),
    "seven_bit": all(b < 0x80 for b in raw),
    "long_header_lines": [l.decode("latin-1") for l in head.split(b"\r\n")
                          if len(l) > 998 or (b"=?" in l and len(l) > 76)],
    "bare_line_ends": b"\n" in raw.replace(b"\r\n", b"") or b"\r" in raw.replace(b"\r\n", b""),
    "defects": [f"{p.get_content_type()}: {d!r}" for p in msg.walk() for d in p.defects],
}
sender = msg["From"].addresses[0] if msg["From"] is not None else None
out["from_name"] = sender.display_name if sender else None
out["from_addr"] = sender.addr_spec if sender else None
out["to"] = [a.addr_spec for a in msg["To"].addresses] if msg["To"] is not None else []
texts = [p for p in msg.walk() if p.get_content_type() == "text/plain"
         and p.get_content_disposition() != "attachment"]
out["charset"] = texts[0].get_content_charset() if texts else None
out["body"] = texts[0].get_content() if texts else None
out["attachments"] = [{"filename": p.get_filename(), "type": p.get_content_type(),
                       "data": base64.b64encode(p.get_payload(decode=True)).decode()}
                      for p in msg.walk() if p.get_content_disposition() == "attachment"]
json.dump(out, sys.stdout, ensure_ascii=False)
