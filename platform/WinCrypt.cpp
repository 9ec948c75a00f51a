// The CryptoAPI calls of wincrypt.h, with the behaviour of the Base provider.

#include "wincrypt.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <openssl/crypto.h>
#include <openssl/evp.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "platform/PosixFile.h"
#include "platform/Rc4.h"
#include "platform/UserFolders.h"

namespace {

constexpr DWORD CRYPT_VERIFYCONTEXT = 0xF0000000;
constexpr DWORD ERROR_INVALID_HANDLE = 6;

// The Base provider derives 40-bit RC4 keys and pads them with 88 bits of
// zero salt to the 128 bits RC4 is keyed with.
constexpr std::size_t BaseKeyBytes = 5;
constexpr std::size_t Rc4KeyBytes = 16;

struct Provider {};

struct Hash {
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    bool finished = false;
    ~Hash() { EVP_MD_CTX_free(context); }
};

struct Key {
    explicit Key(const std::uint8_t* material) : cipher(material, Rc4KeyBytes) {}
    Rc4 cipher;
};

// Handles are numbers into these tables rather than raw pointers, so a stale
// or foreign handle is refused instead of touching freed memory. As with the
// system's own calls, a handle must not be destroyed while another thread
// still uses it; the lock only keeps the tables themselves consistent.
template <typename T>
class HandleTable {
public:
    ULONG_PTR Add(std::unique_ptr<T> object) {
        std::lock_guard lock(mutex);
        ULONG_PTR handle = next++;
        objects.emplace(handle, std::move(object));
        return handle;
    }
    T* Find(ULONG_PTR handle) {
        std::lock_guard lock(mutex);
        auto found = objects.find(handle);
        return found == objects.end() ? nullptr : found->second.get();
    }
    bool Remove(ULONG_PTR handle) {
        std::lock_guard lock(mutex);
        return objects.erase(handle) == 1;
    }

private:
    std::mutex mutex;
    std::map<ULONG_PTR, std::unique_ptr<T>> objects;
    ULONG_PTR next = 1;
};

HandleTable<Provider>& Providers() {
    static HandleTable<Provider> table;
    return table;
}
HandleTable<Hash>& Hashes() {
    static HandleTable<Hash> table;
    return table;
}
HandleTable<Key>& Keys() {
    static HandleTable<Key> table;
    return table;
}

thread_local DWORD lastError = 0;

BOOL Fail(DWORD error) {
    lastError = error;
    return FALSE;
}

// "" when the user has no home folder to keep it in.
std::string KeyStoreFolder() {
    const std::string dataHome = UserFolder("XDG_DATA_HOME", ".local/share");
    return dataHome.empty() ? std::string() : dataHome + "/quorvex/keys";
}

// A container name becomes a file name: plain names stay readable, anything
// that could escape the folder or clash is written as hex.
std::string ContainerFileName(LPCSTR container) {
    std::string name = container && *container ? container : "default";
    // "x-" starts the hex form, so a plain name must not.
    bool plain = name != "." && name != ".." && name.rfind("x-", 0) != 0;
    for (unsigned char c : name)
        plain = plain && (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == ' ');
    if (plain) return name;
    static const char digits[] = "0123456789abcdef";
    std::string hex = "x-";
    for (unsigned char c : name) {
        hex += digits[c >> 4];
        hex += digits[c & 15];
    }
    return hex;
}

// Creates the container, failing when it exists already.
DWORD CreateContainer(const std::string& file) {
    if (MakePrivateFolders(FolderOf(file)) != 0) return NTE_FAIL;
    FileDescriptor fd(open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (!fd.IsOpen()) return errno == EEXIST ? NTE_EXISTS : NTE_FAIL;
    // The container never holds a key: every key is derived from a password
    // for one call. The file only records that the container exists.
    static const char note[] = "Quorvex key container\n";
    if (!WriteAll(fd.Get(), note, sizeof note - 1) || !fd.Close()) {
        unlink(file.c_str());
        return NTE_FAIL;
    }
    return 0;
}

}  // namespace

BOOL CryptAcquireContextA(HCRYPTPROV* phProv, LPCSTR szContainer, LPCSTR szProvider,
                          DWORD dwProvType, DWORD dwFlags) {
    if (!phProv) return Fail(ERROR_INVALID_PARAMETER);
    if (szProvider && std::strcmp(szProvider, MS_DEF_PROV_A) != 0) return Fail(NTE_KEYSET_NOT_DEF);
    if (dwProvType != PROV_RSA_FULL) return Fail(NTE_PROV_TYPE_NOT_DEF);

    if (dwFlags == CRYPT_VERIFYCONTEXT) {
        // A context without a container, for hashing and session keys only.
    } else if (dwFlags == CRYPT_NEWKEYSET || dwFlags == 0) {
        const std::string folder = KeyStoreFolder();
        if (folder.empty()) return Fail(NTE_FAIL);
        const std::string file = folder + "/" + ContainerFileName(szContainer);
        if (dwFlags == CRYPT_NEWKEYSET) {
            if (DWORD error = CreateContainer(file)) return Fail(error);
        } else {
            struct stat info;
            if (stat(file.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return Fail(NTE_BAD_KEYSET);
        }
    } else {
        return Fail(NTE_BAD_FLAGS);
    }
    *phProv = Providers().Add(std::make_unique<Provider>());
    return TRUE;
}

BOOL CryptReleaseContext(HCRYPTPROV hProv, DWORD dwFlags) {
    if (dwFlags != 0) return Fail(NTE_BAD_FLAGS);
    return Providers().Remove(hProv) ? TRUE : Fail(ERROR_INVALID_HANDLE);
}

BOOL CryptCreateHash(HCRYPTPROV hProv, ALG_ID Algid, HCRYPTKEY hKey, DWORD dwFlags,
                     HCRYPTHASH* phHash) {
    if (!phHash) return Fail(ERROR_INVALID_PARAMETER);
    if (!Providers().Find(hProv)) return Fail(ERROR_INVALID_HANDLE);
    if (Algid != CALG_MD5) return Fail(NTE_BAD_ALGID);
    if (hKey != 0) return Fail(NTE_BAD_KEY);
    if (dwFlags != 0) return Fail(NTE_BAD_FLAGS);
    auto hash = std::make_unique<Hash>();
    if (!hash->context || EVP_DigestInit_ex(hash->context, EVP_md5(), nullptr) != 1)
        return Fail(NTE_FAIL);
    *phHash = Hashes().Add(std::move(hash));
    return TRUE;
}

BOOL CryptHashData(HCRYPTHASH hHash, const BYTE* pbData, DWORD dwDataLen, DWORD dwFlags) {
    Hash* hash = Hashes().Find(hHash);
    if (!hash) return Fail(ERROR_INVALID_HANDLE);
    if (dwFlags != 0) return Fail(NTE_BAD_FLAGS);
    if (hash->finished) return Fail(NTE_FAIL);
    if (dwDataLen > 0 && !pbData) return Fail(ERROR_INVALID_PARAMETER);
    if (dwDataLen > 0 && EVP_DigestUpdate(hash->context, pbData, dwDataLen) != 1) return Fail(NTE_FAIL);
    return TRUE;
}

BOOL CryptDestroyHash(HCRYPTHASH hHash) {
    return Hashes().Remove(hHash) ? TRUE : Fail(ERROR_INVALID_HANDLE);
}

BOOL CryptDeriveKey(HCRYPTPROV hProv, ALG_ID Algid, HCRYPTHASH hBaseData, DWORD dwFlags,
                    HCRYPTKEY* phKey) {
    if (!phKey) return Fail(ERROR_INVALID_PARAMETER);
    if (!Providers().Find(hProv)) return Fail(ERROR_INVALID_HANDLE);
    Hash* hash = Hashes().Find(hBaseData);
    if (!hash) return Fail(ERROR_INVALID_HANDLE);
    if (Algid != CALG_RC4) return Fail(NTE_BAD_ALGID);
    if (dwFlags != 0) return Fail(NTE_BAD_FLAGS);

    // Deriving finishes the hash; later data would not change the key.
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int digestLength = 0;
    EVP_MD_CTX* copy = EVP_MD_CTX_new();
    bool digested = copy && EVP_MD_CTX_copy_ex(copy, hash->context) == 1 &&
                    EVP_DigestFinal_ex(copy, digest, &digestLength) == 1 && digestLength == 16;
    EVP_MD_CTX_free(copy);
    if (!digested) return Fail(NTE_FAIL);
    hash->finished = true;

    std::uint8_t material[Rc4KeyBytes] = {};
    std::memcpy(material, digest, BaseKeyBytes);
    *phKey = Keys().Add(std::make_unique<Key>(material));
    OPENSSL_cleanse(material, sizeof material);
    OPENSSL_cleanse(digest, sizeof digest);
    return TRUE;
}

BOOL CryptDestroyKey(HCRYPTKEY hKey) {
    return Keys().Remove(hKey) ? TRUE : Fail(ERROR_INVALID_HANDLE);
}

namespace {

// RC4 is its own inverse, so both directions are the same transform. With
// Final the key goes back to its initial state, as the provider does.
BOOL ApplyStream(HCRYPTKEY hKey, HCRYPTHASH hHash, BOOL Final, DWORD dwFlags, BYTE* pbData,
                 DWORD* pdwDataLen) {
    Key* key = Keys().Find(hKey);
    if (!key) return Fail(ERROR_INVALID_HANDLE);
    if (hHash != 0) return Fail(NTE_BAD_ALGID);
    if (dwFlags != 0) return Fail(NTE_BAD_FLAGS);
    if (!pdwDataLen || (*pdwDataLen > 0 && !pbData)) return Fail(ERROR_INVALID_PARAMETER);
    key->cipher.Apply(pbData, *pdwDataLen);
    if (Final) key->cipher.Restart();
    return TRUE;
}

}  // namespace

BOOL CryptEncrypt(HCRYPTKEY hKey, HCRYPTHASH hHash, BOOL Final, DWORD dwFlags, BYTE* pbData,
                  DWORD* pdwDataLen, DWORD dwBufLen) {
    if (pdwDataLen && *pdwDataLen > dwBufLen) return Fail(ERROR_MORE_DATA);
    return ApplyStream(hKey, hHash, Final, dwFlags, pbData, pdwDataLen);
}

BOOL CryptDecrypt(HCRYPTKEY hKey, HCRYPTHASH hHash, BOOL Final, DWORD dwFlags, BYTE* pbData,
                  DWORD* pdwDataLen) {
    return ApplyStream(hKey, hHash, Final, dwFlags, pbData, pdwDataLen);
}

DWORD GetLastError() {
    return lastError;
}
