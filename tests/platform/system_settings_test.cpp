// The settings source behind the registry calls: the one key, values from environment
// variables typed by how their text parses, size queries and too-small buffers.
#include "springdrop/shell/win32.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

namespace {

HKEY OpenSettings() {
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyA(HKEY_LOCAL_MACHINE, DIRECT3D_SETTINGS_KEY, &key), ERROR_SUCCESS);
    return key;
}

struct Read {
    LSTATUS status;
    DWORD type;
    DWORD size;
    DWORD dword;
};

Read ReadDword(const char* name) {
    HKEY key = OpenSettings();
    Read read{0, REG_NONE, 4, 0xDEADBEEF};
    read.status = RegQueryValueExA(key, name, nullptr, &read.type, reinterpret_cast<LPBYTE>(&read.dword), &read.size);
    RegCloseKey(key);
    return read;
}

}  // namespace

TEST(Win32Settings, OnlyTheDirect3DKeyUnderLocalMachineOpens) {
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyA(HKEY_LOCAL_MACHINE, "software\\DIRECT3D", &key), ERROR_SUCCESS);
    EXPECT_NE(key, nullptr);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);  // already closed

    EXPECT_EQ(RegOpenKeyA(HKEY_LOCAL_MACHINE, "Software\\Other", &key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key, nullptr);
    auto currentUser = reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000001u));
    EXPECT_EQ(RegOpenKeyA(currentUser, DIRECT3D_SETTINGS_KEY, &key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegCloseKey(reinterpret_cast<HKEY>(0x1234)), ERROR_INVALID_HANDLE);
}

TEST(Win32Settings, NumbersReadAsDwordsAndOtherTextAsStrings) {
    setenv("DisablePSGP", "1", 1);
    setenv("DisableFacetPSGP", "0x2A", 1);
    setenv("FacetDoNotMute", "4294967295", 1);
    Read decimal = ReadDword("DisablePSGP");
    EXPECT_EQ(decimal.status, ERROR_SUCCESS);
    EXPECT_EQ(decimal.type, REG_DWORD);
    EXPECT_EQ(decimal.size, 4u);
    EXPECT_EQ(decimal.dword, 1u);
    Read hex = ReadDword("DisableFacetPSGP");
    EXPECT_EQ(hex.type, REG_DWORD);
    EXPECT_EQ(hex.dword, 42u);
    EXPECT_EQ(ReadDword("FacetDoNotMute").dword, 0xFFFFFFFFu);

    // Not completely an unsigned 32-bit number: a string value.
    for (const char* text : {"4294967296", "-1", " 1", "1 ", "0x", "12ab", "yes", ""}) {
        setenv("DisablePSGP", text, 1);
        HKEY key = OpenSettings();
        DWORD type = 0;
        char data[32] = {};
        DWORD size = sizeof data;
        EXPECT_EQ(RegQueryValueExA(key, "DisablePSGP", nullptr, &type, reinterpret_cast<LPBYTE>(data), &size),
                  ERROR_SUCCESS)
            << text;
        EXPECT_EQ(type, REG_SZ) << text;
        EXPECT_EQ(size, std::strlen(text) + 1) << text;
        EXPECT_STREQ(data, text);
        RegCloseKey(key);
    }
}

TEST(Win32Settings, UnsetVariableIsAMissingValue) {
    unsetenv("FacetDoNotMute");
    Read missing = ReadDword("FacetDoNotMute");
    EXPECT_EQ(missing.status, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(missing.dword, 0xDEADBEEFu);
}

TEST(Win32Settings, SizeQueriesAndTooSmallBuffers) {
    setenv("FacetDoNotMute", "some text", 1);  // 10 bytes with its NUL
    HKEY key = OpenSettings();
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(key, "FacetDoNotMute", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 10u);

    char small[4] = {'x', 'x', 'x', 'x'};
    size = sizeof small;
    DWORD type = REG_NONE;
    EXPECT_EQ(RegQueryValueExA(key, "FacetDoNotMute", nullptr, &type, reinterpret_cast<LPBYTE>(small), &size),
              ERROR_MORE_DATA);
    EXPECT_EQ(size, 10u);
    EXPECT_EQ(std::memcmp(small, "xxxx", 4), 0);  // nothing written

    EXPECT_EQ(RegQueryValueExA(key, "FacetDoNotMute", nullptr, &type, reinterpret_cast<LPBYTE>(small), nullptr),
              ERROR_INVALID_PARAMETER);
    RegCloseKey(key);
    EXPECT_EQ(RegQueryValueExA(key, "FacetDoNotMute", nullptr, &type, nullptr, &size), ERROR_INVALID_HANDLE);
}

// The library reads its settings from whichever thread creates a mesh, and a collection
// is read on several threads at once: keys opened, read and closed side by side must each
// work as alone.
TEST(Win32Settings, KeysOpenAndCloseOnManyThreadsAtOnce) {
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 20000; ++i) {
                HKEY key = nullptr;
                DWORD size = 0;
                if (RegOpenKeyA(HKEY_LOCAL_MACHINE, DIRECT3D_SETTINGS_KEY, &key) != ERROR_SUCCESS ||
                    RegQueryValueExA(key, "PATH", nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS ||
                    RegCloseKey(key) != ERROR_SUCCESS)
                    ++failures;
            }
        });
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(failures.load(), 0);
}
