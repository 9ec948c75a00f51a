#pragma once

// A CryptoAPI for tests of the cipher service: it logs every call, fails the
// calls it is told to, and can report a wrong data length. Its cipher is a
// toy (XOR with a byte made from the hashed data), enough to see data change.

#include <set>
#include <string>
#include <vector>

struct FailingWinCrypt {
    std::set<std::string> failing;     // names of calls that return FALSE
    bool wrongLength = false;          // CryptEncrypt/CryptDecrypt report one byte more
    std::vector<std::string> calls;    // "CryptAcquireContextA 8", "CryptHashData 6", ...

    static FailingWinCrypt& Instance();
    void Reset() { *this = FailingWinCrypt(); }
};
