#!/usr/bin/env python3
"""Runs COMMAND as USER under a seccomp filter that refuses the capset
system call (EPERM), so that the program cannot change its capabilities.
The filter is installed as root, without no_new_privs, so a file
capability of COMMAND is still granted at exec; the user is taken with
setgid/setuid, which need no capset.

Usage: capset_refused.py USER COMMAND [ARGS...]   (root, x86-64 Linux)
"""
import ctypes
import os
import pwd
import struct
import sys

PR_SET_SECCOMP, SECCOMP_MODE_FILTER = 22, 2
AUDIT_ARCH_X86_64, NR_CAPSET = 0xC000003E, 126
LD_W_ABS, JEQ_K, RET_K = 0x20, 0x15, 0x06
RET_ALLOW, RET_ERRNO, EPERM = 0x7FFF0000, 0x00050000, 1


def insn(code, jt, jf, k):
    return struct.pack("HBBI", code, jt, jf, k)


class SockFprog(ctypes.Structure):
    _fields_ = [("len", ctypes.c_ushort), ("filter", ctypes.c_void_p)]


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    if os.uname().machine != "x86_64":
        sys.exit("capset_refused.py: knows the system call numbers of x86-64 only")
    program = b"".join([
        insn(LD_W_ABS, 0, 0, 4),  # seccomp_data.arch
        insn(JEQ_K, 1, 0, AUDIT_ARCH_X86_64),
        insn(RET_K, 0, 0, RET_ERRNO | EPERM),
        insn(LD_W_ABS, 0, 0, 0),  # seccomp_data.nr
        insn(JEQ_K, 0, 1, NR_CAPSET),
        insn(RET_K, 0, 0, RET_ERRNO | EPERM),
        insn(RET_K, 0, 0, RET_ALLOW),
    ])
    buffer = ctypes.create_string_buffer(program)
    fprog = SockFprog(len(program) // 8, ctypes.addressof(buffer))
    libc = ctypes.CDLL(None, use_errno=True)
    if libc.prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, ctypes.byref(fprog), 0, 0) != 0:
        sys.exit("capset_refused.py: prctl: " + os.strerror(ctypes.get_errno()))
    user = pwd.getpwnam(sys.argv[1])
    os.setgroups([])
    os.setgid(user.pw_gid)
    os.setuid(user.pw_uid)
    os.execvp(sys.argv[2], sys.argv[2:])


main()
