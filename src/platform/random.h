// The game's one pseudo-random generator: multiplicative LCG mod 2^31 - 1,
// multiplier 48271, stepped with Schrage's method in 32-bit integers.
#pragma once

extern int rng_state;  // 4660 until seeded

void seed_random(int seed);
int random_state();
float random_float();                             // [0, 1), one step
double random_double();                           // [0, 1), two steps
double random_real(double first, double second);  // [smaller, larger)
int random_int(int first, int second);            // both bounds included, either order
