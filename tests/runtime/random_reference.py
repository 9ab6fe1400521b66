#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Independent model of the program's random generator, written from its
description, used to produce the known answers in random_test.cpp."""

M = 0xFFFFFFFF


def ror(v, n):
    return ((v >> n) | (v << (32 - n))) & M


class Generator:
    def __init__(self, seed):
        self.a = [0] * 17
        self.b = [0] * 17
        x = seed & M
        for k in range(17):
            self.b[k] = (1 - x * 0x53A9B4FB) & M
            self.a[k] = (1 - self.b[k] * 0x53A9B4FB) & M
            x = self.a[k]
        self.i, self.j = 0, 10
        for _ in range(31):
            self.step()

    def step(self):
        t = (ror(self.b[self.i], 13) + self.b[self.j]) & M
        u = (ror(self.a[self.i], 5) + self.a[self.j]) & M
        self.a[self.i], self.b[self.i] = t, u
        self.j = 16 if self.j == 0 else self.j - 1
        self.i = 16 if self.i == 0 else self.i - 1
        return t

    def below_or_equal(self, n):
        t = self.step()
        return t if n == M else (t * (n + 1)) >> 32

    def int(self, lo, hi):
        if lo > hi:
            lo = hi
        return lo + self.below_or_equal(hi - lo)


if __name__ == "__main__":
    g = Generator(0)
    print("seed 0 raw:", [g.below_or_equal(M) for _ in range(6)])
    g = Generator(12345)
    print("seed 12345 int(1,7):", [g.int(1, 7) for _ in range(12)])
    g = Generator(0xDEADBEEF)
    print("seed 0xDEADBEEF int(768,1280):", [g.int(768, 1280) for _ in range(6)])
    g = Generator(7)
    print("seed 7 int(0,1) x 64:", "".join(str(g.int(0, 1)) for _ in range(64)))
