// Status values of the USB layer.
//
// A status is a 32-bit unsigned number: 0 is success, 0xE000xxxx are codes of the class library
// and of the access layer underneath it, every other value is a platform error code. The access
// layer speaks the same platform codes on every operating system, so the class library and the
// connection above it never ask which backend they run on.
#pragma once

#include <cstdint>

namespace usb {

using Status = std::uint32_t;

// Codes of the class library.
inline constexpr Status UIO_E_NO_MEMORY = 0xE0000100;
inline constexpr Status UIO_E_OPEN_FAILED = 0xE0001100;
inline constexpr Status UIO_E_NOT_OPEN = 0xE0001102;
inline constexpr Status UIO_E_NO_MORE_INSTANCES = 0xE0001104;
inline constexpr Status UIO_E_BAD_ARGUMENT = 0xE0001105;
inline constexpr Status UIO_E_TIMEOUT = 0xE000100C;
inline constexpr Status UIO_E_API_VERSION = 0xE000101C;

// Platform error codes used by the access layer (the numbering of the Windows error space).
inline constexpr Status kErrorFileNotFound = 2;
inline constexpr Status kErrorAccessDenied = 5;
inline constexpr Status kErrorInvalidHandle = 6;
inline constexpr Status kErrorNotEnoughMemory = 8;
inline constexpr Status kErrorGenFailure = 31;
inline constexpr Status kErrorNotSupported = 50;
inline constexpr Status kErrorInvalidParameter = 87;
inline constexpr Status kErrorSemTimeout = 121;
inline constexpr Status kErrorInsufficientBuffer = 122;
inline constexpr Status kErrorBusy = 170;
inline constexpr Status kErrorNoMoreItems = 259;
inline constexpr Status kErrorOperationAborted = 995;
inline constexpr Status kErrorIoIncomplete = 996;
inline constexpr Status kErrorIoPending = 997;
inline constexpr Status kErrorDeviceNotConnected = 1167;

// Wait time meaning "no limit".
inline constexpr std::uint32_t kInfinite = 0xFFFFFFFF;

}  // namespace usb
