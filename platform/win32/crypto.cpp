// Win32 side of the cryptographic primitives: the system's bcrypt.dll, loaded
// from the system folder on first use (as the folder browser's shell32 is),
// so that a run without AES entries never loads it. PBKDF2, HMAC-SHA1 and
// AES-ECB all come from there: written here instead, SHA-1, HMAC and PBKDF2
// alone made the stub 1 KiB larger. Windows without bcrypt (before Vista)
// cannot read AES entries and says so (an unsupported method).
#include "platform/crypto.h"
#include "platform/win32/win32.h"

#include <bcrypt.h>

namespace {

typedef NTSTATUS(WINAPI* OpenFn)(BCRYPT_ALG_HANDLE*, LPCWSTR, LPCWSTR, ULONG);
typedef NTSTATUS(WINAPI* SetPropertyFn)(BCRYPT_HANDLE, LPCWSTR, PUCHAR, ULONG, ULONG);
typedef NTSTATUS(WINAPI* GenerateKeyFn)(BCRYPT_ALG_HANDLE, BCRYPT_KEY_HANDLE*, PUCHAR, ULONG, PUCHAR, ULONG, ULONG);
typedef NTSTATUS(WINAPI* EncryptFn)(BCRYPT_KEY_HANDLE, PUCHAR, ULONG, VOID*, PUCHAR, ULONG, PUCHAR, ULONG, ULONG*,
                                    ULONG);
typedef NTSTATUS(WINAPI* DestroyFn)(void*);
typedef NTSTATUS(WINAPI* DeriveFn)(BCRYPT_ALG_HANDLE, PUCHAR, ULONG, PUCHAR, ULONG, ULONGLONG, PUCHAR, ULONG, ULONG);
typedef NTSTATUS(WINAPI* CreateHashFn)(BCRYPT_ALG_HANDLE, BCRYPT_HASH_HANDLE*, PUCHAR, ULONG, PUCHAR, ULONG, ULONG);
typedef NTSTATUS(WINAPI* HashDataFn)(BCRYPT_HASH_HANDLE, PUCHAR, ULONG, ULONG);
typedef NTSTATUS(WINAPI* FinishHashFn)(BCRYPT_HASH_HANDLE, PUCHAR, ULONG, ULONG);

// The calls, in the order of kCallNames.
enum Call {
  kOpen,
  kSetProperty,
  kGenerateKey,
  kEncrypt,
  kDestroyKey,
  kDeriveKey,
  kCreateHash,
  kHashData,
  kFinishHash,
  kDestroyHash,
  kCallCount
};
const char* const kCallNames[kCallCount] = {
    "BCryptOpenAlgorithmProvider", "BCryptSetProperty", "BCryptGenerateSymmetricKey", "BCryptEncrypt",
    "BCryptDestroyKey",           "BCryptDeriveKeyPBKDF2", "BCryptCreateHash",       "BCryptHashData",
    "BCryptFinishHash",           "BCryptDestroyHash"};

struct BcryptState {
  HMODULE library;
  void* calls[kCallCount];
  BCRYPT_ALG_HANDLE aes;   // AES in ECB mode
  BCRYPT_ALG_HANDLE hmac;  // SHA-1 with a key; open last, so set once everything is ready
  BCRYPT_KEY_HANDLE key;
  BCRYPT_HASH_HANDLE code;
};
BcryptState g_bcrypt;

template <typename Function>
Function CallOf(Call call) {
  return reinterpret_cast<Function>(g_bcrypt.calls[call]);
}

bool OpenProviders() {
  OpenFn open = CallOf<OpenFn>(kOpen);
  static const wchar_t kEcb[] = L"ChainingModeECB";
  return open(&g_bcrypt.aes, L"AES", nullptr, 0) == 0 &&
         CallOf<SetPropertyFn>(kSetProperty)(g_bcrypt.aes, L"ChainingMode", (PUCHAR)kEcb, sizeof kEcb, 0) == 0 &&
         open(&g_bcrypt.hmac, L"SHA1", nullptr, BCRYPT_ALG_HANDLE_HMAC_FLAG) == 0;
}

// Once per run; the full path, so that the library never comes from the
// current or the program's folder.
bool Load() {
  if (g_bcrypt.library != nullptr) return g_bcrypt.hmac != nullptr;
  char path[MAX_PATH + 16];
  UINT length = GetSystemDirectoryA(path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return false;
  __builtin_memcpy(path + length, "\\bcrypt.dll", 12);
  g_bcrypt.library = LoadLibraryA(path);
  if (g_bcrypt.library == nullptr) return false;
  for (int i = 0; i < kCallCount; ++i) {
    g_bcrypt.calls[i] = reinterpret_cast<void*>(GetProcAddress(g_bcrypt.library, kCallNames[i]));
    if (g_bcrypt.calls[i] == nullptr) return false;
  }
  return OpenProviders();
}

}  // namespace

bool SysDeriveKey(const char* password, const uint8_t* salt, uint32_t saltLength, uint32_t iterations,
                  uint8_t* derived, uint32_t length) {
  uint32_t passwordBytes = 0;
  while (password[passwordBytes] != 0) ++passwordBytes;
  return Load() && CallOf<DeriveFn>(kDeriveKey)(g_bcrypt.hmac, (PUCHAR)password, passwordBytes, (PUCHAR)salt,
                                                saltLength, iterations, derived, length, 0) == 0;
}

bool SysAesSetKey(const uint8_t* key, uint32_t keyBytes) {
  if (!Load()) return false;
  if (g_bcrypt.key != nullptr) CallOf<DestroyFn>(kDestroyKey)(g_bcrypt.key);
  g_bcrypt.key = nullptr;
  return CallOf<GenerateKeyFn>(kGenerateKey)(g_bcrypt.aes, &g_bcrypt.key, nullptr, 0, (PUCHAR)key, keyBytes, 0) == 0;
}

void SysAesEncryptBlocks(uint8_t* blocks, uint32_t count) {
  ULONG done = 0;
  ULONG bytes = count * kAesBlockBytes;
  CallOf<EncryptFn>(kEncrypt)(g_bcrypt.key, blocks, bytes, nullptr, nullptr, 0, blocks, bytes, &done, 0);
}

// Only after SysAesSetKey has loaded the library.
void SysHmacStart(const uint8_t* key, uint32_t keyBytes) {
  if (g_bcrypt.code != nullptr) CallOf<DestroyFn>(kDestroyHash)(g_bcrypt.code);
  g_bcrypt.code = nullptr;
  CallOf<CreateHashFn>(kCreateHash)(g_bcrypt.hmac, &g_bcrypt.code, nullptr, 0, (PUCHAR)key, keyBytes, 0);
}

void SysHmacAdd(const uint8_t* bytes, uint32_t count) {
  CallOf<HashDataFn>(kHashData)(g_bcrypt.code, (PUCHAR)bytes, count, 0);
}

void SysHmacFinish(uint8_t code[kSha1Bytes]) { CallOf<FinishHashFn>(kFinishHash)(g_bcrypt.code, code, kSha1Bytes, 0); }

// The library and its providers stay for the run, as the system's own
// libraries do; the key and the code in progress go.
void SysResetCrypto() {
  if (g_bcrypt.key != nullptr) CallOf<DestroyFn>(kDestroyKey)(g_bcrypt.key);
  if (g_bcrypt.code != nullptr) CallOf<DestroyFn>(kDestroyHash)(g_bcrypt.code);
  g_bcrypt.key = nullptr;
  g_bcrypt.code = nullptr;
}
