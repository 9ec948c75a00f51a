#include "tests/engine/FailingWinCrypt.h"

#include <wincrypt.h>

#include <map>

FailingWinCrypt& FailingWinCrypt::Instance() {
    static FailingWinCrypt instance;
    return instance;
}

namespace {

std::map<ULONG_PTR, unsigned char> hashes;  // handle -> running sum of hashed bytes
std::map<ULONG_PTR, unsigned char> keys;    // handle -> XOR byte
ULONG_PTR nextHandle = 100;

bool Call(const std::string& name, const std::string& detail = "") {
    FailingWinCrypt& fake = FailingWinCrypt::Instance();
    fake.calls.push_back(detail.empty() ? name : name + " " + detail);
    return fake.failing.count(name) == 0;
}

BOOL Stream(HCRYPTKEY hKey, BYTE* pbData, DWORD* pdwDataLen) {
    for (DWORD n = 0; n < *pdwDataLen; ++n) pbData[n] ^= keys[hKey];
    if (FailingWinCrypt::Instance().wrongLength) ++*pdwDataLen;
    return TRUE;
}

}  // namespace

BOOL CryptAcquireContextA(HCRYPTPROV* phProv, LPCSTR, LPCSTR, DWORD, DWORD dwFlags) {
    if (!Call("CryptAcquireContextA", std::to_string(dwFlags))) return FALSE;
    *phProv = nextHandle++;
    return TRUE;
}

BOOL CryptReleaseContext(HCRYPTPROV, DWORD) {
    return Call("CryptReleaseContext");
}

BOOL CryptCreateHash(HCRYPTPROV, ALG_ID Algid, HCRYPTKEY, DWORD, HCRYPTHASH* phHash) {
    if (!Call("CryptCreateHash", std::to_string(Algid))) return FALSE;
    *phHash = nextHandle++;
    hashes[*phHash] = 0x5A;
    return TRUE;
}

BOOL CryptHashData(HCRYPTHASH hHash, const BYTE* pbData, DWORD dwDataLen, DWORD) {
    if (!Call("CryptHashData", std::to_string(dwDataLen))) return FALSE;
    for (DWORD n = 0; n < dwDataLen; ++n) hashes[hHash] = static_cast<unsigned char>(hashes[hHash] + pbData[n]);
    return TRUE;
}

BOOL CryptDestroyHash(HCRYPTHASH hHash) {
    hashes.erase(hHash);
    return Call("CryptDestroyHash");
}

BOOL CryptDeriveKey(HCRYPTPROV, ALG_ID Algid, HCRYPTHASH hBaseData, DWORD, HCRYPTKEY* phKey) {
    if (!Call("CryptDeriveKey", std::to_string(Algid))) return FALSE;
    *phKey = nextHandle++;
    keys[*phKey] = hashes[hBaseData] | 1;
    return TRUE;
}

BOOL CryptDestroyKey(HCRYPTKEY hKey) {
    keys.erase(hKey);
    return Call("CryptDestroyKey");
}

BOOL CryptEncrypt(HCRYPTKEY hKey, HCRYPTHASH, BOOL, DWORD, BYTE* pbData, DWORD* pdwDataLen, DWORD) {
    if (!Call("CryptEncrypt", std::to_string(*pdwDataLen))) return FALSE;
    return Stream(hKey, pbData, pdwDataLen);
}

BOOL CryptDecrypt(HCRYPTKEY hKey, HCRYPTHASH, BOOL, DWORD, BYTE* pbData, DWORD* pdwDataLen) {
    if (!Call("CryptDecrypt", std::to_string(*pdwDataLen))) return FALSE;
    return Stream(hKey, pbData, pdwDataLen);
}

DWORD GetLastError() {
    return 0;
}
