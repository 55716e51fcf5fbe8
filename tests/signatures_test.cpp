// Program-file signatures with samples signed by the test's own certificate
// authority (tests/make_signed_samples.sh): the four states, the signer's
// name, a chain that is not trusted, a "Microsoft Corporation" certificate
// that is not Microsoft's, and the answers kept per file version.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "signed_samples.h"

namespace {

std::string Sample(const char *name) { return test::SignedSample(name); }
using test::TrustedTestRoot;

Signature Check(const std::string &path)
{
    Signature signature;
    VerifyProgramFile(path.c_str(), &signature);
    return signature;
}

}  // namespace

TEST(Signatures, EachFileGetsItsStateAndTheSignersName)
{
    TrustedTestRoot root;
    Signature signed_ = Check(Sample("signed.exe"));
    EXPECT_EQ(SIGNATURE_VERIFIED, signed_.state);
    EXPECT_STREQ("Quillon Software Ltd", signed_.signer);
    EXPECT_EQ(0, signed_.microsoft);
    EXPECT_EQ(0, signed_.catalog);

    EXPECT_EQ(SIGNATURE_UNSIGNED, Check(Sample("unsigned.exe")).state);
    EXPECT_STREQ("", Check(Sample("unsigned.exe")).signer);
    Signature tampered = Check(Sample("tampered.exe"));
    EXPECT_EQ(SIGNATURE_INVALID, tampered.state);
    EXPECT_EQ(0, tampered.microsoft);
    EXPECT_EQ(SIGNATURE_MISSING, Check(Sample("no-such-file.exe")).state);
    EXPECT_EQ(SIGNATURE_MISSING, Check(test::BuildFolder()).state) << "a folder is no program file";
    // A bare name is the program Windows finds (Winlogon's "explorer.exe").
    Signature shell;
    EXPECT_NE(SIGNATURE_MISSING, VerifyCommandFile("explorer.exe", &shell));
    EXPECT_NE(SIGNATURE_MISSING, VerifyCommandFile("notepad.exe /p x.txt", &shell));
    EXPECT_EQ(SIGNATURE_MISSING, VerifyCommandFile("no-such-program-here.exe", &shell));

    // Names are only names: a certificate that says "Microsoft Corporation"
    // but ends in another root is a verified signer, and not Microsoft.
    Signature fake = Check(Sample("fake-microsoft.exe"));
    EXPECT_EQ(SIGNATURE_VERIFIED, fake.state);
    EXPECT_STREQ("Microsoft Corporation", fake.signer);
    EXPECT_EQ(0, fake.microsoft);
}

TEST(Signatures, AChainThatEndsInNoTrustedRootIsNotVerified)
{
    ForgetSignatures();
    Signature signature = Check(Sample("signed.exe"));
    EXPECT_EQ(SIGNATURE_INVALID, signature.state);
    EXPECT_STREQ("Quillon Software Ltd", signature.signer) << "the signer is still named";
}

TEST(Signatures, AnAnswerIsKeptUntilTheFileChanges)
{
    TrustedTestRoot root;
    std::string folder = test::FreshFolder("Signatures");
    std::string copy = folder + "\\program.exe";
    ASSERT_TRUE(CopyFileA(Sample("signed.exe").c_str(), copy.c_str(), FALSE));
    EXPECT_EQ(SIGNATURE_VERIFIED, Check(copy).state);
    EXPECT_EQ(SIGNATURE_VERIFIED, Check(copy).state);
    // Replaced by the tampered file (same size, a later time): checked again.
    ASSERT_TRUE(test::ReplaceWithSample("tampered.exe", copy));
    EXPECT_EQ(SIGNATURE_INVALID, Check(copy).state);
    // Wine's own system files carry no signature and no catalog signs them.
    EXPECT_EQ(SIGNATURE_UNSIGNED, Check(test::SystemFolder() + "\\kernel32.dll").state);
}
