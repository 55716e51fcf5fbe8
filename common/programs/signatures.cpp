#include "signatures.h"

#include <windows.h>
#include <softpub.h>
#include <mscat.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <cstring>
#include <string>
#include <unordered_map>

#include "folder_walk.h"
#include "options.h"
#include "program_files.h"
#include "store.h"
#include "text.h"
#include "ui_strings.h"
#include "unicode_text.h"

namespace {

// --- The answers kept for the life of the process ----------------------------

struct Kept {
    ULONGLONG size;
    FILETIME written;
    Signature signature;
};
std::unordered_map<std::string, Kept> &KeptAnswers()
{
    static std::unordered_map<std::string, Kept> kept;
    return kept;
}
CRITICAL_SECTION *KeptLock()
{
    static struct Lock {
        CRITICAL_SECTION section;
        Lock() { InitializeCriticalSection(&section); }
    } lock;
    return &lock.section;
}

// --- The signer and its chain ------------------------------------------------

// The chain engine: the system's own, unless a test has named the only
// root it trusts (Wine's engine does not take roots added to the Root
// store, so a test's own authority could not be trusted otherwise).
HCERTCHAINENGINE testEngine;
// For tests: roots whose chains count as Microsoft's (no file of the test
// prefix is signed by Microsoft).
HCERTSTORE testMicrosoftRoots;

// The certificate's simple name (its CN, else its O), in UTF-8.
void CertificateName(PCCERT_CONTEXT certificate, char *out, int size)
{
    out[0] = 0;
    WCHAR name[256];
    if (CertGetNameStringW(certificate, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, name, 256) > 1)
        WideToText(name, -1, out, size, 0);
}

// Whether the signer's chain ends in a trusted root, and in one of
// Microsoft's. The chain is built here from the signer's certificate and
// the certificates the signature carries: the checks are the system's own
// chain policies, whatever the trust provider did or did not look at.
void CheckChain(PCCERT_CONTEXT certificate, HCERTSTORE carried, PCCERT_CHAIN_CONTEXT built, int *trusted,
                int *microsoft)
{
    *trusted = *microsoft = 0;
    // The chain the trust provider built already, unless a test names the
    // engine; otherwise built here.
    PCCERT_CHAIN_CONTEXT chain = built && !testEngine ? CertDuplicateCertificateChain(built) : nullptr;
    CERT_CHAIN_PARA para = {};
    para.cbSize = sizeof para;
    if (!chain &&
        (!CertGetCertificateChain(testEngine, certificate, nullptr, carried, &para, 0, nullptr, &chain) || !chain))
        return;
    CERT_CHAIN_POLICY_PARA policy = {};
    policy.cbSize = sizeof policy;
    CERT_CHAIN_POLICY_STATUS status = {};
    status.cbSize = sizeof status;
    if (CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_BASE, chain, &policy, &status) && status.dwError == 0)
        *trusted = 1;
    CERT_CHAIN_POLICY_STATUS ms = {};
    ms.cbSize = sizeof ms;
    if (*trusted && CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_MICROSOFT_ROOT, chain, &policy, &ms) &&
        ms.dwError == 0)
        *microsoft = 1;
    if (*trusted && !*microsoft && testMicrosoftRoots && chain->cChain > 0 && chain->rgpChain[0]->cElement > 0) {
        PCCERT_CONTEXT root = chain->rgpChain[0]->rgpElement[chain->rgpChain[0]->cElement - 1]->pCertContext;
        PCCERT_CONTEXT found = CertFindCertificateInStore(testMicrosoftRoots, X509_ASN_ENCODING, 0,
                                                          CERT_FIND_EXISTING, root, nullptr);
        if (found) *microsoft = 1, CertFreeCertificateContext(found);
    }
    CertFreeCertificateChain(chain);
}

// Runs the trust provider over the file (or its catalog member) and reads
// the signer. Returns the provider's verdict.
LONG Verify(WINTRUST_DATA *data, Signature *out)
{
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    data->cbStruct = sizeof *data;
    data->dwUIChoice = WTD_UI_NONE;
    data->dwStateAction = WTD_STATEACTION_VERIFY;
    // No network: revocation lists and missing certificates are not fetched,
    // unless the option "CheckRevocation" asks for the whole chain's.
    if (GetOption("CheckRevocation", 0) > 0) {
        data->fdwRevocationChecks = WTD_REVOKE_WHOLECHAIN;
        data->dwProvFlags = WTD_REVOCATION_CHECK_CHAIN;
    } else {
        data->fdwRevocationChecks = WTD_REVOKE_NONE;
        data->dwProvFlags = WTD_CACHE_ONLY_URL_RETRIEVAL | WTD_REVOCATION_CHECK_NONE;
    }
    LONG verdict = WinVerifyTrust((HWND)INVALID_HANDLE_VALUE, &action, data);
    int trusted = 0;
    CRYPT_PROVIDER_DATA *provider = data->hWVTStateData ? WTHelperProvDataFromStateData(data->hWVTStateData) : nullptr;
    CRYPT_PROVIDER_SGNR *signer = provider ? WTHelperGetProvSignerFromChain(provider, 0, FALSE, 0) : nullptr;
    CRYPT_PROVIDER_CERT *leaf = signer ? WTHelperGetProvCertFromChain(signer, 0) : nullptr;
    if (leaf && leaf->pCert) {
        CertificateName(leaf->pCert, out->signer, sizeof out->signer);
        // The signature's own certificates are needed only when the chain
        // is built here.
        PCCERT_CHAIN_CONTEXT built = signer->pChainContext;
        HCERTSTORE carried = (!built || testEngine) && provider->hMsg
                                 ? CertOpenStore(CERT_STORE_PROV_MSG, X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, 0, 0,
                                                 provider->hMsg)
                                 : nullptr;
        CheckChain(leaf->pCert, carried, built, &trusted, &out->microsoft);
        if (carried) CertCloseStore(carried, 0);
    }
    data->dwStateAction = WTD_STATEACTION_CLOSE;
    WinVerifyTrust((HWND)INVALID_HANDLE_VALUE, &action, data);
    if (verdict == ERROR_SUCCESS && !trusted) verdict = CERT_E_UNTRUSTEDROOT;
    if (verdict != ERROR_SUCCESS) out->microsoft = 0;
    return verdict;
}

int IsUnsignedVerdict(LONG verdict)
{
    return verdict == TRUST_E_NOSIGNATURE || verdict == TRUST_E_SUBJECT_FORM_UNKNOWN ||
           verdict == TRUST_E_PROVIDER_UNKNOWN || verdict == (LONG)CRYPT_E_FILE_ERROR;
}

// The catalog that signs the file, when Windows has one (its own files are
// signed so). Returns the verdict, or TRUST_E_NOSIGNATURE when none does.
LONG VerifyByCatalog(const WCHAR *path, Signature *out)
{
    HCATADMIN admin = nullptr;
    if (!CryptCATAdminAcquireContext(&admin, nullptr, 0)) return TRUST_E_NOSIGNATURE;
    LONG verdict = TRUST_E_NOSIGNATURE;
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    BYTE hash[64];
    DWORD hashSize = sizeof hash;
    if (file != INVALID_HANDLE_VALUE && CryptCATAdminCalcHashFromFileHandle(file, &hashSize, hash, 0)) {
        HCATINFO found = CryptCATAdminEnumCatalogFromHash(admin, hash, hashSize, 0, nullptr);
        CATALOG_INFO info = {};
        info.cbStruct = sizeof info;
        if (found && CryptCATCatalogInfoFromContext(found, &info, 0)) {
            WCHAR tag[129];
            for (DWORD i = 0; i < hashSize && i < 64; i++) wsprintfW(tag + i * 2, L"%02X", hash[i]);
            WINTRUST_CATALOG_INFO catalog = {};
            catalog.cbStruct = sizeof catalog;
            catalog.pcwszCatalogFilePath = info.wszCatalogFile;
            catalog.pcwszMemberFilePath = path;
            catalog.pcwszMemberTag = tag;
            catalog.pbCalculatedFileHash = hash;
            catalog.cbCalculatedFileHash = hashSize;
            catalog.hMemberFile = file;
            WINTRUST_DATA data = {};
            data.dwUnionChoice = WTD_CHOICE_CATALOG;
            data.pCatalog = &catalog;
            verdict = Verify(&data, out);
            out->catalog = 1;
        }
        if (found) CryptCATAdminReleaseCatalogContext(admin, found, 0);
    }
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    CryptCATAdminReleaseContext(admin, 0);
    return verdict;
}

void VerifyFile(const WCHAR *path, Signature *out)
{
    WINTRUST_FILE_INFO fileInfo = {};
    fileInfo.cbStruct = sizeof fileInfo;
    fileInfo.pcwszFilePath = path;
    WINTRUST_DATA data = {};
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &fileInfo;
    LONG verdict = Verify(&data, out);
    if (IsUnsignedVerdict(verdict)) {
        Signature byCatalog = {};
        LONG catalogVerdict = VerifyByCatalog(path, &byCatalog);
        if (!IsUnsignedVerdict(catalogVerdict)) {
            *out = byCatalog;
            verdict = catalogVerdict;
        }
    }
    if (verdict == ERROR_SUCCESS) out->state = SIGNATURE_VERIFIED;
    else if (IsUnsignedVerdict(verdict)) out->state = SIGNATURE_UNSIGNED, out->signer[0] = 0;
    else out->state = SIGNATURE_INVALID;
}

}  // namespace

namespace {
// The state of a file that identifies a kept answer.
struct FileState {
    std::string key;   // the path, lower case
    ULONGLONG size;
    FILETIME written;
};

// What is known of path without checking it: 1 with the answer in out when
// the file is missing (or names none) or its answer is kept for the file as
// it is now; else 0, with the file's state for keeping its answer.
int LookUp(const char *path, const WideText &wide, Signature *out, FileState *state)
{
    memset(out, 0, sizeof *out);
    out->state = SIGNATURE_MISSING;
    WIN32_FILE_ATTRIBUTE_DATA facts;
    if (!path || !path[0] || !wide.get() || wide.hasNul() ||
        !GetFileAttributesExW(wide, GetFileExInfoStandard, &facts) ||
        (facts.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return 1;
    state->size = ((ULONGLONG)facts.nFileSizeHigh << 32) | facts.nFileSizeLow;
    state->written = facts.ftLastWriteTime;
    char lower[PATH_SIZE * 3];
    CopyTextCut(lower, sizeof lower, path);
    CharLowerA(lower);
    state->key = lower;
    EnterCriticalSection(KeptLock());
    auto found = KeptAnswers().find(state->key);
    int known = found != KeptAnswers().end() && found->second.size == state->size &&
                CompareFileTime(&found->second.written, &state->written) == 0;
    if (known) *out = found->second.signature;
    LeaveCriticalSection(KeptLock());
    return known;
}
}  // namespace

int VerifyProgramFile(const char *path, Signature *out)
{
    WideText wide(path ? path : "");
    FileState state;
    if (LookUp(path, wide, out, &state)) return out->state;
    VerifyFile(wide, out);
    EnterCriticalSection(KeptLock());
    KeptAnswers()[state.key] = Kept{state.size, state.written, *out};
    LeaveCriticalSection(KeptLock());
    return out->state;
}

int KeptSignature(const char *path, Signature *out)
{
    WideText wide(path ? path : "");
    FileState state;
    return LookUp(path, wide, out, &state);
}

int SignedFileOf(const char *command, char *file)
{
    // The file as the command writes it: the answer is kept by the file's
    // name in any capitals, and the file is found fastest by its own.
    if (CommandProgramFile(command, file) <= 0) {
        file[0] = 0;
        return 0;
    }
    // A bare program name ("explorer.exe" of Winlogon Shell) is the one
    // Windows finds in its system folder or its own folder.
    if (!strchr(file, '\\')) {
        for (int system = 1; system >= 0; system--) {
            char folder[PATH_SIZE], candidate[PATH_SIZE];
            UINT n = system ? GetSystemDirectoryA(folder, sizeof folder) : GetWindowsDirectoryA(folder, sizeof folder);
            if (n == 0 || n >= sizeof folder || !JoinPath(candidate, sizeof candidate, folder, file)) continue;
            WideText wide(candidate);
            DWORD attributes = wide.get() ? GetFileAttributesW(wide.get()) : INVALID_FILE_ATTRIBUTES;
            if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
                CopyText(file, PATH_SIZE, candidate);
                break;
            }
        }
    }
    return (int)strlen(file);
}

int VerifyCommandFile(const char *command, Signature *out)
{
    char file[PATH_SIZE];
    if (SignedFileOf(command, file) <= 0) {
        memset(out, 0, sizeof *out);
        return out->state = SIGNATURE_MISSING;
    }
    return VerifyProgramFile(file, out);
}

int TrustOnlyRootForTests(HCERTSTORE roots)
{
    if (testEngine) CertFreeCertificateChainEngine(testEngine);
    testEngine = nullptr;
    ForgetSignatures();
    if (!roots) return 1;
    CERT_CHAIN_ENGINE_CONFIG config = {};
    config.cbSize = sizeof config;
    config.hExclusiveRoot = roots;
    return CertCreateCertificateChainEngine(&config, &testEngine) != FALSE;
}

void CountAsMicrosoftForTests(HCERTSTORE roots)
{
    testMicrosoftRoots = roots;
    ForgetSignatures();
}

void RememberApprovedSigner(const char *key, const char *valueName, const char *command)
{
    if (!valueName || !valueName[0]) return;
    Signature signature;
    if (VerifyCommandFile(command, &signature) == SIGNATURE_VERIFIED && signature.signer[0])
        StoreWriteString(HKEY_CURRENT_USER, key, valueName, signature.signer);
    else if (StoreValueExists(HKEY_CURRENT_USER, key, valueName))
        StoreDeleteValue(HKEY_CURRENT_USER, key, valueName);
}

int ApprovedSignerHolds(const char *key, const char *valueName, const char *command, char *signer)
{
    char approved[SIGNER_NAME_SIZE];
    if (signer) signer[0] = 0;
    if (!valueName || !valueName[0] || StoreReadString(HKEY_CURRENT_USER, key, valueName, approved, sizeof approved) <= 0)
        return 1;
    if (signer) CopyText(signer, SIGNER_NAME_SIZE, approved);
    Signature signature;
    return VerifyCommandFile(command, &signature) == SIGNATURE_VERIFIED && strcmp(signature.signer, approved) == 0;
}

int PublisherText(const Signature *signature, char *out, int size)
{
    if (!out || size <= 0) return 0;
    out[0] = 0;
    if (signature->state == SIGNATURE_VERIFIED && signature->signer[0])
        return (int)CopyTextCut(out, (size_t)size, signature->signer);
    UINT id = signature->state == SIGNATURE_INVALID ? 3762 : signature->state == SIGNATURE_MISSING ? 3763 : 3761;
    return LoadUiString(id, out, size);
}

void ForgetSignatures(void)
{
    EnterCriticalSection(KeptLock());
    KeptAnswers().clear();
    LeaveCriticalSection(KeptLock());
}
