// Who signed a program file: its Authenticode signature (embedded, or the
// catalog Windows signs its own files with), checked without any window or
// network, and the signer's name. Microsoft's own files are told by a chain
// that ends in a Microsoft root, never by a name any program can write into
// its version resource or its certificate.
#pragma once
#include <windows.h>
#include <wincrypt.h>

enum SignatureState {
    SIGNATURE_MISSING = 0,    // no such file
    SIGNATURE_UNSIGNED = 1,   // neither an embedded nor a catalog signature
    SIGNATURE_INVALID = 2,    // the file changed after signing, or the chain is not trusted
    SIGNATURE_VERIFIED = 3,   // signed, and the chain ends in a trusted root
};

#define SIGNER_NAME_SIZE 512

struct Signature {
    int state;        // SignatureState
    int microsoft;    // verified, and the chain ends in a Microsoft root
    int catalog;      // the signature is the catalog's, not the file's own
    char signer[SIGNER_NAME_SIZE];   // the signing certificate's name (UTF-8); empty when unsigned
};

// Checks the file's signature. The answer is kept for the life of the
// process by path, size and last-write time, so a page or a pass checks a
// file once. Returns out->state.
int VerifyProgramFile(const char *path, Signature *out);

// The same for the program file a command starts (a Run value, a service's
// image path). Returns SIGNATURE_MISSING when the command names no file.
int VerifyCommandFile(const char *command, Signature *out);

// The file a command's signature is checked on (file: PATH_SIZE): the
// program it starts, a bare name found where Windows finds it. Returns its
// length, 0 when the command names no file.
int SignedFileOf(const char *command, char *file);

// Without checking anything: 1 with the answer in out when it is known
// already (the file is missing, or its answer is kept for the file as it
// is now), else 0.
int KeptSignature(const char *path, Signature *out);

// The text a person reads for a signature: the verified signer's name, or
// "Not verified" with the reason. Returns its length.
int PublisherText(const Signature *signature, char *out, int size);

// Approvals that remember who signed what they were given for: under key
// (HKCU), value valueName holds the verified signer of the program command
// starts. Remember writes it (or removes it when the program is not
// verified); Holds is 1 unless a signer is kept that the program's
// signature no longer names, and gives that signer (SIGNER_NAME_SIZE, may be
// null).
void RememberApprovedSigner(const char *key, const char *valueName, const char *command);
int ApprovedSignerHolds(const char *key, const char *valueName, const char *command, char *signer);

// Forgets every kept answer.
void ForgetSignatures(void);

// For tests: chains are built by an engine that trusts only the roots in
// that store (null: the system's own engine again). The system's engine
// stays the one the programs use. 1 when the engine was made.
int TrustOnlyRootForTests(HCERTSTORE roots);
// For tests: chains ending in a root of that store count as Microsoft's
// too (null: only Microsoft's own roots again).
void CountAsMicrosoftForTests(HCERTSTORE roots);
