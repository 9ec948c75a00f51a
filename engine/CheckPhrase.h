#pragma once

// The phrase enciphered at the head of every encrypted file: 33 bytes, the
// 21st being 0xF6. Decryption compares its first 32 bytes.
inline constexpr char CheckPhrase[] = "QmrtZpoekLBvnWxaTyuc\xF6(#)//*KxpTre";
static_assert(sizeof(CheckPhrase) == 34);
