#!/usr/bin/env bash
# Prints the Windows architecture whose programs wine can run on this machine:
# i686 where the kernel runs 32-bit code, x86_64 where it cannot (some kernels
# are booted with their 32-bit emulation off, and wine32 then cannot start).
if /usr/lib/wine/wine --version >/dev/null 2>&1; then echo i686; else echo x86_64; fi
