#pragma once

// The part of the Windows CryptoAPI that the cipher service uses, with the
// behaviour of the "Microsoft Base Cryptographic Provider v1.0":
//  - CryptDeriveKey(CALG_RC4, flags 0) makes a 40-bit key with 88 bits of
//    zero salt, that is the RC4 key is the first 5 bytes of the MD5 digest
//    followed by 11 zero bytes;
//  - CryptEncrypt/CryptDecrypt with Final TRUE run RC4 and then reset the
//    key, so a reused key starts again from its initial state;
//  - key containers live in a per-user key store ($XDG_DATA_HOME, by default
//    ~/.local/share, under quorvex/keys); CRYPT_NEWKEYSET creates one and
//    fails when it exists, flags 0 opens one and fails when it does not.
// Names, types and values follow the SDK header, so code written against
// this file compiles unchanged against the real one.

#include <cstdint>

typedef int BOOL;
typedef std::uint32_t DWORD;
typedef unsigned char BYTE;
typedef std::uintptr_t ULONG_PTR;
typedef unsigned int ALG_ID;
typedef const char* LPCSTR;

typedef ULONG_PTR HCRYPTPROV;
typedef ULONG_PTR HCRYPTHASH;
typedef ULONG_PTR HCRYPTKEY;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

#define PROV_RSA_FULL 1
#define CRYPT_NEWKEYSET 0x00000008
#define CALG_MD5 0x00008003
#define CALG_RC4 0x00006801
#define MS_DEF_PROV_A "Microsoft Base Cryptographic Provider v1.0"

// Error codes left by a failed call, read with GetLastError().
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_MORE_DATA 234L
#define NTE_BAD_KEY ((DWORD)0x80090003L)
#define NTE_BAD_LEN ((DWORD)0x80090004L)
#define NTE_BAD_ALGID ((DWORD)0x80090008L)
#define NTE_BAD_FLAGS ((DWORD)0x80090009L)
#define NTE_BAD_TYPE ((DWORD)0x8009000AL)
#define NTE_BAD_KEYSET ((DWORD)0x80090016L)
#define NTE_PROV_TYPE_NOT_DEF ((DWORD)0x80090017L)
#define NTE_KEYSET_NOT_DEF ((DWORD)0x80090019L)
#define NTE_EXISTS ((DWORD)0x8009000FL)
#define NTE_FAIL ((DWORD)0x80090020L)

BOOL CryptAcquireContextA(HCRYPTPROV* phProv, LPCSTR szContainer, LPCSTR szProvider,
                          DWORD dwProvType, DWORD dwFlags);
BOOL CryptReleaseContext(HCRYPTPROV hProv, DWORD dwFlags);
BOOL CryptCreateHash(HCRYPTPROV hProv, ALG_ID Algid, HCRYPTKEY hKey, DWORD dwFlags,
                     HCRYPTHASH* phHash);
BOOL CryptHashData(HCRYPTHASH hHash, const BYTE* pbData, DWORD dwDataLen, DWORD dwFlags);
BOOL CryptDestroyHash(HCRYPTHASH hHash);
BOOL CryptDeriveKey(HCRYPTPROV hProv, ALG_ID Algid, HCRYPTHASH hBaseData, DWORD dwFlags,
                    HCRYPTKEY* phKey);
BOOL CryptDestroyKey(HCRYPTKEY hKey);
BOOL CryptEncrypt(HCRYPTKEY hKey, HCRYPTHASH hHash, BOOL Final, DWORD dwFlags, BYTE* pbData,
                  DWORD* pdwDataLen, DWORD dwBufLen);
BOOL CryptDecrypt(HCRYPTKEY hKey, HCRYPTHASH hHash, BOOL Final, DWORD dwFlags, BYTE* pbData,
                  DWORD* pdwDataLen);
DWORD GetLastError();
