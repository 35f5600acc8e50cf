// Questions about the machine asked before anything is installed.
#pragma once
#include <cstdint>
#include <string>

// True when the process may write machine-wide: an elevated token on Windows
// Vista and later, write access to HKLM\SOFTWARE before.
bool IsAdministrator();

// (major * 256 + minor) * 256 + letter ('a' = 1 .. 'z' = 26, 0 for none);
// 0 when no DirectX is found.
uint32_t GetDirectXVersion();
constexpr uint32_t kMinimumDirectXVersion = 0x30000;  // 3.0
// The run's check, GetDirectXVersion() >= minimum with the same answer but
// the diagnostics provider asked only when the system libraries fall short
// (DirectXAtLeast() in directx_version.h says why that is the same).
bool MachineHasDirectX(uint32_t minimum);

// Free bytes available to the caller on the drive with this root ("C:\"),
// -1 when it cannot be read.
int64_t GetFreeDiskSpace(const std::string& root);
