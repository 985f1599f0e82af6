// One-time set-up of libgcrypt, shared by the signature check and the POSIX SHA-256.
#pragma once

// Initialises libgcrypt on first use (version check, no secure memory, initialisation
// finished) and tells whether it is usable. Safe to call from several threads at once.
bool gcryptReady();
