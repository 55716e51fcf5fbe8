// The samples make_signed_samples.sh signs at build time with the test's
// own certificate authority, and that authority trusted while a test needs
// it. (Wine's chain engine does not take a root added to the Root store:
// the product keeps the system's engine and takes this one only in tests.)
#pragma once
#include <gtest/gtest.h>
#include <windows.h>
#include <wincrypt.h>

#include <string>

#include "signatures.h"
#include "test_support.h"

namespace test {

inline std::string SignedSample(const char *name) { return BuildFolder() + "\\signed\\" + name; }

// Puts the signed sample name in place of path, with a later write time:
// another file of the same size, as a program that replaces itself leaves it.
inline bool ReplaceWithSample(const char *name, const std::string &path)
{
    if (!CopyFileA(SignedSample(name).c_str(), path.c_str(), FALSE)) return false;
    HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    bool set = SetFileTime(file, nullptr, nullptr, &now) != FALSE;
    CloseHandle(file);
    return set;
}

// asMicrosoft: chains ending in the test's authority count as Microsoft's,
// as no file of the prefix is signed by Microsoft.
class TrustedTestRoot {
public:
    explicit TrustedTestRoot(bool asMicrosoft = false)
    {
        std::string der;
        EXPECT_TRUE(ReadFile(SignedSample("test-root.der"), &der));
        store_ = CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, 0, nullptr);
        EXPECT_NE(nullptr, store_);
        if (store_) {
            EXPECT_TRUE(CertAddEncodedCertificateToStore(store_, X509_ASN_ENCODING, (const BYTE *)der.data(),
                                                         (DWORD)der.size(), CERT_STORE_ADD_REPLACE_EXISTING,
                                                         nullptr));
        }
        EXPECT_EQ(1, TrustOnlyRootForTests(store_));
        if (asMicrosoft) CountAsMicrosoftForTests(store_);
    }
    ~TrustedTestRoot()
    {
        CountAsMicrosoftForTests(nullptr);
        TrustOnlyRootForTests(nullptr);
        if (store_) CertCloseStore(store_, 0);
    }
    TrustedTestRoot(const TrustedTestRoot &) = delete;
    TrustedTestRoot &operator=(const TrustedTestRoot &) = delete;

private:
    HCERTSTORE store_ = nullptr;
};

}  // namespace test
