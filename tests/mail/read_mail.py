#!/usr/bin/env python3
"""Reads a mail with Python's own parser, as a second opinion on what was
written, and prints one line per part: its nesting, type, file name and the
SHA-256 of its decoded content, then the X-Parvane-Unwrap header."""
import email
import email.policy
import hashlib
import sys


def walk(part, depth):
    name = part.get_filename() or ''
    method = part.get_param('method') or ''
    cid = (part.get('Content-ID') or '').strip('<>')
    line = '%s%s\t%s\t%s\t%s' % ('  ' * depth, part.get_content_type(), name, method, cid)
    if part.is_multipart():
        print(line.rstrip('\t'))
        for child in part.get_payload():
            walk(child, depth + 1)
        return
    payload = part.get_payload(decode=True) or b''
    print('%s\t%s' % (line, hashlib.sha256(payload).hexdigest()))


with open(sys.argv[1], 'rb') as f:
    message = email.message_from_binary_file(f, policy=email.policy.compat32)
if message.defects:
    print('defects', message.defects)
walk(message, 0)
unfolded = (message.get('X-Parvane-Unwrap') or '').replace('\r', '').replace('\n', '')
print('header\t%s' % unfolded)
