#!/usr/bin/env bash
# Prints the build preset whose programs wine can run on this machine: win32
# where the kernel runs 32-bit code, win64 where it cannot (some kernels are
# booted with their 32-bit emulation off, and wine32 then cannot start).
if /usr/lib/wine/wine --version >/dev/null 2>&1; then echo win32; else echo win64; fi
